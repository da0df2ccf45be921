// RTF output of a document: header with font and colour tables, paragraphs with their
// formatting, text runs, breaks, pictures, list markers and checkpoints; items that write
// themselves (tables) get the writer's state.

#include "richtext/document/RVRtfWriter.h"

#include <algorithm>
#include <cstdio>

#include "platform/controls/ImageList.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/PngImage.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVUni.h"
#include "richtext/document/RVWriterRange.h"

namespace epc {

using namespace rvwriter;

int TRVRTFWriteContext::ColorIndex(TColor color) const {
    if (color == clNone) return 0;
    int i = Colors.IndexOf(color);
    return i < 0 ? 0 : i + 1;
}

int TRVRTFWriteContext::FontIndex(const std::string& name, int charset) {
    for (size_t i = 0; i < Fonts.size(); ++i)
        if (Fonts[i].Name == name && Fonts[i].Charset == charset) return int(i);
    Fonts.push_back(TRVRTFFont{name, charset});
    return int(Fonts.size()) - 1;
}

int RtfCharsetOf(int charset, uint32_t codePage) {
    if (charset != DEFAULT_CHARSET) return charset;
    switch (codePage) {
    case 1250:
        return EASTEUROPE_CHARSET;
    case 1251:
        return RUSSIAN_CHARSET;
    case 1253:
        return GREEK_CHARSET;
    case 1254:
        return TURKISH_CHARSET;
    case 1255:
        return HEBREW_CHARSET;
    case 1256:
        return ARABIC_CHARSET;
    case 1257:
        return BALTIC_CHARSET;
    case 1258:
        return VIETNAMESE_CHARSET;
    case 874:
        return THAI_CHARSET;
    case 932:
        return SHIFTJIS_CHARSET;
    case 936:
        return GB2312_CHARSET;
    case 949:
        return HANGEUL_CHARSET;
    case 950:
        return CHINESEBIG5_CHARSET;
    default:
        return ANSI_CHARSET;
    }
}

void BuildRtfFontTable(const TRVStyle* style, TRVRTFWriteContext& ctx) {
    if (style) {
        for (int i = 0; i < style->TextStyles.Count(); ++i) {
            const TFontInfo& f = style->TextStyles[i];
            ctx.FontIndex(f.FontName, RtfCharsetOf(f.Charset, ctx.CodePage));
        }
        for (int i = 0; i < style->ListStyles.Count(); ++i)
            for (const auto& level : style->ListStyles[i].Levels)
                ctx.FontIndex(level->Font.FontName,
                              RtfCharsetOf(level->Font.Charset, ctx.CodePage));
    }
    if (ctx.Fonts.empty()) ctx.FontIndex("Arial", ANSI_CHARSET);
}

namespace {

const char hexDigits[] = "0123456789abcdef";

void AppendHexByte(std::string& out, uint8_t c) {
    out += "\\'";
    out += hexDigits[c >> 4];
    out += hexDigits[c & 15];
}

void AppendInt(std::string& out, const char* word, long long value) {
    out += word;
    out += std::to_string(value);
}

} // namespace

void AppendRtfAnsi(std::string& out, std::string_view text) {
    for (char ch : text) {
        auto c = uint8_t(ch);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += char(c);
        } else if (c == '\t') {
            out += "\\tab ";
        } else if (c < 0x20 || c >= 0x80) {
            AppendHexByte(out, c);
        } else {
            out += char(c);
        }
    }
}

void AppendRtfUnicode(std::string& out, std::u16string_view text, uint32_t codePage,
                      bool duplicate) {
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c < 0x20) {
            // Other control characters have no place in a text run.
        } else if (c < 0x80) {
            out += char(c);
        } else {
            AppendInt(out, "\\u", int16_t(c));
            if (!duplicate) {
                out += ' ';
                continue;
            }
            // The fallback a reader without Unicode shows: one byte of the font's code page.
            if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
                out += '?';
                continue;
            }
            if (codePage == 1252 && c < 0x100 && c >= 0xA0) {
                AppendHexByte(out, uint8_t(c));
                continue;
            }
            bool usedDefault = false;
            std::string b = WideToAnsi(std::u16string_view(&c, 1), codePage, &usedDefault);
            if (b.size() == 1 && !usedDefault && uint8_t(b[0]) >= 0x20)
                AppendHexByte(out, uint8_t(b[0]));
            else
                out += '?';
        }
    }
}

