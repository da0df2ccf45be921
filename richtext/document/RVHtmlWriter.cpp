// HTML output of a document, plain (attributes and tags) or with a CSS style sheet. The page
// is also well-formed XML: empty elements are closed and only the XML entities are used.

#include "richtext/document/RVHtmlWriter.h"

#include <algorithm>

#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"
#include "richtext/document/RVWriterRange.h"

namespace epc {

using namespace rvwriter;

std::string HtmlEscapeText(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
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
            if (uint8_t(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

void TCustomRVItemInfo::SaveHTMLEx(TStream& stream, TCustomRVData* rvData, int itemNo,
                                   TRVHTMLWriteContext& ctx) {
    SaveHTML(stream, rvData, itemNo, ctx.Path);
}

namespace {

std::string Px(int v) {
    return std::to_string(v) + "px";
}

std::string FontCss(const TFontInfo& f) {
    std::string css = "font-family: '" + HtmlEscapeText(f.FontName) +
                      "'; font-size: " + std::to_string(f.Size) + "pt;";
    if (f.Color != clNone) css += " color: " + ColorToHtmlHex(f.Color) + ";";
    if (f.BackColor != clNone) css += " background-color: " + ColorToHtmlHex(f.BackColor) + ";";
    css +=
        f.Style.Contains(TRVFontStyle::rvfsBold) ? " font-weight: bold;" : " font-weight: normal;";
    css += f.Style.Contains(TRVFontStyle::rvfsItalic) ? " font-style: italic;"
                                                      : " font-style: normal;";
    bool u = f.Style.Contains(TRVFontStyle::rvfsUnderline);
    bool s = f.Style.Contains(TRVFontStyle::rvfsStrikeOut);
    if (u || s)
        css += std::string(" text-decoration:") + (u ? " underline" : "") +
               (s ? " line-through" : "") + ";";
    else
        css += " text-decoration: none;";
    if (f.AllCaps) css += " text-transform: uppercase;";
    if (f.CharSpacing) css += " letter-spacing: " + Px(f.CharSpacing) + ";";
    // Raised and lowered text (x², H₂O) is other text when shown on the line.
    if (f.VShift > 0) css += " vertical-align: super;";
    if (f.VShift < 0) css += " vertical-align: sub;";
    return css;
}

const char* const alignNames[] = {"left", "right", "center", "justify"};

std::string BorderCss(const TRVBorder& b) {
    if (b.Style == TRVBorderStyle::rvbNone) return std::string();
    const char* style = b.Style == TRVBorderStyle::rvbSingle ? "solid" : "double";
    int width = b.Width * (b.Style == TRVBorderStyle::rvbSingle ? 1 : 3);
    std::string css;
    auto side = [&](const char* name, bool visible, int offset) {
        if (visible)
            css += std::string(" border-") + name + ": " + Px(width) + " " + style + " " +
                   ColorToHtmlHex(b.Color) + ";";
        else
            css += std::string(" border-") + name + ": none;";
        css += std::string(" padding-") + name + ": " + Px(offset) + ";";
    };
    side("top", b.VisibleBorders.Top, b.BorderOffsets.Top);
    side("right", b.VisibleBorders.Right, b.BorderOffsets.Right);
    side("bottom", b.VisibleBorders.Bottom, b.BorderOffsets.Bottom);
    side("left", b.VisibleBorders.Left, b.BorderOffsets.Left);
    return css;
}

std::string ParaCss(const TParaInfo& p) {
    std::string css = std::string("text-align: ") + alignNames[int(p.Alignment) & 3] + ";";
    css += " text-indent: " + Px(p.FirstIndent) + ";";
    css += " margin: " + Px(p.SpaceBefore) + " " + Px(p.RightIndent) + " " + Px(p.SpaceAfter) +
           " " + Px(p.LeftIndent) + ";";
    if (p.LineSpacingType == TRVLineSpacingType::rvlsPercent && p.LineSpacing != 100)
        css += " line-height: " + std::to_string(p.LineSpacing) + "%;";
    css += BorderCss(p.Border);
    if (p.Background.Color != clNone)
        css += " background-color: " + ColorToHtmlHex(p.Background.Color) + ";";
    return css;
}

// <font size> of a point size.
int HtmlFontSize(int points) {
    static const int limits[] = {8, 10, 12, 14, 18, 24};
    int n = 1;
    for (int l : limits)
        if (points > l) ++n;
    return n;
}

class HtmlDocWriter {
public:
    HtmlDocWriter(TCustomRVData& data, TStream& stream, TRVHTMLWriteContext& ctx)
        : FData(data), FStream(stream), FCtx(ctx), FStyle(data.GetRVStyle()) {}

    void Write(bool selectionOnly);

private:
    void Flush() {
        RVFWriteRaw(FStream, FOut);
        FOut.clear();
    }
    void OpenPara(int paraNo, const TRVListLevel* level);
    void ClosePara();
    void Text(int i, const std::string& part);
    // The program may give the address; else the item's string tag is the address. False when
    // neither gives one.
    bool LinkAddress(const TCustomRVItemInfo& item, std::string& url) {
        if (FData.URLNeeded(item.JumpID, url)) return true;
        url = item.Tag.IsString() ? item.Tag.Text() : std::string();
        return item.Tag.IsString();
    }
    void LinkStart(const std::string& url) { FOut += "<a href=\"" + HtmlEscapeText(url) + "\">"; }

    TCustomRVData& FData;
    TStream& FStream;
    TRVHTMLWriteContext& FCtx;
    TRVStyle* FStyle;
    std::string FOut;
    bool FOpen = false;
    bool FEmpty = true; // the open paragraph has shown nothing yet
};

void HtmlDocWriter::OpenPara(int paraNo, const TRVListLevel* level) {
    FOut += "<p";
    if (FStyle && level) {
        // A list paragraph is indented by its level: the marker at MarkerIndent, the text at
        // LeftIndent.
        const TParaInfo& p = FStyle->ParaStyles[paraNo];
        FOut += std::string(" style=\"text-align: ") + alignNames[int(p.Alignment) & 3] +
                "; margin: " + Px(p.SpaceBefore) + " " + Px(p.RightIndent) + " " +
                Px(p.SpaceAfter) + " " + Px(level->LeftIndent) +
                "; text-indent: " + Px(level->MarkerIndent - level->LeftIndent) + ";\"";
    } else if (FStyle) {
        if (FCtx.Css) {
            FOut += " class=\"rvps" + std::to_string(FStyle->ValidParaStyleNo(paraNo)) + "\"";
        } else {
            const TParaInfo& p = FStyle->ParaStyles[paraNo];
            FOut += std::string(" align=\"") + alignNames[int(p.Alignment) & 3] + "\"";
            // Indents and spacing have no HTML attributes.
            if (p.LeftIndent || p.RightIndent || p.FirstIndent || p.SpaceBefore || p.SpaceAfter)
                FOut += " style=\"text-indent: " + Px(p.FirstIndent) +
                        "; margin: " + Px(p.SpaceBefore) + " " + Px(p.RightIndent) + " " +
                        Px(p.SpaceAfter) + " " + Px(p.LeftIndent) + ";\"";
        }
    }
    FOut += ">";
    FOpen = true;
    FEmpty = true;
}

void HtmlDocWriter::ClosePara() {
    if (!FOpen) return;
    if (FEmpty) FOut += "&#160;";
    FOut += "</p>\r\n";
    FOpen = false;
}

void HtmlDocWriter::Text(int i, const std::string& part) {
    TCustomRVItemInfo* item = FData.Items()[i].Item.get();
    std::string utf8 = HtmlEscapeText(
        Utf16ToUtf8(ItemTextToWide(part, item->ItemOptions, FData.CodePageOfStyle(item->StyleNo))));
    if (!utf8.empty()) FEmpty = false;
    if (!FStyle) {
        FOut += utf8;
        return;
    }
    const TFontInfo& f = FStyle->TextStyles[item->StyleNo];
    const bool link = item->IsHyperlink(FStyle);
    if (link) {
        std::string url;
        LinkAddress(*item, url);
        LinkStart(url);
    }
    if (FCtx.Css) {
        FOut += "<span class=\"rvts" + std::to_string(item->StyleNo) + "\">" + utf8 + "</span>";
    } else {
        std::string open = "<font face=\"" + HtmlEscapeText(f.FontName) + "\" size=\"" +
                           std::to_string(HtmlFontSize(f.Size)) + "\"";
        if (f.Color != clNone) open += " color=\"" + ColorToHtmlHex(f.Color) + "\"";
        open += ">";
        std::string close = "</font>";
        auto wrap = [&](bool on, const char* tag) {
            if (!on) return;
            open += std::string("<") + tag + ">";
            close = std::string("</") + tag + ">" + close;
        };
        wrap(f.Style.Contains(TRVFontStyle::rvfsBold), "b");
        wrap(f.Style.Contains(TRVFontStyle::rvfsItalic), "i");
        wrap(f.Style.Contains(TRVFontStyle::rvfsUnderline), "u");
        wrap(f.Style.Contains(TRVFontStyle::rvfsStrikeOut), "s");
        wrap(f.VShift > 0, "sup");
        wrap(f.VShift < 0, "sub");
        FOut += open + utf8 + close;
    }
    if (link) FOut += "</a>";
}

void HtmlDocWriter::Write(bool selectionOnly) {
    int first, so, last, eo;
    if (!OutputRange(FData, selectionOnly, first, so, last, eo)) return;
    for (int i = first; i <= last; ++i) {
        TCustomRVItemInfo* item = FData.Items()[i].Item.get();
        bool textItem = item->StyleNo >= 0;
        if (!textItem && OutsideSelection(selectionOnly, i, first, so, last, eo)) continue;
        if (auto* brk = dynamic_cast<TRVBreakItemInfo*>(item)) {
            ClosePara();
            TColor color = brk->Color;
            if (color == clNone && FStyle) color = FStyle->TextStyles[0].Color;
            if (FCtx.Css)
                FOut += "<hr style=\"height: " + Px(brk->LineWidth) +
                        "; border: none; background-color: " + ColorToHtmlHex(color) +
                        "; color: " + ColorToHtmlHex(color) + ";\"/>\r\n";
            else
                FOut += "<hr size=\"" + std::to_string(brk->LineWidth) + "\" color=\"" +
                        ColorToHtmlHex(color) + "\" noshade=\"noshade\"/>\r\n";
            continue;
        }
        if (item->IsFullLine()) {
            ClosePara();
            Flush();
            item->SaveHTMLEx(FStream, &FData, i, FCtx);
            continue;
        }
        if (!FOpen || i == first || item->StartsParagraph()) {
            ClosePara();
            auto* marker = dynamic_cast<TRVMarkerItemInfo*>(item);
            OpenPara(item->ParaNo, marker ? marker->GetLevelInfo(FStyle) : nullptr);
        } else if (item->GetLineBreakBefore()) {
            FOut += "<br/>";
        }
        if (item->Checkpoint)
            FOut += "<a name=\"" + HtmlEscapeText(Utf16ToUtf8(AnsiToWide(item->Checkpoint->Name))) +
                    "\"></a>";
        if (textItem) {
            Text(i, TextPart(FData, i, first, so, last, eo));
        } else if (auto* m = dynamic_cast<TRVMarkerItemInfo*>(item)) {
            TRVListLevel* level = m->GetLevelInfo(FStyle);
            FOut += "<span";
            if (level) FOut += " style=\"" + FontCss(level->Font) + "\"";
            FOut += ">" + HtmlEscapeText(Utf16ToUtf8(AnsiToWide(m->MarkerText))) + "</span> ";
            FEmpty = false;
        } else if (auto* c = dynamic_cast<TRVControlItemInfo*>(item)) {
            FOut += FData.SaveComponentToFile(FCtx.Path, c->Control.get(), TRVSaveFormat::rvsfHTML);
            FEmpty = false;
        } else {
            std::string url;
            bool hot = item->IsHyperlink(FStyle) && LinkAddress(*item, url);
            if (hot) LinkStart(url);
            Flush();
            item->SaveHTMLEx(FStream, &FData, i, FCtx);
            if (hot) FOut += "</a>";
            FEmpty = false;
        }
        if (FOut.size() > 65536) Flush();
    }
    ClosePara();
    Flush();
}

bool WriteHtmlPage(TCustomRVData& data, TStream& stream, const std::string& path,
                   const std::string& title, bool selectionOnly, bool css) {
    TRVStyle* style = data.GetRVStyle();
    std::string head = "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" "
                       "content=\"text/html; charset=utf-8\"/>\r\n<title>" +
                       HtmlEscapeText(Utf16ToUtf8(AnsiToWide(title))) + "</title>\r\n";
    if (css && style) {
        head += "<style type=\"text/css\">\r\n";
        head += "body { margin: 5px; }\r\np { margin: 0px; }\r\n";
        for (int i = 0; i < style->TextStyles.Count(); ++i)
            head += ".rvts" + std::to_string(i) + " { " + FontCss(style->TextStyles[i]) + " }\r\n";
        for (int i = 0; i < style->ParaStyles.Count(); ++i)
            head += ".rvps" + std::to_string(i) + " { " + ParaCss(style->ParaStyles[i]) + " }\r\n";
        head += "</style>\r\n";
    }
    head += data.GetExtraHTMLCode(TRVHTMLSaveArea::rvhaHead, css);
    const std::string bodyAttributes =
        data.GetExtraHTMLCode(TRVHTMLSaveArea::rvhaBodyAttribute, css);
    head += "</head>\r\n<body" + (bodyAttributes.empty() ? std::string() : " " + bodyAttributes) +
            ">\r\n" + data.GetExtraHTMLCode(TRVHTMLSaveArea::rvhaBody, css);
    try {
        RVFWriteRaw(stream, head);
        TRVHTMLWriteContext ctx;
        ctx.Path = path;
        ctx.Css = css;
        HtmlDocWriter(data, stream, ctx).Write(selectionOnly);
        RVFWriteRaw(stream, data.GetExtraHTMLCode(TRVHTMLSaveArea::rvhaEnd, css) +
                                "</body>\r\n</html>\r\n");
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

} // namespace

void TCustomRVData::WriteHtmlSubDocument(TStream& stream, TRVHTMLWriteContext& ctx, TColor color) {
    TColor saved = ctx.Background;
    auto restore = Finally([&] { ctx.Background = saved; });
    ctx.Background = color;
    HtmlDocWriter(*this, stream, ctx).Write(false);
}

bool TCustomRVData::WriteHtmlToStream(TStream& stream, const std::string& path,
                                      const std::string& title, bool selectionOnly) {
    return WriteHtmlPage(*this, stream, path, title, selectionOnly, false);
}

bool TCustomRVData::WriteHtmlCssToStream(TStream& stream, const std::string& path,
                                         const std::string& title, bool selectionOnly) {
    return WriteHtmlPage(*this, stream, path, title, selectionOnly, true);
}

} // namespace epc
