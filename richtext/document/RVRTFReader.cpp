#include "richtext/document/RVRTFReader.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/core/Strings.h"
#include "richtext/document/RVUni.h"

namespace epc {

namespace {

constexpr int maxDepth = 256;

struct CharProps {
    int Font = 0;
    int HalfPoints = 24;
    bool Bold = false, Italic = false, Underline = false, Strike = false, Caps = false;
    int ColorIndex = 0;     // 0: automatic
    int HighlightIndex = 0; // 0: none
};

struct ParaProps {
    TRVAlignment Alignment = TRVAlignment::rvaLeft;
    int LeftTwips = 0, RightTwips = 0, FirstTwips = 0, BeforeTwips = 0, AfterTwips = 0;
};

enum class Dest { Text, FontTable, ColorTable, Skip };

struct State {
    CharProps Char;
    ParaProps Para;
    Dest Destination = Dest::Text;
    int UnicodeSkip = 1;
};

struct FontEntry {
    std::string Name;
    int Charset = 1;
};

class RtfReader {
public:
    RtfReader(TCustomRVData* data, TRVRTFReaderProperties& props, int index)
        : FData(data), FProps(props), FIndex(index), FStart(index) {}

    int Run(std::string_view rtf);
    int Inserted() const { return FIndex - FStart; }

private:
    void Flush();
    void EndParagraph(bool lineOnly);
    void AddChar(char16_t c);
    void ControlWord(const std::string& word, bool hasParam, long param);
    int TextStyleFor(const CharProps& c);
    int ParaStyleFor(const ParaProps& p);
    TColor ColorAt(int index) const {
        // Entry 0 is normally the automatic colour (an empty entry).
        return index >= 0 && index < int(FColors.size()) ? FColors[size_t(index)] : clNone;
    }