void TRVRTFWriteContext::AppendNameText(std::string& out, std::u16string_view text,
                                        uint32_t codePage) const {
    AppendRtfUnicode(out, text, codePage ? codePage : CodePage,
                     Options.Contains(TRVRTFOption::rvrtfDuplicateUnicode));
}

namespace {

class RtfDocWriter {
public:
    RtfDocWriter(TCustomRVData& data, TStream& stream, TRVRTFWriteContext& ctx)
        : FData(data), FStream(stream), FCtx(ctx), FStyle(data.GetRVStyle()) {}

    void Write(bool selectionOnly);
    // The style sheet: one paragraph style per paragraph style of the sheet (the first is the
    // default one), one character style per text style.
    void StyleSheet();
    // The page background: its colour and, for a picture style, the picture as the fill.
    void Background(TColor color, TBackgroundStyle style, TGraphic* image);

private:
    void Flush() {
        RVFWriteRaw(FStream, FOut);
        FOut.clear();
    }
    // StyleNo: the text style the format is of (-1 for none), named in the style sheet.
    void CharFormat(const TFontInfo& f, int styleNo = -1);
    void CharWords(const TFontInfo& f);
    void ParaFormat(int paraNo, bool pageBreak, const TRVListLevel* level);
    void ParaWords(const TParaInfo& p, const TRVListLevel* level);
    bool EndsWithTableThenEmptyParagraphs(int first, int last) const;
    void BorderSide(const char* side, const TRVBorder& b, int offset, TColor color,
                    const char* styleWord);
    void Picture(TGraphic* image, int shownWidth, int shownHeight);
    void HyperlinkStart(const TRVTag& tag);
    void TextRun(int i, int first, int so, int last, int eo);
    void Break(const TRVBreakItemInfo& item);
    uint32_t FontCodePage(const TFontInfo& f) const {
        return f.Charset == DEFAULT_CHARSET ? FCtx.CodePage : CharsetToCodePage(f.Charset);
    }

