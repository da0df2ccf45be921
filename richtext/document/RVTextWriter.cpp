// Plain text, RTF and HTML output of a document.

#include <algorithm>

#include "platform/core/Strings.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"

namespace epc {

namespace {

// The item range and offsets to write.
bool OutputRange(const TCustomRVData& data, bool selectionOnly, int& first, int& so, int& last,
                 int& eo) {
    if (data.ItemCount() == 0) return false;
    if (selectionOnly) {
        data.GetSelectionBounds(first, so, last, eo);
        if (first < 0 || last < 0) return false;
        if (first > last || (first == last && so > eo)) {
            std::swap(first, last);
            std::swap(so, eo);
        }
        first = std::clamp(first, 0, data.ItemCount() - 1);
        last = std::clamp(last, 0, data.ItemCount() - 1);
    } else {
        first = 0;
        last = data.ItemCount() - 1;
        so = data.ItemStartOffset(first);
        eo = data.ItemEndOffset(last);
    }
    return true;
}

// The part of item I's text inside the range.
std::string TextPart(const TCustomRVData& data, int i, int first, int so, int last, int eo) {
    const TRVItemEntry& e = data.Items()[i];
    if (i != first && i != last) return e.Text;
    int s = i == first ? std::max(so, 1) : 1;
    int end = i == last ? eo : GetTextCharLength(e.Text, e.Item->ItemOptions) + 1;
    return CopyItemTextChars(e.Text, e.Item->ItemOptions, s, end - s);
}

} // namespace

bool TCustomRVData::WriteTextToStream(TStream& stream, const std::string&, int lineWidth,
                                      bool selectionOnly, bool unicode) {
    int first, so, last, eo;
    if (!OutputRange(*this, selectionOnly, first, so, last, eo)) return true;
    const std::string crlf = unicode ? std::string("\r\0\n\0", 4) : std::string("\r\n");
    std::string out;
    try {
        for (int i = first; i <= last; ++i) {
            const TRVItemEntry& e = (*FItems)[i];
            TCustomRVItemInfo* item = e.Item.get();
            if (i > first && (!item->GetJoinsPrevious() || item->IsFullLine() ||
                              (i > 0 && GetItem(i - 1)->IsFullLine())))
                out += crlf;
            if (item->StyleNo >= 0) {
                std::string part = TextPart(*this, i, first, so, last, eo);
                uint32_t cp = CodePageOfStyle(item->StyleNo);
                if (item->IsUnicode() && !unicode)
                    part = UnicodeToAnsiCP(part, cp);
                else if (!item->IsUnicode() && unicode)
                    part = AnsiToUnicodeCP(part, cp);
                out += part;
            } else {
                if (selectionOnly && first != last &&
                    ((i == first && so >= 1) || (i == last && eo <= 0)))
                    continue;
                std::string s;
                if (item->AsText(s, unicode, lineWidth, this, i)) out += s;
            }
        }
        RVFWriteRaw(stream, out);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- RTF

namespace {

std::string RtfEscapeAnsi(const std::string& s) {
    std::string out;
    static const char hex[] = "0123456789abcdef";
    for (char ch : s) {
        uint8_t c = uint8_t(ch);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c < 0x20 || c >= 0x80) {
            out += "\\'";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string RtfEscapeWide(const std::u16string& w) {
    std::string out;
    for (char16_t c : w) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c >= 0x20 && c < 0x80) {
            out += char(c);
        } else {
            out += "\\u" + std::to_string(int16_t(c)) + "?";
        }
    }
    return out;
}

int Twips(int pixels) {
    return pixels * 15;
}

} // namespace

bool TCustomRVData::WriteRtfToStream(TStream& stream, bool selectionOnly, TColor color) {
    int first, so, last, eo;
    TRVStyle* style = GetRVStyle();
    TRVColorList colors;
    int levels = 0;
    BuildRtfColorTable(colors, levels);
    if (color != clNone) colors.AddColorIfAbsent(color);
    std::vector<std::string> fonts;
    auto fontIndex = [&](const std::string& name) {
        auto it = std::find(fonts.begin(), fonts.end(), name);
        if (it != fonts.end()) return int(it - fonts.begin());
        fonts.push_back(name);
        return int(fonts.size()) - 1;
    };
    if (style)
        for (int i = 0; i < style->TextStyles.Count(); ++i)
            fontIndex(style->TextStyles[i].FontName);
    if (fonts.empty()) fonts.push_back("Arial");
    std::string out =
        "{\\rtf1\\ansi\\ansicpg" + std::to_string(GetACP() ? GetACP() : 1252) + "\\deff0{\\fonttbl";
    for (size_t i = 0; i < fonts.size(); ++i)
        out += "{\\f" + std::to_string(i) + "\\fnil " + RtfEscapeAnsi(fonts[i]) + ";}";
    out += "}{\\colortbl;";
    for (int i = 0; i < colors.Count(); ++i) {
        COLORREF c = ColorToRGB(colors[i]);
        out += "\\red" + std::to_string(GetRValue(c)) + "\\green" + std::to_string(GetGValue(c)) +
               "\\blue" + std::to_string(GetBValue(c)) + ";";
    }
    out += "}\r\n";
    auto colorIndex = [&](TColor c) { return colors.IndexOf(c) + 1; };
    if (OutputRange(*this, selectionOnly, first, so, last, eo)) {
        for (int i = first; i <= last; ++i) {
            const TRVItemEntry& e = (*FItems)[i];
            TCustomRVItemInfo* item = e.Item.get();
            bool paraStart = i == first || item->StartsParagraph();
            if (paraStart) {
                if (i > first) out += "\\par\r\n";
                if (item->GetPageBreakBefore() && i > first) out += "\\page\r\n";
                out += "\\pard";
                if (style) {
                    const TParaInfo& p = style->ParaStyles[item->ParaNo];
                    static const char* align[] = {"\\ql", "\\qr", "\\qc", "\\qj"};
                    out += align[int(p.Alignment)];
                    out += "\\li" + std::to_string(Twips(p.LeftIndent)) + "\\ri" +
                           std::to_string(Twips(p.RightIndent)) + "\\fi" +
                           std::to_string(Twips(p.FirstIndent)) + "\\sb" +
                           std::to_string(Twips(p.SpaceBefore)) + "\\sa" +
                           std::to_string(Twips(p.SpaceAfter));
                }
                out += ' ';
            } else if (item->GetLineBreakBefore()) {
                out += "\\line ";
            }
            if (item->StyleNo >= 0) {
                std::string part = TextPart(*this, i, first, so, last, eo);
                out += "{";
                if (style) {
                    const TFontInfo& f = style->TextStyles[item->StyleNo];
                    out += "\\f" + std::to_string(fontIndex(f.FontName)) + "\\fs" +
                           std::to_string(f.Size * 2);
                    if (f.Color != clNone) out += "\\cf" + std::to_string(colorIndex(f.Color));
                    if (f.BackColor != clNone)
                        out += "\\highlight" + std::to_string(colorIndex(f.BackColor));
                    if (f.Style.Contains(TRVFontStyle::rvfsBold)) out += "\\b";
                    if (f.Style.Contains(TRVFontStyle::rvfsItalic)) out += "\\i";
                    if (f.Style.Contains(TRVFontStyle::rvfsUnderline)) out += "\\ul";
                    if (f.Style.Contains(TRVFontStyle::rvfsStrikeOut)) out += "\\strike";
                    if (f.AllCaps) out += "\\caps";
                }
                out += ' ';
                out += item->IsUnicode()
                           ? RtfEscapeWide(BytesToWide(part.substr(0, part.size() & ~size_t(1))))
                           : RtfEscapeAnsi(part);
                out += "}";
            } else if (item->StyleNo == rvsBreak) {
                out += "{\\pard\\brdrb\\brdrs\\brdrw10\\brsp20 \\par}";
            } else if (item->StyleNo == rvsListMarker) {
                auto* m = static_cast<TRVMarkerItemInfo*>(item);
                out += "{" + RtfEscapeAnsi(m->MarkerText) + "\\tab}";
            } else {
                // Items write their own RTF straight to the stream: flush what we have first.
                RVFWriteRaw(stream, out);
                out.clear();
                item->SaveRTF(stream, this, i);
            }
        }
        out += "\\par\r\n";
    }
    out += "}";
    try {
        RVFWriteRaw(stream, out);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool TCustomRVData::SaveRtfToFile(const std::string& fileName, bool selectionOnly, TColor color) {
    try {
        TFileStream fs(fileName, fmCreate);
        return WriteRtfToStream(fs, selectionOnly, color);
    } catch (const std::exception&) {
        return false;
    }
}

// ---------------------------------------------------------------- HTML

namespace {

std::string HtmlEscape(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

bool TCustomRVData::WriteHtmlToStream(TStream& stream, const std::string& path,
                                      const std::string& title, bool selectionOnly) {
    TRVStyle* style = GetRVStyle();
    std::string out = "<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
                      "</title></head>\r\n<body>\r\n";
    int first, so, last, eo;
    if (OutputRange(*this, selectionOnly, first, so, last, eo)) {
        bool open = false;
        for (int i = first; i <= last; ++i) {
            const TRVItemEntry& e = (*FItems)[i];
            TCustomRVItemInfo* item = e.Item.get();
            if (item->StyleNo == rvsBreak) {
                if (open) out += "</p>\r\n";
                open = false;
                out += "<hr>\r\n";
                continue;
            }
            if (!open || item->StartsParagraph()) {
                if (open) out += "</p>\r\n";
                out += "<p";
                if (style) {
                    const TParaInfo& p = style->ParaStyles[item->ParaNo];
                    static const char* align[] = {"left", "right", "center", "justify"};
                    out += " style=\"text-align:" + std::string(align[int(p.Alignment)]) +
                           ";margin-left:" + std::to_string(p.LeftIndent) +
                           "px;text-indent:" + std::to_string(p.FirstIndent) + "px\"";
                }
                out += ">";
                open = true;
            } else if (item->GetLineBreakBefore()) {
                out += "<br>";
            }
            if (item->StyleNo >= 0) {
                std::string part = TextPart(*this, i, first, so, last, eo);
                std::string utf8 = Utf16ToUtf8(
                    ItemTextToWide(part, item->ItemOptions, CodePageOfStyle(item->StyleNo)));
                if (style) {
                    const TFontInfo& f = style->TextStyles[item->StyleNo];
                    std::string css = "font-family:'" + HtmlEscape(f.FontName) +
                                      "';font-size:" + std::to_string(f.Size) + "pt";
                    if (f.Color != clNone) css += ";color:" + ColorToHtmlHex(f.Color);
                    if (f.BackColor != clNone)
                        css += ";background-color:" + ColorToHtmlHex(f.BackColor);
                    if (f.Style.Contains(TRVFontStyle::rvfsBold)) css += ";font-weight:bold";
                    if (f.Style.Contains(TRVFontStyle::rvfsItalic)) css += ";font-style:italic";
                    if (f.Style.Contains(TRVFontStyle::rvfsUnderline))
                        css += ";text-decoration:underline";
                    out += "<span style=\"" + css + "\">" + HtmlEscape(utf8) + "</span>";
                } else {
                    out += HtmlEscape(utf8);
                }
            } else if (item->StyleNo == rvsListMarker) {
                out += HtmlEscape(static_cast<TRVMarkerItemInfo*>(item)->MarkerText) + " ";
            } else {
                RVFWriteRaw(stream, out);
                out.clear();
                item->SaveHTML(stream, this, i, path);
            }
        }
        if (open) out += "</p>\r\n";
    }
    out += "</body></html>\r\n";
    try {
        RVFWriteRaw(stream, out);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace epc