    TCustomRVData* FData;
    TRVRTFReaderProperties& FProps;
    int FIndex, FStart;
    std::vector<State> FStack;
    State FState;
    std::vector<FontEntry> FFonts;
    std::vector<int> FFontNumbers;
    std::vector<TColor> FColors;
    int FColorR = 0, FColorG = 0, FColorB = 0;
    bool FColorSet = false;
    std::string FFontName;
    int FFontNumber = 0, FFontCharset = 1;
    uint32_t FCodePage = 1252;
    std::u16string FRun;
    CharProps FRunChar;
    bool FParaOpen = false; // the current paragraph has an item
    bool FNextBR = false;   // the next item starts a line inside the paragraph
    bool FNextPage = false; // the next paragraph starts a page
    int FPendingSkip = 0;   // fallback characters still to skip after \u
};

int RtfReader::TextStyleFor(const CharProps& c) {
    TRVStyle* style = FData->GetRVStyle();
    if (!style) return FProps.TextStyleNo;
    TFontInfo f;
    f.StyleName = "Imported";
    int fi = -1;
    for (size_t i = 0; i < FFontNumbers.size(); ++i)
        if (FFontNumbers[i] == c.Font) fi = int(i);
    if (fi >= 0) {
        f.FontName = FFonts[size_t(fi)].Name;
        f.Charset = FFonts[size_t(fi)].Charset;
    }
    f.Size = std::clamp(c.HalfPoints / 2, 1, 1000);
    if (c.Bold) f.Style.Include(TRVFontStyle::rvfsBold);
    if (c.Italic) f.Style.Include(TRVFontStyle::rvfsItalic);
    if (c.Underline) f.Style.Include(TRVFontStyle::rvfsUnderline);
    if (c.Strike) f.Style.Include(TRVFontStyle::rvfsStrikeOut);
    f.AllCaps = c.Caps;
    TColor color = ColorAt(c.ColorIndex);
    f.Color = color == clNone ? clWindowText : color;
    f.BackColor = ColorAt(c.HighlightIndex);
    f.Unicode = true; // imported text keeps every character
    int i = style->TextStyles.FindSuchStyle(f);
    if (i >= 0) return i;
    style->TextStyles.Add() = f;
    FProps.FullReformat = true;
    return style->TextStyles.Count() - 1;
}

int RtfReader::ParaStyleFor(const ParaProps& p) {
    TRVStyle* style = FData->GetRVStyle();
    if (!style) return FProps.ParaStyleNo;
    TParaInfo para;
    para.StyleName = "Imported";
    para.Alignment = p.Alignment;
    para.LeftIndent = p.LeftTwips / 15;
    para.RightIndent = p.RightTwips / 15;
    para.FirstIndent = p.FirstTwips / 15;
    para.SpaceBefore = p.BeforeTwips / 15;
    para.SpaceAfter = p.AfterTwips / 15;
    int i = style->ParaStyles.FindSuchStyle(para);
    if (i >= 0) return i;
    style->ParaStyles.Add() = para;
    FProps.FullReformat = true;
    return style->ParaStyles.Count() - 1;
}

void RtfReader::Flush() {
    if (FRun.empty()) return;
    auto item = std::make_unique<TRVTextItemInfo>(FData);
    item->StyleNo = TextStyleFor(FRunChar);
    TRVStyle* style = FData->GetRVStyle();
    bool unicode = !style || style->TextStyles[item->StyleNo].Unicode;
    std::string text;
    if (unicode) {
        item->ItemOptions |= rvioUnicode;
        text = WideToBytes(FRun);
    } else {
        text = WideToAnsi(FRun, FData->CodePageOfStyle(item->StyleNo));
    }
    item->ParaNo = ParaStyleFor(FState.Para);
    if (FParaOpen) {
        if (FNextBR)
            item->SetLineBreakBefore(true);
        else
            item->SetJoinsPrevious(true);
    } else if (FNextPage) {
        item->SetPageBreakBefore(true);
    }
    FNextBR = false;
    FNextPage = false;
    FParaOpen = true;
    FData->InsertItemObjectAt(FIndex++, std::move(text), std::move(item));
    FRun.clear();
}

void RtfReader::AddChar(char16_t c) {
    if (FState.Destination != Dest::Text) {
        if (FState.Destination == Dest::FontTable && c != u';')
            FFontName += char(c < 0x80 ? c : '?');
        return;
    }
    if (FPendingSkip > 0) {
        --FPendingSkip;
        return;
    }
    const CharProps& ch = FState.Char;
    if (!FRun.empty() && (ch.Font != FRunChar.Font || ch.HalfPoints != FRunChar.HalfPoints ||
                          ch.Bold != FRunChar.Bold || ch.Italic != FRunChar.Italic ||
                          ch.Underline != FRunChar.Underline || ch.Strike != FRunChar.Strike ||
                          ch.Caps != FRunChar.Caps || ch.ColorIndex != FRunChar.ColorIndex ||
                          ch.HighlightIndex != FRunChar.HighlightIndex))
        Flush();
    if (FRun.empty()) FRunChar = ch;
    FRun += c;
}

void RtfReader::EndParagraph(bool lineOnly) {
    if (FRun.empty() && (!FParaOpen || FNextBR)) {
        // An empty paragraph or line still gets an item to hold it.
        FRunChar = FState.Char;
        FRun = u"";
        auto item = std::make_unique<TRVTextItemInfo>(FData);
        item->StyleNo = TextStyleFor(FRunChar);
        TRVStyle* style = FData->GetRVStyle();
        if (!style || style->TextStyles[item->StyleNo].Unicode) item->ItemOptions |= rvioUnicode;
        item->ParaNo = ParaStyleFor(FState.Para);
        if (FParaOpen)
            item->SetLineBreakBefore(true);
        else if (FNextPage)
            item->SetPageBreakBefore(true);
        FNextPage = false;
        FData->InsertItemObjectAt(FIndex++, std::string(), std::move(item));
        FParaOpen = true;
    } else {
        Flush();
    }
    if (lineOnly) {
        FNextBR = true;
    } else {
        FParaOpen = false;
        FNextBR = false;
    }
}

void RtfReader::ControlWord(const std::string& w, bool hasParam, long param) {
    int p = int(std::clamp<long>(param, -1000000, 1000000));
    CharProps& c = FState.Char;
    ParaProps& para = FState.Para;
    bool on = !hasParam || param != 0;
    if (FState.Destination == Dest::ColorTable) {
        if (w == "red")
            FColorR = std::clamp(p, 0, 255), FColorSet = true;
        else if (w == "green")
            FColorG = std::clamp(p, 0, 255), FColorSet = true;
        else if (w == "blue")
            FColorB = std::clamp(p, 0, 255), FColorSet = true;
        return;
    }
    if (FState.Destination == Dest::FontTable) {
        if (w == "f")
            FFontNumber = p;
        else if (w == "fcharset")
            FFontCharset = std::clamp(p, 0, 255);
        return;
    }
    if (FState.Destination == Dest::Skip) return;
    if (w == "fonttbl")
        FState.Destination = Dest::FontTable;
    else if (w == "colortbl") {
        FState.Destination = Dest::ColorTable;
        FColors.clear();
    } else if (w == "stylesheet" || w == "info" || w == "pict" || w == "header" || w == "footer" ||
               w == "object" || w == "listtable" || w == "listoverridetable" || w == "fldinst" ||
               w == "xmlnstbl" || w == "generator" || w == "themedata")
        FState.Destination = Dest::Skip;
    else if (w == "ansicpg")
        FCodePage = uint32_t(std::clamp(p, 0, 65535));
    else if (w == "par")
        EndParagraph(false);
    else if (w == "line")
        EndParagraph(true);
    else if (w == "page") {
        EndParagraph(false);
        FNextPage = true;
    } else if (w == "tab")
        AddChar(u'\t');
    else if (w == "emdash")
        AddChar(0x2014);
    else if (w == "endash")
        AddChar(0x2013);
    else if (w == "bullet")
        AddChar(0x2022);
    else if (w == "lquote")
        AddChar(0x2018);
    else if (w == "rquote")
        AddChar(0x2019);
    else if (w == "ldblquote")
        AddChar(0x201C);
    else if (w == "rdblquote")
        AddChar(0x201D);
    else if (w == "u") {
        AddChar(char16_t(uint16_t(int16_t(std::clamp<long>(param, -32768, 65535)))));
        FPendingSkip = FState.UnicodeSkip;
    } else if (w == "uc")
        FState.UnicodeSkip = std::clamp(p, 0, 10);
    else if (w == "plain")
        c = CharProps();
    else if (w == "b")
        c.Bold = on;
    else if (w == "i")
        c.Italic = on;
    else if (w == "ul")
        c.Underline = on;
    else if (w == "ulnone")
        c.Underline = false;
    else if (w == "strike")
        c.Strike = on;
    else if (w == "caps")
        c.Caps = on;
    else if (w == "f")
        c.Font = p;
    else if (w == "fs")
        c.HalfPoints = std::clamp(p, 2, 2000);
    else if (w == "cf")
        c.ColorIndex = p;
    else if (w == "highlight" || w == "cb")
        c.HighlightIndex = p;
    else if (w == "pard")
        para = ParaProps();
    else if (w == "ql")
        para.Alignment = TRVAlignment::rvaLeft;
    else if (w == "qr")
        para.Alignment = TRVAlignment::rvaRight;
    else if (w == "qc")
        para.Alignment = TRVAlignment::rvaCenter;
    else if (w == "qj")
        para.Alignment = TRVAlignment::rvaJustify;
    else if (w == "li")
        para.LeftTwips = p;
    else if (w == "ri")
        para.RightTwips = p;
    else if (w == "fi")
        para.FirstTwips = p;
    else if (w == "sb")
        para.BeforeTwips = p;
    else if (w == "sa")
        para.AfterTwips = p;
}

int RtfReader::Run(std::string_view rtf) {
    size_t i = 0;
    while (i < rtf.size() && (rtf[i] == ' ' || rtf[i] == '\r' || rtf[i] == '\n'))
        ++i;
    if (rtf.substr(i, 5) != "{\\rtf") return rtf_ec_NotRtf;
    bool ended = false;
    for (; i < rtf.size(); ++i) {
        char ch = rtf[i];
        if (ended) {
            // Only white space and NULs may follow the document's group.
            if (ch != ' ' && ch != '\r' && ch != '\n' && ch != '\0') return rtf_ec_StackUnderflow;
            continue;
        }
        if (ch == '{') {
            if (int(FStack.size()) >= maxDepth) return rtf_ec_StackOverflow;
            FStack.push_back(FState);
        } else if (ch == '}') {
            if (FStack.empty()) return rtf_ec_StackUnderflow;
            if (FState.Destination == Dest::FontTable && !FFontName.empty()) {
                FFonts.push_back(FontEntry{Trim(FFontName), FFontCharset});
                FFontNumbers.push_back(FFontNumber);
                FFontName.clear();
            }
            Dest inner = FState.Destination;
            FState = FStack.back();
            FStack.pop_back();
            if (inner == Dest::FontTable && FState.Destination == Dest::FontTable &&
                !FFontName.empty()) {
                FFonts.push_back(FontEntry{Trim(FFontName), FFontCharset});
                FFontNumbers.push_back(FFontNumber);
                FFontName.clear();
            }
            if (FStack.empty()) ended = true;
        } else if (ch == '\\') {
            if (++i >= rtf.size()) return rtf_ec_UnmatchedBrace;
            char n = rtf[i];
            if (n == '\\' || n == '{' || n == '}') {
                AddChar(char16_t(n));
            } else if (n == '\'') {
                if (i + 2 >= rtf.size()) return rtf_ec_InvalidHex;
                std::string byte;
                if (!HexToBytes(rtf.substr(i + 1, 2), byte)) return rtf_ec_InvalidHex;
                i += 2;
                std::u16string w = AnsiToWide(byte, FCodePage);
                AddChar(w.empty() ? u'?' : w[0]);
            } else if (n == '*') {
                FState.Destination = Dest::Skip;
            } else if (n == '~') {
                AddChar(0xA0);
            } else if (n == '-' || n == '_') {
                if (n == '_') AddChar(u'-');
            } else if (n == '\r' || n == '\n') {
                EndParagraph(false);
            } else if ((n >= 'a' && n <= 'z') || (n >= 'A' && n <= 'Z')) {
                size_t s = i;
                while (i < rtf.size() &&
                       ((rtf[i] >= 'a' && rtf[i] <= 'z') || (rtf[i] >= 'A' && rtf[i] <= 'Z')) &&
                       i - s < 32)
                    ++i;
                std::string word(rtf.substr(s, i - s));
                bool hasParam = false;
                long param = 0;
                bool neg = false;
                if (i < rtf.size() && rtf[i] == '-') {
                    neg = true;
                    ++i;
                }
                size_t ds = i;
                while (i < rtf.size() && rtf[i] >= '0' && rtf[i] <= '9' && i - ds < 10) {
                    param = param * 10 + (rtf[i] - '0');
                    ++i;
                }
                hasParam = i > ds;
                if (neg) param = -param;
                // A space ends the word and belongs to it; anything else is read again.
                if (!(i < rtf.size() && rtf[i] == ' ')) --i;
                ControlWord(word, hasParam, param);
                continue;
            } else {
                // An unknown control symbol is ignored.
            }
        } else if (ch == '\r' || ch == '\n') {
            // Line ends in RTF source mean nothing.
        } else if (ch == ';' && FState.Destination == Dest::ColorTable) {
            FColors.push_back(
                FColorSet ? TColor(RGB(uint8_t(FColorR), uint8_t(FColorG), uint8_t(FColorB)))
                          : clNone);
            FColorR = FColorG = FColorB = 0;
            FColorSet = false;
        } else if (ch == ';' && FState.Destination == Dest::FontTable) {
            FFonts.push_back(FontEntry{Trim(FFontName), FFontCharset});
            FFontNumbers.push_back(FFontNumber);
            FFontName.clear();
        } else {
            std::u16string w = AnsiToWide(std::string_view(&ch, 1), FCodePage);
            AddChar(w.empty() ? u'?' : w[0]);
        }
    }
    if (!ended) return rtf_ec_UnmatchedBrace;
    Flush();
    return rtf_ec_OK;
}

} // namespace

int TRVRTFReaderProperties::ImportRtfStream(TCustomRVData* data, TStream& stream, int& index) {
    FullReformat = false;
    if (!data) return rtf_ec_NotRtf;
    index = std::clamp(index, 0, data->ItemCount());
    TRVStyle* style = data->GetRVStyle();
    std::unique_ptr<TFontInfos> oldText;
    std::unique_ptr<TParaInfos> oldPara;
    if (style) {
        oldText = std::make_unique<TFontInfos>();
        oldText->Assign(style->TextStyles);
        oldPara = std::make_unique<TParaInfos>();
        oldPara->Assign(style->ParaStyles);
    }
    RtfReader reader(data, *this, index);
    int result;
    try {
        int64_t size = std::max<int64_t>(stream.Size() - stream.Position(), 0);
        std::string rtf(size_t(size), '\0');
        if (size > 0) stream.ReadBuffer(rtf.data(), size);
        result = reader.Run(rtf);
    } catch (...) {
        result = rtf_ec_UnmatchedBrace;
    }
    if (result != rtf_ec_OK) {
        try {
            if (reader.Inserted() > 0) data->DeleteItemRange(index, reader.Inserted());
            if (style) {
                style->TextStyles.Assign(*oldText);
                style->ParaStyles.Assign(*oldPara);
            }
        } catch (...) {
        }
        FullReformat = false;
        return result;
    }
    index += reader.Inserted();
    return rtf_ec_OK;
}

} // namespace epc