    TCustomRVData& FData;
    TStream& FStream;
    TRVRTFWriteContext& FCtx;
    TRVStyle* FStyle;
    std::string FOut;
};

void RtfDocWriter::CharFormat(const TFontInfo& f, int styleNo) {
    FOut += "\\plain";
    if (styleNo >= 0 && FCtx.SavesStyleSheet() && FStyle && styleNo < FStyle->TextStyles.Count())
        AppendInt(FOut, "\\cs", FCtx.ParaStyleCount + styleNo);
    CharWords(f);
}

void RtfDocWriter::CharWords(const TFontInfo& f) {
    AppendInt(FOut, "\\f", FCtx.FontIndex(f.FontName, RtfCharsetOf(f.Charset, FCtx.CodePage)));
    AppendInt(FOut, "\\fs", std::clamp(f.Size, 1, 1638) * 2LL);
    if (f.Style.Contains(TRVFontStyle::rvfsBold)) FOut += "\\b";
    if (f.Style.Contains(TRVFontStyle::rvfsItalic)) FOut += "\\i";
    if (f.Style.Contains(TRVFontStyle::rvfsUnderline)) FOut += "\\ul";
    if (f.Style.Contains(TRVFontStyle::rvfsStrikeOut)) FOut += "\\strike";
    if (f.AllCaps) FOut += "\\caps";
    if (f.Color != clNone) AppendInt(FOut, "\\cf", FCtx.ColorRef(f.Color));
    if (f.BackColor != clNone) AppendInt(FOut, "\\highlight", FCtx.ColorIndex(f.BackColor));
    if (f.CharSpacing != 0) AppendInt(FOut, "\\expndtw", FCtx.Twips(f.CharSpacing));
    // The shift is a share of the font height: RTF wants half-points.
    if (const long long halfPoints = std::clamp(f.Size, 1, 1638) * 2LL * f.VShift / 100;
        halfPoints != 0)
        AppendInt(FOut, halfPoints > 0 ? "\\up" : "\\dn",
                  halfPoints > 0 ? halfPoints : -halfPoints);
}

const char* BorderStyleWord(TRVBorderStyle s) {
    switch (s) {
    case TRVBorderStyle::rvbDouble:
        return "\\brdrdb";
    case TRVBorderStyle::rvbTriple:
        return "\\brdrtriple";
    case TRVBorderStyle::rvbThickInside:
        return "\\brdrthtnsg";
    case TRVBorderStyle::rvbThickOutside:
        return "\\brdrtnthsg";
    default:
        return "\\brdrs";
    }
}

void RtfDocWriter::BorderSide(const char* side, const TRVBorder& b, int offset, TColor color,
                              const char* styleWord) {
    FOut += side;
    FOut += styleWord;
    AppendInt(FOut, "\\brdrw", std::max(FCtx.Twips(b.Width), 1));
    AppendInt(FOut, "\\brdrcf", FCtx.ColorRef(color));
    if (offset != 0) AppendInt(FOut, "\\brsp", FCtx.Twips(offset));
}

void RtfDocWriter::ParaFormat(int paraNo, bool pageBreak, const TRVListLevel* level) {
    FOut += "\\pard";
    if (FCtx.Level > 0) AppendInt(FOut, "\\intbl\\itap", FCtx.Level);
    if (!FStyle) return;
    if (FCtx.SavesStyleSheet() && paraNo >= 0 && paraNo < FStyle->ParaStyles.Count())
        AppendInt(FOut, "\\s", paraNo);
    ParaWords(FStyle->ParaStyles[paraNo], level);
    if (pageBreak) FOut += "\\pagebb";
}

void RtfDocWriter::ParaWords(const TParaInfo& p, const TRVListLevel* level) {
    static const char* const align[] = {"\\ql", "\\qr", "\\qc", "\\qj"};
    FOut += align[int(p.Alignment) & 3];
    if (level) {
        // A list paragraph is indented by its level: the marker at MarkerIndent, the text
        // (after the marker's tab) at LeftIndent.
        AppendInt(FOut, "\\li", FCtx.Twips(level->LeftIndent));
        AppendInt(FOut, "\\fi", FCtx.Twips(level->MarkerIndent - level->LeftIndent));
        AppendInt(FOut, "\\tx", FCtx.Twips(level->LeftIndent));
    } else {
        if (p.LeftIndent) AppendInt(FOut, "\\li", FCtx.Twips(p.LeftIndent));
        if (p.FirstIndent) AppendInt(FOut, "\\fi", FCtx.Twips(p.FirstIndent));
    }
    if (p.RightIndent) AppendInt(FOut, "\\ri", FCtx.Twips(p.RightIndent));
    if (p.SpaceBefore) AppendInt(FOut, "\\sb", FCtx.Twips(p.SpaceBefore));
    if (p.SpaceAfter) AppendInt(FOut, "\\sa", FCtx.Twips(p.SpaceAfter));
    if (p.LineSpacingType == TRVLineSpacingType::rvlsPercent) {
        if (p.LineSpacing != 100 && p.LineSpacing > 0)
            AppendInt(FOut, "\\sl", std::llround(p.LineSpacing * 2.4)), FOut += "\\slmult1";
    } else {
        // Pixels added between lines: RTF has no such spacing; our own reader restores it.
        AppendInt(FOut, "\\richviewlsb", p.LineSpacing);
    }
    if (p.Border.Style != TRVBorderStyle::rvbNone) {
        const TRVBorder& b = p.Border;
        const char* w = BorderStyleWord(b.Style);
        if (b.VisibleBorders.Top) BorderSide("\\brdrt", b, b.BorderOffsets.Top, b.Color, w);
        if (b.VisibleBorders.Left) BorderSide("\\brdrl", b, b.BorderOffsets.Left, b.Color, w);
        if (b.VisibleBorders.Bottom) BorderSide("\\brdrb", b, b.BorderOffsets.Bottom, b.Color, w);
        if (b.VisibleBorders.Right) BorderSide("\\brdrr", b, b.BorderOffsets.Right, b.Color, w);
    }
    if (p.Background.Color != clNone)
        AppendInt(FOut, "\\cbpat", FCtx.ColorIndex(p.Background.Color));
    if (p.BiDiMode == TRVBiDiMode::rvbdRightToLeft) FOut += "\\rtlpar";
    if (p.BiDiMode == TRVBiDiMode::rvbdLeftToRight) FOut += "\\ltrpar";
}

void RtfDocWriter::HyperlinkStart(const TRVTag& tag) {
    FOut += "{\\field{\\*\\fldinst HYPERLINK \"";
    // Link targets are UTF-8.
    std::u16string target = Utf8ToUtf16(tag.IsString() ? tag.Text() : std::string());
    for (size_t at = target.find(u'"'); at != std::u16string::npos; at = target.find(u'"', at))
        target.replace(at, 1, u"%22");
    FCtx.AppendNameText(FOut, target);
    FOut += "\"}{\\fldrslt ";
}

void RtfDocWriter::TextRun(int i, int first, int so, int last, int eo) {
    const TRVItemEntry& e = FData.Items()[i];
    TCustomRVItemInfo* item = e.Item.get();
    std::string part = TextPart(FData, i, first, so, last, eo);
    const TFontInfo* f = FStyle ? &FStyle->TextStyles[item->StyleNo] : nullptr;
    if (part.empty()) {
        // An empty item gives the paragraph mark its look (outside any group, so that it
        // holds at \par).
        if (f) CharFormat(*f), FOut += ' ';
        return;
    }
    const bool link = item->IsHyperlink(FStyle);
    if (link) HyperlinkStart(item->Tag);
    FOut += '{';
    if (f) CharFormat(*f, item->StyleNo);
    FOut += ' ';
    uint32_t cp = f ? FontCodePage(*f) : FCtx.CodePage;
    const bool duplicate = FCtx.Options.Contains(TRVRTFOption::rvrtfDuplicateUnicode);
    if (item->IsUnicode())
        AppendRtfUnicode(FOut, BytesToWide(part), cp, duplicate);
    else if (uint32_t textCp = FData.CodePageOfStyle(item->StyleNo);
             f && (textCp == CP_ACP ? GetACP() : textCp) != cp)
        // 8-bit text in a code page its font cannot name: written as Unicode.
        AppendRtfUnicode(FOut, AnsiToWide(part, textCp), cp, duplicate);
    else
        AppendRtfAnsi(FOut, part);
    FOut += '}';
    if (link) FOut += "}}";
}

void RtfDocWriter::Break(const TRVBreakItemInfo& item) {
    // A paragraph with a bottom border shows as a rule in every word processor; the private
    // words let our reader make a break of it again.
    TColor color = item.Color;
    if (color == clNone && FStyle) color = FStyle->TextStyles[0].Color;
    const char* w = "\\brdrs";
    switch (item.Style) {
    case TRVBreakStyle::rvbsDotted:
        w = "\\brdrdot";
        break;
    case TRVBreakStyle::rvbsDashed:
        w = "\\brdrdash";
        break;
    case TRVBreakStyle::rvbs3d:
        w = "\\brdremboss";
        break;
    default:
        break;
    }
    FOut += "\\brdrb";
    FOut += w;
    AppendInt(FOut, "\\brdrw", std::max(FCtx.Twips(item.LineWidth), 1));
    AppendInt(FOut, "\\brdrcf", FCtx.ColorRef(color));
    AppendInt(FOut, "\\richviewhr\\richviewhrs", int(item.Style));
    AppendInt(FOut, "\\richviewhrw", item.LineWidth);
    AppendInt(FOut, "\\richviewhrc", item.Color == clNone ? 0 : FCtx.ColorIndex(item.Color));
}

void RtfDocWriter::Picture(TGraphic* image, int shownWidth, int shownHeight) {
    if (!image || image->Empty()) return;
    std::string cls = image->ClassName();
    std::string data;
    const char* blip = "\\pngblip";
    const bool jpegAsJpeg = FCtx.Options.Contains(TRVRTFOption::rvrtfSaveJpegAsJpeg);
    // A metafile goes as itself: a Windows metafile as such (its records, without the header
    // that places it), an enhanced one as such unless it is to be saved as a Windows metafile,
    // which needs a conversion there is none of: it then goes as pixels.
    auto* meta = cls == "TMetafile" ? static_cast<TMetafile*>(image) : nullptr;
    const bool asMeta =
        meta && (!meta->Enhanced() || !FCtx.Options.Contains(TRVRTFOption::rvrtfSaveEMFAsWMF));
    int picW = image->Width(), picH = image->Height();
    if (asMeta) {
        data = meta->Data();
        constexpr size_t kPlaceableHeader = 22;
        if (!meta->Enhanced() && data.size() > kPlaceableHeader &&
            data.compare(0, 4, "\xD7\xCD\xC6\x9A") == 0)
            data.erase(0, kPlaceableHeader);
        blip = meta->Enhanced() ? "\\emfblip" : "\\wmetafile8";
        // A metafile's extent is given in hundredths of a millimetre.
        picW = meta->MMWidth();
        picH = meta->MMHeight();
    } else if (cls == "TPngImage") {
        data = image->SaveToString();
    } else if (cls == "TJPEGImage" && jpegAsJpeg) {
        data = image->SaveToString();
        blip = "\\jpegblip";
    } else if (FCtx.Options.Contains(TRVRTFOption::rvrtfSaveBitmapDefault)) {
        // Other pictures as a device-independent bitmap of their pixels: the file without its
        // 14-byte file header.
        TBitmap bmp(image->Width(), image->Height(), pf24bit);
        if (auto* b = dynamic_cast<TBitmap*>(image)) {
            bmp.Assign(b);
            bmp.SetPixelFormat(pf24bit);
        } else {
            bmp.Canvas()->Brush()->SetColor(clWhite);
            bmp.Canvas()->FillRect(TRect{0, 0, image->Width(), image->Height()});
            bmp.Canvas()->Draw(0, 0, image);
        }
        data = bmp.SaveToString();
        data.erase(0, std::min<size_t>(14, data.size()));
        blip = "\\dibitmap0";
    } else {
        // Any other picture goes as PNG of its pixels.
        TBitmap bmp(image->Width(), image->Height(), pf24bit);
        if (auto* b = dynamic_cast<TBitmap*>(image))
            bmp.Assign(b);
        else {
            bmp.Canvas()->Brush()->SetColor(clWhite);
            bmp.Canvas()->FillRect(TRect{0, 0, image->Width(), image->Height()});
            bmp.Canvas()->Draw(0, 0, image);
        }
        TPngImage png;
        png.Assign(&bmp);
        data = png.SaveToString();
    }
    FOut += "{\\pict";
    FOut += blip;
    AppendInt(FOut, "\\picw", picW);
    AppendInt(FOut, "\\pich", picH);
    AppendInt(FOut, "\\picwgoal", FCtx.Twips(shownWidth));
    AppendInt(FOut, "\\pichgoal", FCtx.Twips(shownHeight));
    FOut += "\r\n";
    size_t start = FOut.size();
    FOut.resize(start + data.size() * 2 + data.size() / 64 * 2);
    char* p = FOut.data() + start;
    for (size_t k = 0; k < data.size(); ++k) {
        auto c = uint8_t(data[k]);
        *p++ = hexDigits[c >> 4];
        *p++ = hexDigits[c & 15];
        if (k % 64 == 63) {
            *p++ = '\r';
            *p++ = '\n';
        }
    }
    FOut += '}';
}

void RtfDocWriter::Background(TColor color, TBackgroundStyle style, TGraphic* image) {
    const bool picture = image && !image->Empty() && style != TBackgroundStyle::bsNoBitmap;
    if (color == clNone && !picture) return;
    FOut += "{\\*\\background{\\shp{\\*\\shpinst";
    if (color != clNone) {
        AppendInt(FOut, "{\\sp{\\sn fillColor}{\\sv ", ColorToRGB(color));
        FOut += "}}";
    }
    if (picture) {
        // Tiles repeat the picture (texture fill); the other styles show it once.
        const bool tiled =
            style == TBackgroundStyle::bsTiled || style == TBackgroundStyle::bsTiledAndScrolled;
        AppendInt(FOut, "{\\sp{\\sn fillType}{\\sv ", tiled ? 2 : 3);
        FOut += "}}{\\sp{\\sn fillBlip}{\\sv ";
        Picture(image, image->Width(), image->Height());
        FOut += "}}";
    }
    FOut += "}}}\\viewbksp1\r\n";
    Flush();
}

void RtfDocWriter::StyleSheet() {
    if (!FStyle) return;
    FOut += "{\\stylesheet";
    const int paraCount = FStyle->ParaStyles.Count();
    for (int i = 0; i < paraCount; ++i) {
        const TParaInfo& p = FStyle->ParaStyles[i];
        AppendInt(FOut, "{\\s", i);
        ParaWords(p, nullptr);
        CharWords(FStyle->TextStyles[0]);
        const int next = p.NextParaNo >= 0 && p.NextParaNo < paraCount ? p.NextParaNo : i;
        AppendInt(FOut, "\\snext", next);
        FOut += ' ';
        FCtx.AppendNameText(FOut, AnsiToWide(p.StyleName)); // style names are ANSI
        FOut += ";}\r\n";
    }
    for (int i = 0; i < FStyle->TextStyles.Count(); ++i) {
        const TFontInfo& f = FStyle->TextStyles[i];
        AppendInt(FOut, "{\\*\\cs", paraCount + i);
        FOut += "\\additive";
        CharWords(f);
        FOut += ' ';
        FCtx.AppendNameText(FOut, AnsiToWide(f.StyleName));
        FOut += ";}\r\n";
    }
    FOut += "}\r\n";
    Flush();
}

void RtfDocWriter::Write(bool selectionOnly) {
    int first, so, last, eo;
    if (!OutputRange(FData, selectionOnly, first, so, last, eo)) return;
    // A paragraph is open: the next one (or the end) closes it with \par. A table closes
    // the paragraph before it itself; after its last row TableJustClosed says so.
    bool paraOpen = false;
    for (int i = first; i <= last; ++i) {
        const TRVItemEntry& e = FData.Items()[i];
        TCustomRVItemInfo* item = e.Item.get();
        bool textItem = item->StyleNo >= 0;
        if (!textItem && OutsideSelection(selectionOnly, i, first, so, last, eo)) continue;
        if (item->IsFullLine() && item->StyleNo != rvsBreak) {
            // A table writes its own rows; it ends the paragraph before it.
            if (paraOpen && !FCtx.TableJustClosed) FOut += "\\par\r\n";
            Flush();
            FCtx.TableJustClosed = false;
            item->SaveRTF(FStream, &FData, i, FCtx);
            paraOpen = false;
            continue;
        }
        if (i == first || item->StartsParagraph()) {
            if (paraOpen && !FCtx.TableJustClosed) FOut += "\\par\r\n";
            FCtx.TableJustClosed = false;
            paraOpen = true;
            auto* marker = dynamic_cast<TRVMarkerItemInfo*>(item);
            ParaFormat(item->ParaNo, item->GetPageBreakBefore(),
                       marker ? marker->GetLevelInfo(FStyle) : nullptr);
        } else if (item->GetLineBreakBefore()) {
            FOut += "\\line";
        }
        if (item->Checkpoint) {
            // Checkpoint names are ANSI.
            std::string name;
            FCtx.AppendNameText(name, AnsiToWide(item->Checkpoint->Name));
            FOut += "{\\*\\bkmkstart " + name + "}{\\*\\bkmkend " + name + "}";
        }
        if (textItem) {
            TextRun(i, first, so, last, eo);
        } else if (auto* brk = dynamic_cast<TRVBreakItemInfo*>(item)) {
            Break(*brk);
        } else if (auto* g = dynamic_cast<TRVGraphicItemInfo*>(item)) {
            const bool hot = item->IsHyperlink(FStyle);
            if (hot) HyperlinkStart(item->Tag);
            Picture(g->Image.get(), g->GetImageWidth(FStyle), g->GetImageHeight(FStyle));
            if (hot) FOut += "}}";
        } else if (auto* b = dynamic_cast<TRVBulletItemInfo*>(item)) {
            // An image-list picture goes as a picture of its image; a hotspot as a linked one.
            if (b->ImageList && b->ImageIndex >= 0 && b->ImageIndex < b->ImageList->Count()) {
                TBitmap bmp(b->ImageList->Width(), b->ImageList->Height(), pf24bit);
                bmp.Canvas()->Brush()->SetColor(clWhite);
                bmp.Canvas()->FillRect(TRect{0, 0, bmp.Width(), bmp.Height()});
                b->ImageList->Draw(bmp.Canvas(), 0, 0, b->ImageIndex);
                const bool hot = item->IsHyperlink(FStyle);
                if (hot) HyperlinkStart(item->Tag);
                Picture(&bmp, bmp.Width(), bmp.Height());
                if (hot) FOut += "}}";
            }
        } else if (auto* c = dynamic_cast<TRVControlItemInfo*>(item)) {
            // A control has no RTF of its own: the program may give some.
            FOut +=
                FData.SaveComponentToFile(std::string(), c->Control.get(), TRVSaveFormat::rvsfRTF);
        } else if (auto* m = dynamic_cast<TRVMarkerItemInfo*>(item)) {
            // Other readers show the marker text; ours makes the marker from the list words
            // and skips the group from its destination word on.
            FOut += '{';
            AppendInt(FOut, "\\richviewlist", m->ListNo);
            AppendInt(FOut, "\\richviewlevel", m->Level);
            AppendInt(FOut, "\\richviewstart", m->StartFrom);
            if (m->Reset) FOut += "\\richviewreset";
            FOut += "\\richviewmarker";
            if (TRVListLevel* level = m->GetLevelInfo(FStyle)) CharFormat(level->Font);
            FOut += ' ';
            AppendRtfAnsi(FOut, m->MarkerText);
            FOut += "\\tab}";
        }
        if (FOut.size() > 65536) Flush();
    }
    if (paraOpen && FCtx.Level == 0 && !FCtx.TableJustClosed) FOut += "\\par\r\n";
    // A cell's end mark is a paragraph of its own: empty paragraphs after a table at the end
    // of a cell are written before it, or readers take the last of them for the mark.
    if (paraOpen && FCtx.Level > 0 && EndsWithTableThenEmptyParagraphs(first, last))
        FOut += "\\par\r\n";
    Flush();
}

bool RtfDocWriter::EndsWithTableThenEmptyParagraphs(int first, int last) const {
    int i = last;
    for (; i >= first; --i) {
        const TCustomRVItemInfo* item = FData.GetItem(i);
        if (item->StyleNo < 0 || !FData.GetItemText(i).empty() || !item->StartsParagraph()) break;
    }
    if (i == last || i < first) return false;
    const TCustomRVItemInfo* item = FData.GetItem(i);
    return item->IsFullLine() && item->StyleNo != rvsBreak;
}

} // namespace

void TCustomRVData::WriteRtfSubDocument(TStream& stream, TRVRTFWriteContext& ctx, int level, TColor,
                                        bool selectionOnly) {
    int savedLevel = ctx.Level;
    ctx.Level = level;
    auto restore = Finally([&] { ctx.Level = savedLevel; });
    RtfDocWriter(*this, stream, ctx).Write(selectionOnly);
}

void TCustomRVData::FillRtfTables(TRVColorList& colors) const {
    for (int i = 0; i < ItemCount(); ++i) {
        const TCustomRVItemInfo* item = (*FItems)[i].Item.get();
        if (auto* brk = dynamic_cast<const TRVBreakItemInfo*>(item))
            colors.AddColorIfAbsent(brk->Color);
        else
            item->FillRtfTables(colors);
    }
}

std::string TCustomRVData::GetExtraRTFCode(int area, int row, int col) {
    // The root answers (a viewer's document asks its control).
    TCustomRVData* root = GetRootData();
    if (root && root != this) return root->GetExtraRTFCode(area, row, col);
    std::string code;
    if (OnSaveRTFExtra) OnSaveRTFExtra(this, area, row, col, code);
    return code;
}

bool TCustomRVData::WriteRtfToStream(TStream& stream, bool selectionOnly, TColor color,
                                     TBackgroundStyle backStyle, TGraphic* backImage) {
    try {
        TRVRTFWriteContext ctx;
        TRVStyle* style = GetRVStyle();
        ctx.Options = GetRTFOptions();
        ctx.ParaStyleCount = style ? style->ParaStyles.Count() : 0;
        ctx.CodePage = style && style->DefCodePage > 1 ? style->DefCodePage : GetACP();
        int levels = 0;
        BuildRtfColorTable(ctx.Colors, levels);
        FillRtfTables(ctx.Colors);
        ctx.Colors.AddColorIfAbsent(color);
        if (style) ctx.Colors.AddColorIfAbsent(style->TextStyles[0].Color);
        BuildRtfFontTable(style, ctx);
        std::string head = "{\\rtf1\\ansi";
        AppendInt(head, "\\ansicpg", ctx.CodePage);
        // Without duplicated Unicode, characters go as \uN alone.
        head += ctx.Options.Contains(TRVRTFOption::rvrtfDuplicateUnicode) ? "\\uc1" : "\\uc0";
        head += "\\deff0\\deflang1033{\\fonttbl";
        for (size_t i = 0; i < ctx.Fonts.size(); ++i) {
            AppendInt(head, "{\\f", int(i));
            AppendInt(head, "\\fnil\\fcharset", ctx.Fonts[i].Charset);
            head += ' ';
            // Font names are UTF-8; the fallback is in the font's own character set.
            const uint32_t cp = CharsetToCodePage(ctx.Fonts[i].Charset);
            ctx.AppendNameText(head, Utf8ToUtf16(ctx.Fonts[i].Name),
                               cp == CP_SYMBOL ? ctx.CodePage : cp);
            head += ";}";
        }
        head += "}\r\n{\\colortbl;";
        for (int i = 0; i < ctx.Colors.Count(); ++i) {
            COLORREF c = ColorToRGB(ctx.Colors[i]);
            AppendInt(head, "\\red", GetRValue(c));
            AppendInt(head, "\\green", GetGValue(c));
            AppendInt(head, "\\blue", GetBValue(c));
            head += ';';
        }
        head += "}\r\n";
        RVFWriteRaw(stream, head);
        if (ctx.SavesStyleSheet()) RtfDocWriter(*this, stream, ctx).StyleSheet();
        // The page background, as word processors store it.
        RtfDocWriter(*this, stream, ctx).Background(color, backStyle, backImage);
        WriteRtfSubDocument(stream, ctx, 0, color, selectionOnly);
        RVFWriteRaw(stream, "}");
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool TCustomRVData::SaveRtfToFile(const std::string& fileName, bool selectionOnly, TColor color,
                                  TBackgroundStyle backStyle, TGraphic* backImage) {
    // Made in memory first: a save that fails leaves no partial file behind.
    TMemoryStream rtf;
    if (!WriteRtfToStream(rtf, selectionOnly, color, backStyle, backImage)) return false;
    try {
        rtf.SaveToFile(fileName);
        return true;
    } catch (const std::exception&) {
        std::remove(fileName.c_str());
        return false;
    }
}

} // namespace epc
