#include "richtext/document/RVRTFReader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/core/ScopeGuard.h"
#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVUni.h"

namespace epc {

namespace {

constexpr int maxDepth = 256;
constexpr double twipsPerPixel = 15.0;

int ToPixels(int twips) {
    return int(std::lround(twips / twipsPerPixel));
}

struct CharProps {
    int Font = -1; // -1: the default font
    int HalfPoints = 24;
    bool Bold = false, Italic = false, Underline = false, Strike = false, Caps = false;
    int ColorIndex = 0;     // 0: automatic
    int HighlightIndex = 0; // 0: none
    int SpacingTwips = 0;
    int Link = -1; // index of the hyperlink target
    friend bool operator==(const CharProps&, const CharProps&) = default;
};

// Every run looks up its text style: the cache is hashed over the whole key.
struct CharPropsHash {
    size_t operator()(const CharProps& c) const noexcept {
        uint64_t h = 0xcbf29ce484222325ull;
        auto mix = [&h](int v) {
            h = (h ^ uint32_t(v)) * 0x100000001b3ull;
            h ^= h >> 32;
        };
        mix(c.Font);
        mix(c.HalfPoints);
        mix(int(c.Bold) | (int(c.Italic) << 1) | (int(c.Underline) << 2) | (int(c.Strike) << 3) |
            (int(c.Caps) << 4));
        mix(c.ColorIndex);
        mix(c.HighlightIndex);
        mix(c.SpacingTwips);
        mix(c.Link);
        return size_t(h);
    }
};

enum Side : uint8_t { sideNone, sideLeft, sideTop, sideRight, sideBottom };

struct ParaProps {
    TRVAlignment Alignment = TRVAlignment::rvaLeft;
    int LeftTwips = 0, RightTwips = 0, FirstTwips = 0, BeforeTwips = 0, AfterTwips = 0;
    int LineTwips = 0;
    bool LineMultiple = false;
    int SpaceBetween = -1; // pixels between lines, from our own writer
    bool PageBreakBefore = false;
    TRVBorderStyle BorderStyle = TRVBorderStyle::rvbNone;
    int BorderWidthTwips = 0, BorderColor = 0;
    TRVBooleanRect Sides;
    TRVRect OffsetTwips;
    Side CurrentSide = sideNone;
    int BackIndex = 0;
    bool Rule = false; // a horizontal rule of our own writer
    int RuleStyle = 0, RuleWidth = 1, RuleColor = 0;
    friend bool operator==(const ParaProps&, const ParaProps&) = default;
};

enum class Dest : uint8_t {
    Text,
    FontTable,
    ColorTable,
    StyleSheet,
    Pict,
    FldInst,
    Bookmark,
    Skip
};

struct State {
    CharProps Char;
    ParaProps Para;
    Dest Destination = Dest::Text;
    int UnicodeSkip = 1;
    bool DropPictures = false; // the result of a field whose picture was included from a file
};

struct FontEntry {
    std::string Name;
    int Charset = DEFAULT_CHARSET;
    int CodePage = 0;
};

enum class Kw : uint8_t {
    None,
    // destinations
    FontTbl,
    ColorTbl,
    StyleSheet,
    Pict,
    ShpPict,
    Field,
    FldInst,
    FldRslt,
    BkmkStart,
    SkipDest,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    Uc,
    U,
    Bin,
    // font table
    F,
    FCharset,
    Cpg,
    S,
    // colours
    Red,
    Green,
    Blue,
    // breaks and special characters
    Par,
    Line,
    Tab,
    Page,
    Sect,
    Emdash,
    Endash,
    Bullet,
    Lquote,
    Rquote,
    Ldblquote,
    Rdblquote,
    Emspace,
    Enspace,
    // character formatting
    Plain,
    B,
    I,
    Ul,
    UlNone,
    Strike,
    Caps,
    Fs,
    Cf,
    Highlight,
    Expndtw,
    Expnd,
    // paragraph formatting
    Pard,
    Ql,
    Qr,
    Qc,
    Qj,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    Sl,
    SlMult,
    PageBb,
    BrdrT,
    BrdrL,
    BrdrB,
    BrdrR,
    Box,
    BrdrS,
    BrdrDb,
    BrdrTriple,
    BrdrThTnSg,
    BrdrTnThSg,
    BrdrOther,
    BrdrNone,
    BrdrW,
    BrdrCf,
    BrSp,
    CbPat,
    LsbPrivate,
    HrPrivate,
    HrStylePrivate,
    HrWidthPrivate,
    HrColorPrivate,
    // pictures
    PngBlip,
    JpegBlip,
    OtherBlip,
    PicW,
    PicH,
    PicWGoal,
    PicHGoal,
    PicScaleX,
    PicScaleY,
    // tables
    Table,
    NestTableProps,
    Cell,
    Row,
};

uint32_t WordHash(std::string_view s) {
    uint32_t h = 2166136261u; // FNV-1a: control words are short
    for (char c : s)
        h = (h ^ uint8_t(c)) * 16777619u;
    return h;
}

struct KeywordEntry {
    std::string_view Word;
    Kw Keyword;
};

constexpr KeywordEntry keywordList[] = {
    {"fonttbl", Kw::FontTbl},
    {"colortbl", Kw::ColorTbl},
    {"stylesheet", Kw::StyleSheet},
    {"pict", Kw::Pict},
    {"shppict", Kw::ShpPict},
    {"field", Kw::Field},
    {"fldinst", Kw::FldInst},
    {"fldrslt", Kw::FldRslt},
    {"bkmkstart", Kw::BkmkStart},
    {"info", Kw::SkipDest},
    {"header", Kw::SkipDest},
    {"headerl", Kw::SkipDest},
    {"headerr", Kw::SkipDest},
    {"headerf", Kw::SkipDest},
    {"footer", Kw::SkipDest},
    {"footerl", Kw::SkipDest},
    {"footerr", Kw::SkipDest},
    {"footerf", Kw::SkipDest},
    {"footnote", Kw::SkipDest},
    {"annotation", Kw::SkipDest},
    {"object", Kw::SkipDest},
    {"nonshppict", Kw::SkipDest},
    {"listtext", Kw::SkipDest},
    {"richviewmarker", Kw::SkipDest},
    {"pntext", Kw::SkipDest},
    {"listtable", Kw::SkipDest},
    {"listoverridetable", Kw::SkipDest},
    {"revtbl", Kw::SkipDest},
    {"rsidtbl", Kw::SkipDest},
    {"xe", Kw::SkipDest},
    {"tc", Kw::SkipDest},
    {"txe", Kw::SkipDest},
    {"rxe", Kw::SkipDest},
    {"bkmkend", Kw::SkipDest},
    {"ftnsep", Kw::SkipDest},
    {"ftnsepc", Kw::SkipDest},
    {"aftnsep", Kw::SkipDest},
    {"aftnsepc", Kw::SkipDest},
    {"pn", Kw::SkipDest},
    {"ansi", Kw::Ansi},
    {"mac", Kw::Mac},
    {"pc", Kw::Pc},
    {"pca", Kw::Pca},
    {"ansicpg", Kw::AnsiCpg},
    {"deff", Kw::Deff},
    {"uc", Kw::Uc},
    {"u", Kw::U},
    {"bin", Kw::Bin},
    {"f", Kw::F},
    {"fcharset", Kw::FCharset},
    {"cpg", Kw::Cpg},
    {"s", Kw::S},
    {"red", Kw::Red},
    {"green", Kw::Green},
    {"blue", Kw::Blue},
    {"par", Kw::Par},
    {"line", Kw::Line},
    {"tab", Kw::Tab},
    {"page", Kw::Page},
    {"sect", Kw::Sect},
    {"emdash", Kw::Emdash},
    {"endash", Kw::Endash},
    {"bullet", Kw::Bullet},
    {"lquote", Kw::Lquote},
    {"rquote", Kw::Rquote},
    {"ldblquote", Kw::Ldblquote},
    {"rdblquote", Kw::Rdblquote},
    {"emspace", Kw::Emspace},
    {"enspace", Kw::Enspace},
    {"plain", Kw::Plain},
    {"b", Kw::B},
    {"i", Kw::I},
    {"ul", Kw::Ul},
    {"uld", Kw::Ul},
    {"uldb", Kw::Ul},
    {"uldash", Kw::Ul},
    {"ulth", Kw::Ul},
    {"ulw", Kw::Ul},
    {"ulwave", Kw::Ul},
    {"uldashd", Kw::Ul},
    {"ulnone", Kw::UlNone},
    {"strike", Kw::Strike},
    {"striked", Kw::Strike},
    {"caps", Kw::Caps},
    {"fs", Kw::Fs},
    {"cf", Kw::Cf},
    {"highlight", Kw::Highlight},
    {"cb", Kw::Highlight},
    {"chcbpat", Kw::Highlight},
    {"expndtw", Kw::Expndtw},
    {"expnd", Kw::Expnd},
    {"pard", Kw::Pard},
    {"ql", Kw::Ql},
    {"qr", Kw::Qr},
    {"qc", Kw::Qc},
    {"qj", Kw::Qj},
    {"li", Kw::Li},
    {"lin", Kw::Li},
    {"ri", Kw::Ri},
    {"rin", Kw::Ri},
    {"fi", Kw::Fi},
    {"sb", Kw::Sb},
    {"sa", Kw::Sa},
    {"sl", Kw::Sl},
    {"slmult", Kw::SlMult},
    {"pagebb", Kw::PageBb},
    {"brdrt", Kw::BrdrT},
    {"brdrl", Kw::BrdrL},
    {"brdrb", Kw::BrdrB},
    {"brdrr", Kw::BrdrR},
    {"box", Kw::Box},
    {"brdrs", Kw::BrdrS},
    {"brdrth", Kw::BrdrS},
    {"brdrdb", Kw::BrdrDb},
    {"brdrtriple", Kw::BrdrTriple},
    {"brdrthtnsg", Kw::BrdrThTnSg},
    {"brdrtnthsg", Kw::BrdrTnThSg},
    {"brdrdot", Kw::BrdrOther},
    {"brdrdash", Kw::BrdrOther},
    {"brdremboss", Kw::BrdrOther},
    {"brdrengrave", Kw::BrdrOther},
    {"brdrsh", Kw::BrdrOther},
    {"brdrhair", Kw::BrdrOther},
    {"brdrnone", Kw::BrdrNone},
    {"brdrnil", Kw::BrdrNone},
    {"brdrw", Kw::BrdrW},
    {"brdrcf", Kw::BrdrCf},
    {"brsp", Kw::BrSp},
    {"cbpat", Kw::CbPat},
    {"richviewlsb", Kw::LsbPrivate},
    {"richviewhr", Kw::HrPrivate},
    {"richviewhrs", Kw::HrStylePrivate},
    {"richviewhrw", Kw::HrWidthPrivate},
    {"richviewhrc", Kw::HrColorPrivate},
    {"pngblip", Kw::PngBlip},
    {"jpegblip", Kw::JpegBlip},
    {"wmetafile", Kw::OtherBlip},
    {"emfblip", Kw::OtherBlip},
    {"macpict", Kw::OtherBlip},
    {"dibitmap", Kw::OtherBlip},
    {"wbitmap", Kw::OtherBlip},
    {"pmmetafile", Kw::OtherBlip},
    {"picw", Kw::PicW},
    {"pich", Kw::PicH},
    {"picwgoal", Kw::PicWGoal},
    {"pichgoal", Kw::PicHGoal},
    {"picscalex", Kw::PicScaleX},
    {"picscaley", Kw::PicScaleY},
    {"trowd", Kw::Table},
    {"cellx", Kw::Table},
    {"intbl", Kw::Table},
    {"itap", Kw::Table},
    {"trgaph", Kw::Table},
    {"trleft", Kw::Table},
    {"trrh", Kw::Table},
    {"trhdr", Kw::Table},
    {"trqc", Kw::Table},
    {"trqr", Kw::Table},
    {"clvmgf", Kw::Table},
    {"clvmrg", Kw::Table},
    {"clmgf", Kw::Table},
    {"clmrg", Kw::Table},
    {"clcbpat", Kw::Table},
    {"clvertalc", Kw::Table},
    {"clvertalb", Kw::Table},
    {"cell", Kw::Cell},
    {"nestcell", Kw::Cell},
    {"row", Kw::Row},
    {"richviewtbw", Kw::Table},
    {"richviewcbw", Kw::Table},
    {"richviewcbh", Kw::Table},
    {"nestrow", Kw::Row},
    {"nesttableprops", Kw::NestTableProps},
    {"nonesttables", Kw::SkipDest},
};

// The control words in an open-addressing table: looked up for every word of the input.
class KeywordTable {
public:
    KeywordTable() {
        for (const KeywordEntry& e : keywordList) {
            uint32_t i = WordHash(e.Word) & mask;
            while (!FSlots[i].Word.empty())
                i = (i + 1) & mask;
            FSlots[i] = e;
        }
    }
    Kw Find(std::string_view word) const {
        for (uint32_t i = WordHash(word) & mask;; i = (i + 1) & mask) {
            const KeywordEntry& e = FSlots[i];
            if (e.Word.empty()) return Kw::None;
            if (e.Word == word) return e.Keyword;
        }
    }

private:
    static constexpr uint32_t mask = 1023;
    KeywordEntry FSlots[mask + 1] = {};
};

const KeywordTable& Keywords() {
    static const KeywordTable table;
    return table;
}

// The control words a "\*" group may start with that we read; others are skipped whole.
bool KnownStarDestination(Kw kw) {
    return kw == Kw::ShpPict || kw == Kw::FldInst || kw == Kw::BkmkStart || kw == Kw::Pict ||
           kw == Kw::NestTableProps;
}

enum class PictKind : uint8_t { None, Png, Jpeg, Other };

struct PictState {
    PictKind Kind = PictKind::None;
    std::string Data;
    int HighNibble = -1;
    int W = 0, H = 0, GoalW = 0, GoalH = 0, ScaleX = 100, ScaleY = 100;
};

class RtfReader {
public:
    RtfReader(TCustomRVData* data, TRVRTFReaderProperties& props, int index)
        : FData(data), FStyle(data->GetRVStyle()), FProps(props), FIndex(index), FStart(index),
          FParaFirst(index) {}

    int Run(std::string_view rtf);
    int Inserted() const { return FIndex - FStart; }

private:
    int ControlWord(std::string_view word, bool hasParam, int param);
    void DestinationEnded(const State& inner);
    void AddChar(char16_t c);
    void AddByte(uint8_t b);
    void FlushBytes();
    void FlushRun();
    // The document may change the style number, tag and name of a link's item before it is made.
    void ReadLink(int link, int& styleNo, TRVTag& tag, std::string& name);
    void InsertItem(std::string text, std::unique_ptr<TCustomRVItemInfo> item);
    void EndParagraph(bool lineOnly);
    bool FinishPicture();
    void InsertPicture(std::unique_ptr<TGraphic> g, int goalW, int goalH);
    // INCLUDEPICTURE "name": the picture file, relative names taken from the base path.
    void IncludePicture(const std::string& arguments);
    void CommitFont();
    int TextStyleFor(const CharProps& c, const std::u16string& text, std::string& stored,
                     bool& unicode);
    int ParaStyleFor(const ParaProps& p);
    TFontInfo FontInfoFor(const CharProps& c) const;
    const FontEntry* FontOf(int number) const {
        auto it = FFontIndex.find(number < 0 ? FDefFont : number);
        return it == FFontIndex.end() ? nullptr : &FFonts[size_t(it->second)];
    }
    uint32_t CodePageOfFont(int number) {
        // Asked for every 8-bit character: the last answer is kept while nothing it depends
        // on changes.
        if (number != FCached.Font || FCodePage != FCached.DocCodePage ||
            FDefFont != FCached.DefFont || FFonts.size() != FCached.FontCount) {
            FCached = {number, FCodePage, FDefFont, FFonts.size(), FindCodePageOfFont(number)};
        }
        return FCached.CodePage;
    }
    uint32_t FindCodePageOfFont(int number) const {
        const FontEntry* f = FontOf(number);
        if (!f) return FCodePage;
        if (f->CodePage > 0) return uint32_t(f->CodePage);
        if (f->Charset == DEFAULT_CHARSET) return FCodePage;
        return CharsetToCodePage(f->Charset);
    }
    TColor ColorAt(int index, TColor automatic) const {
        if (index <= 0 || index >= int(FColors.size())) return automatic;
        TColor c = FColors[size_t(index)];
        return c == clNone ? automatic : c;
    }
    // Consumes one fallback character after \u; True when the character is to be dropped.
    bool SkipFallback() {
        if (FPendingSkip <= 0) return false;
        --FPendingSkip;
        return true;
    }

    const KeywordTable& FKeywords = Keywords();
    TCustomRVData* FData;
    TRVStyle* FStyle;
    TRVRTFReaderProperties& FProps;
    int FIndex, FStart;
    std::vector<State> FStack;
    State FState;
    bool FStarPending = false;
    int FPendingSkip = 0;

    std::vector<FontEntry> FFonts;
    std::unordered_map<int, int> FFontIndex;
    FontEntry FFontBuild;
    int FFontNumber = 0;
    int FDefFont = 0;
    uint32_t FCodePage = 1252;
    struct {
        int Font;
        uint32_t DocCodePage;
        int DefFont;
        size_t FontCount;
        uint32_t CodePage;
    } FCached{INT_MIN, 0, 0, 0, 0};

    std::vector<TColor> FColors;
    int FColorR = 0, FColorG = 0, FColorB = 0;
    bool FColorSet = false;

    struct StyleDef {
        int Number;
        ParaProps Para;
    };
    std::vector<StyleDef> FStyleDefs;
    int FStyleDefNumber = 0;

    std::string FBytes; // 8-bit text waiting for its code page
    uint32_t FBytesCodePage = 0;
    std::u16string FRun;
    CharProps FRunChar;

    int FParaFirst;         // the first item of the current paragraph
    bool FNextBR = false;   // the next item starts a line inside the paragraph
    bool FLineOpen = false; // the current line has an item
    bool FNextPage = false; // the next paragraph starts a page

    std::string FFieldInst;
    bool FLinkPending = false; // a HYPERLINK instruction waits for its field result
    bool FPictureIncluded = false; // an INCLUDEPICTURE file was read: its result is a stand-in
    std::vector<std::string> FLinks;
    std::vector<std::string> FLinkExtras; // the field's switches after each target
    std::string FBookmark;
    std::string FPendingCheckpoint;
    bool FHasPendingCheckpoint = false;
    PictState FPict;

    struct StyleCacheEntry {
        int AnsiStyle;    // equal 8-bit style of the sheet, -1 none
        int UnicodeStyle; // -2 not looked up yet
    };
    std::unordered_map<CharProps, StyleCacheEntry, CharPropsHash> FTextCache;
    std::vector<std::pair<ParaProps, int>> FParaCache;
};

TFontInfo RtfReader::FontInfoFor(const CharProps& c) const {
    TFontInfo f;
    f.StyleName = "Imported";
    if (const FontEntry* fe = FontOf(c.Font)) {
        if (!fe->Name.empty()) f.FontName = fe->Name;
        f.Charset = fe->Charset;
    }
    f.Size = std::clamp((c.HalfPoints + 1) / 2, 1, 1638);
    if (c.Bold) f.Style.Include(TRVFontStyle::rvfsBold);
    if (c.Italic) f.Style.Include(TRVFontStyle::rvfsItalic);
    if (c.Underline) f.Style.Include(TRVFontStyle::rvfsUnderline);
    if (c.Strike) f.Style.Include(TRVFontStyle::rvfsStrikeOut);
    f.AllCaps = c.Caps;
    f.Color = ColorAt(c.ColorIndex, clWindowText);
    f.BackColor = ColorAt(c.HighlightIndex, clNone);
    f.CharSpacing = ToPixels(c.SpacingTwips);
    f.Jump = c.Link >= 0;
    f.Unicode = true;
    RVLimitFontInfo(f);
    return f;
}

int RtfReader::TextStyleFor(const CharProps& c, const std::u16string& text, std::string& stored,
                            bool& unicode) {
    unicode = true;
    if (!FStyle) {
        stored = WideToBytes(text);
        return FProps.TextStyleNo;
    }
    // A style tells only whether its text is a link, not which one: all links share a key.
    CharProps key = c;
    key.Link = c.Link >= 0 ? 0 : -1;
    auto [slot, added] = FTextCache.try_emplace(key, StyleCacheEntry{-1, -2});
    StyleCacheEntry* entry = &slot->second;
    if (added) {
        TFontInfo f = FontInfoFor(c);
        for (int i = 0; i < FStyle->TextStyles.Count() && entry->AnsiStyle < 0; ++i) {
            const TFontInfo& s = FStyle->TextStyles[i];
            if (!s.Unicode && s.IsEqual(f, true)) entry->AnsiStyle = i;
        }
    }
    if (entry->AnsiStyle >= 0) {
        // An equal 8-bit style takes the text when its code page holds every character.
        bool lost = false;
        std::string ansi;
        uint32_t cp = FData->CodePageOfStyle(entry->AnsiStyle);
        if (cp != CP_SYMBOL &&
            std::all_of(text.begin(), text.end(), [](char16_t ch) { return ch < 0x80; }))
            ansi.assign(text.begin(), text.end()); // ASCII is the same in every code page
        else
            ansi = WideToAnsi(text, cp, &lost);
        if (!lost) {
            unicode = false;
            stored = std::move(ansi);
            return entry->AnsiStyle;
        }
    }
    stored = WideToBytes(text);
    if (entry->UnicodeStyle == -2) {
        TFontInfo f = FontInfoFor(c);
        int found = -1;
        for (int i = 0; i < FStyle->TextStyles.Count() && found < 0; ++i) {
            const TFontInfo& s = FStyle->TextStyles[i];
            if (s.Unicode && s.IsEqual(f, true)) found = i;
        }
        if (found < 0) {
            FStyle->TextStyles.Add() = f;
            FProps.FullReformat = true;
            found = FStyle->TextStyles.Count() - 1;
        }
        entry->UnicodeStyle = found;
    }
    return entry->UnicodeStyle;
}

int RtfReader::ParaStyleFor(const ParaProps& p) {
    if (!FStyle) return FProps.ParaStyleNo;
    for (auto& [props, no] : FParaCache)
        if (props == p) return no;
    TParaInfo para;
    para.StyleName = "Imported";
    para.Alignment = p.Alignment;
    para.LeftIndent = ToPixels(p.LeftTwips);
    para.RightIndent = ToPixels(p.RightTwips);
    para.FirstIndent = ToPixels(p.FirstTwips);
    para.SpaceBefore = std::max(ToPixels(p.BeforeTwips), 0);
    para.SpaceAfter = std::max(ToPixels(p.AfterTwips), 0);
    if (p.SpaceBetween >= 0) {
        para.LineSpacingType = TRVLineSpacingType::rvlsSpaceBetween;
        para.LineSpacing = p.SpaceBetween;
    } else if (p.LineMultiple && p.LineTwips > 0) {
        para.LineSpacing = std::clamp(int(std::lround(p.LineTwips / 2.4)), 1, 1000);
    }
    if (p.BorderStyle != TRVBorderStyle::rvbNone && !p.Rule &&
        !p.Sides.EqualsValues(false, false, false, false)) {
        para.Border.Style = p.BorderStyle;
        para.Border.Width = std::max(ToPixels(p.BorderWidthTwips), 1);
        para.Border.Color = ColorAt(p.BorderColor, clWindowText);
        para.Border.VisibleBorders = p.Sides;
        para.Border.BorderOffsets = {ToPixels(p.OffsetTwips.Left), ToPixels(p.OffsetTwips.Top),
                                     ToPixels(p.OffsetTwips.Right), ToPixels(p.OffsetTwips.Bottom)};
    }
    para.Background.Color = ColorAt(p.BackIndex, clNone);
    RVLimitParaInfo(para);
    int no = FStyle->ParaStyles.FindSuchStyle(para);
    if (no < 0) {
        FStyle->ParaStyles.Add() = para;
        FProps.FullReformat = true;
        no = FStyle->ParaStyles.Count() - 1;
    }
    FParaCache.emplace_back(p, no);
    return no;
}

void RtfReader::InsertItem(std::string text, std::unique_ptr<TCustomRVItemInfo> item) {
    if (FIndex > FParaFirst) {
        if (FNextBR)
            item->SetLineBreakBefore(true);
        else
            item->SetJoinsPrevious(true);
    }
    FNextBR = false;
    FLineOpen = true;
    // The paragraph's own style is set when the paragraph ends.
    item->ParaNo = 0;
    FData->InsertItemObjectAt(FIndex, std::move(text), std::move(item));
    if (FHasPendingCheckpoint) {
        FData->SetCheckpointInfo(FIndex, FPendingCheckpoint, TRVTag(), false);
        FHasPendingCheckpoint = false;
    }
    ++FIndex;
}

void RtfReader::FlushBytes() {
    if (FBytes.empty()) return;
    std::u16string w;
    if (FBytesCodePage == CP_SYMBOL) {
        // Symbol fonts draw their bytes from the private-use area.
        for (char b : FBytes)
            w += char16_t(0xF000 + uint8_t(b));
    } else {
        w = AnsiToWide(FBytes, FBytesCodePage);
    }
    FBytes.clear();
    for (char16_t c : w)
        AddChar(c);
}

void RtfReader::AddByte(uint8_t b) {
    if (FState.Destination == Dest::FontTable || FState.Destination == Dest::StyleSheet ||
        FState.Destination == Dest::FldInst || FState.Destination == Dest::Bookmark) {
        AddChar(char16_t(b)); // names keep their bytes
        return;
    }
    if (FState.Destination != Dest::Text) return;
    if (SkipFallback()) return;
    uint32_t cp = CodePageOfFont(FState.Char.Font);
    if (!FBytes.empty() && cp != FBytesCodePage) FlushBytes();
    FBytesCodePage = cp;
    FBytes += char(b);
}

void RtfReader::AddChar(char16_t c) {
    switch (FState.Destination) {
    case Dest::Text:
        break;
    case Dest::FontTable:
        if (c != u';') FFontBuild.Name += char(c < 0x100 ? c : '?');
        return;
    case Dest::FldInst:
        FFieldInst += char(c < 0x100 ? c : '?');
        return;
    case Dest::Bookmark:
        FBookmark += char(c < 0x100 ? c : '?');
        return;
    default:
        return;
    }
    if (!FRun.empty() && !(FState.Char == FRunChar)) FlushRun();
    if (FRun.empty()) FRunChar = FState.Char;
    FRun += c;
}

void RtfReader::FlushRun() {
    if (!FBytes.empty()) FlushBytes();
    if (FRun.empty()) return;
    auto item = std::make_unique<TRVTextItemInfo>(FData);
    std::string text;
    bool unicode;
    item->StyleNo = TextStyleFor(FRunChar, FRun, text, unicode);
    if (unicode) item->ItemOptions |= rvioUnicode;
    if (FRunChar.Link >= 0) {
        std::string name = text; // offered to the document; the text stays as read
        int styleNo = item->StyleNo;
        ReadLink(FRunChar.Link, styleNo, item->Tag, name);
        // Another text style is taken only when it exists and stores text the same way.
        TRVStyle* sheet = FData->GetRVStyle();
        if (sheet && sheet->HasTextStyle(styleNo) &&
            sheet->TextStyles[styleNo].Unicode == sheet->TextStyles[item->StyleNo].Unicode)
            item->StyleNo = styleNo;
    }
    FRun.clear();
    InsertItem(std::move(text), std::move(item));
}

void RtfReader::EndParagraph(bool lineOnly) {
    FlushRun();
    const ParaProps& para = FState.Para;
    if (!FLineOpen) {
        if (!lineOnly && para.Rule && FIndex == FParaFirst) {
            auto brk = std::make_unique<TRVBreakItemInfo>(FData);
            brk->LineWidth = uint8_t(std::clamp(para.RuleWidth, 1, 255));
            brk->Style =
                TRVBreakStyle(std::clamp(para.RuleStyle, 0, int(TRVBreakStyle::rvbsDashed)));
            brk->Color = para.RuleColor > 0 ? ColorAt(para.RuleColor, clNone) : clNone;
            InsertItem(std::string(), std::move(brk));
        } else {
            // An empty paragraph or line still gets an item to hold it.
            auto item = std::make_unique<TRVTextItemInfo>(FData);
            std::string text;
            bool unicode;
            item->StyleNo = TextStyleFor(FState.Char, std::u16string(), text, unicode);
            if (unicode) item->ItemOptions |= rvioUnicode;
            InsertItem(std::string(), std::move(item));
        }
    }
    if (lineOnly) {
        FNextBR = true;
        FLineOpen = false;
        return;
    }
    int paraNo = ParaStyleFor(para);
    for (int i = FParaFirst; i < FIndex; ++i)
        FData->GetItem(i)->ParaNo = paraNo;
    if (FIndex > FParaFirst && (para.PageBreakBefore || FNextPage))
        FData->GetItem(FParaFirst)->SetPageBreakBefore(true);
    FNextPage = false;
    FParaFirst = FIndex;
    FNextBR = false;
    FLineOpen = false;
}

bool RtfReader::FinishPicture() {
    PictState pict = std::move(FPict);
    FPict = PictState();
    if (pict.Kind != PictKind::Png && pict.Kind != PictKind::Jpeg) return true;
    std::unique_ptr<TGraphic> g =
        CreateGraphicByClassName(pict.Kind == PictKind::Png ? "TPngImage" : "TJPEGImage");
    if (!g) return true;
    try {
        g->LoadFromString(pict.Data);
    } catch (const Exception&) {
        return false;
    }
    if (g->Empty()) return false;
    if (FState.DropPictures) return true;
    InsertPicture(std::move(g), pict.GoalW > 0 ? int(int64_t(pict.GoalW) * pict.ScaleX / 100) : 0,
                  pict.GoalH > 0 ? int(int64_t(pict.GoalH) * pict.ScaleY / 100) : 0);
    return true;
}

void RtfReader::IncludePicture(const std::string& arguments) {
    std::string name = Trim(arguments);
    if (!name.empty() && name[0] == '"') {
        const size_t end = name.find('"', 1);
        name = name.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    } else {
        name = name.substr(0, name.find(' '));
    }
    // Backslashes are doubled inside a field instruction.
    for (size_t at = name.find("\\\\"); at != std::string::npos; at = name.find("\\\\", at + 1))
        name.erase(at, 1);
    if (name.empty()) return;
    const bool absolute = name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos;
    if (!absolute) name = FProps.BasePath + name;
    // File names of this platform separate folders with '/'.
    std::replace(name.begin(), name.end(), '\\', '/');
    TPicture picture;
    try {
        picture.LoadFromFile(name);
    } catch (const Exception&) {
        return; // the field's result keeps its stand-in picture
    }
    if (!picture.Graphic() || picture.Graphic()->Empty()) return;
    std::unique_ptr<TGraphic> g = CreateGraphicByClassName(picture.Graphic()->ClassName());
    if (!g) return;
    g->Assign(picture.Graphic());
    InsertPicture(std::move(g), 0, 0);
    FPictureIncluded = true;
}

void RtfReader::InsertPicture(std::unique_ptr<TGraphic> g, int goalW, int goalH) {
    FlushRun();
    int w = g->Width(), h = g->Height();
    // A picture in a link becomes a hot picture unless the document says otherwise.
    int styleNo = rvsPicture;
    TRVTag tag;
    std::string name;
    if (FState.Char.Link >= 0) ReadLink(FState.Char.Link, styleNo, tag, name);
    std::unique_ptr<TRVGraphicItemInfo> item;
    if (styleNo == rvsHotPicture)
        item = std::make_unique<TRVHotGraphicItemInfo>(FData);
    else
        item = std::make_unique<TRVGraphicItemInfo>(FData);
    item->Tag = tag;
    item->SetGraphic(std::move(g));
    int shownW = goalW > 0 ? ToPixels(goalW) : w;
    int shownH = goalH > 0 ? ToPixels(goalH) : h;
    if (shownW > 0 && shownW != w) item->ImageWidth = shownW;
    if (shownH > 0 && shownH != h) item->ImageHeight = shownH;
    InsertItem(std::move(name), std::move(item));
}

void RtfReader::ReadLink(int link, int& styleNo, TRVTag& tag, std::string& name) {
    const std::string& target = FLinks[size_t(link)];
    if (FData->TagsArePChars()) tag = TRVTag::FromString(target);
    FData->ReadHyperlink(target, FLinkExtras[size_t(link)], styleNo, tag, name);
}

void RtfReader::CommitFont() {
    if (FFontBuild.Name.empty()) return;
    FFontBuild.Name = Trim(FFontBuild.Name);
    FFontIndex[FFontNumber] = int(FFonts.size());
    FFonts.push_back(std::move(FFontBuild));
    FFontBuild = FontEntry();
}

void RtfReader::DestinationEnded(const State& inner) {
    switch (inner.Destination) {
    case Dest::FldInst: {
        // HYPERLINK "target": the field result that follows is a link.
        std::string inst = Trim(FFieldInst);
        FFieldInst.clear();
        if (inst.size() >= 9 && UpperCase(inst.substr(0, 9)) == "HYPERLINK") {
            std::string rest = Trim(inst.substr(9));
            size_t q = rest.find('"');
            std::string target = rest;
            std::string extras;
            if (q != std::string::npos) {
                size_t e = rest.find('"', q + 1);
                target = rest.substr(q + 1, e == std::string::npos ? std::string::npos : e - q - 1);
                if (e != std::string::npos) extras = Trim(rest.substr(e + 1));
            }
            FLinks.push_back(target);
            FLinkExtras.push_back(extras);
            FLinkPending = true;
        } else if (inst.size() >= 14 && UpperCase(inst.substr(0, 14)) == "INCLUDEPICTURE") {
            IncludePicture(inst.substr(14));
        }
        break;
    }
    case Dest::Bookmark:
        FPendingCheckpoint = FBookmark;
        FHasPendingCheckpoint = true;
        FBookmark.clear();
        break;
    default:
        break;
    }
}

int RtfReader::ControlWord(std::string_view word, bool hasParam, int param) {
    Kw kw = FKeywords.Find(word);
    bool star = FStarPending;
    FStarPending = false;
    if (FState.Destination == Dest::Skip) return rtf_ec_OK;
    if (star && !KnownStarDestination(kw)) {
        FState.Destination = Dest::Skip;
        return rtf_ec_OK;
    }
    if (kw != Kw::U && kw != Kw::None && FPendingSkip > 0) {
        // A control word stands for one fallback character too.
        --FPendingSkip;
        return rtf_ec_OK;
    }
    CharProps& c = FState.Char;
    ParaProps& p = FState.Para;
    bool on = !hasParam || param != 0;
    Dest d = FState.Destination;
    if (d == Dest::ColorTable) {
        if (kw == Kw::Red) FColorR = std::clamp(param, 0, 255), FColorSet = true;
        if (kw == Kw::Green) FColorG = std::clamp(param, 0, 255), FColorSet = true;
        if (kw == Kw::Blue) FColorB = std::clamp(param, 0, 255), FColorSet = true;
        return rtf_ec_OK;
    }
    if (d == Dest::FontTable) {
        if (kw == Kw::F) {
            CommitFont();
            FFontNumber = param;
        } else if (kw == Kw::FCharset) {
            FFontBuild.Charset = std::clamp(param, 0, 255);
        } else if (kw == Kw::Cpg) {
            FFontBuild.CodePage = std::clamp(param, 0, 65535);
        } else if (kw == Kw::U) {
            FFontBuild.Name += '?';
            FPendingSkip = FState.UnicodeSkip;
        } else if (kw == Kw::SkipDest || kw == Kw::Pict) {
            FState.Destination = Dest::Skip;
        }
        return rtf_ec_OK;
    }
    if (d == Dest::Pict) {
        switch (kw) {
        case Kw::PngBlip:
            FPict.Kind = PictKind::Png;
            break;
        case Kw::JpegBlip:
            FPict.Kind = PictKind::Jpeg;
            break;
        case Kw::OtherBlip:
            FPict.Kind = PictKind::Other;
            break;
        case Kw::PicW:
            FPict.W = param;
            break;
        case Kw::PicH:
            FPict.H = param;
            break;
        case Kw::PicWGoal:
            FPict.GoalW = std::max(param, 0);
            break;
        case Kw::PicHGoal:
            FPict.GoalH = std::max(param, 0);
            break;
        case Kw::PicScaleX:
            FPict.ScaleX = std::clamp(param, 1, 10000);
            break;
        case Kw::PicScaleY:
            FPict.ScaleY = std::clamp(param, 1, 10000);
            break;
        default:
            break;
        }
        return rtf_ec_OK;
    }
    switch (kw) {
    case Kw::FontTbl:
        FState.Destination = Dest::FontTable;
        break;
    case Kw::ColorTbl:
        FState.Destination = Dest::ColorTable;
        FColors.clear();
        break;
    case Kw::StyleSheet:
        FState.Destination = Dest::StyleSheet;
        break;
    case Kw::Pict:
        FlushRun();
        FState.Destination = Dest::Pict;
        FPict = PictState();
        break;
    case Kw::ShpPict:
        break;
    case Kw::Field:
        FFieldInst.clear();
        FLinkPending = false;
        FPictureIncluded = false;
        break;
    case Kw::FldInst:
        FState.Destination = Dest::FldInst;
        FFieldInst.clear();
        break;
    case Kw::FldRslt:
        if (FLinkPending) c.Link = int(FLinks.size()) - 1;
        FLinkPending = false;
        if (FPictureIncluded) FState.DropPictures = true;
        FPictureIncluded = false;
        break;
    case Kw::BkmkStart:
        FlushRun(); // the checkpoint belongs to the item that follows
        FState.Destination = Dest::Bookmark;
        FBookmark.clear();
        break;
    case Kw::SkipDest:
        FState.Destination = Dest::Skip;
        break;
    case Kw::Ansi:
        FCodePage = 1252;
        break;
    case Kw::Mac:
        FCodePage = 10000;
        break;
    case Kw::Pc:
        FCodePage = 437;
        break;
    case Kw::Pca:
        FCodePage = 850;
        break;
    case Kw::AnsiCpg:
        FCodePage = uint32_t(std::clamp(param, 0, 65535));
        break;
    case Kw::Deff:
        FDefFont = param;
        break;
    case Kw::Uc:
        FState.UnicodeSkip = std::clamp(param, 0, 16);
        break;
    case Kw::U:
        FlushBytes();
        if (d == Dest::Text || d == Dest::FldInst || d == Dest::Bookmark)
            AddChar(char16_t(uint16_t(param)));
        FPendingSkip = FState.UnicodeSkip;
        break;
    case Kw::S:
        if (d == Dest::StyleSheet) {
            FStyleDefNumber = param;
        } else {
            for (const StyleDef& def : FStyleDefs)
                if (def.Number == param) p = def.Para;
        }
        break;
    case Kw::Par:
    case Kw::Sect:
        if (d == Dest::Text) EndParagraph(false);
        break;
    case Kw::Line:
        if (d == Dest::Text) EndParagraph(true);
        break;
    case Kw::Page:
        if (d == Dest::Text) {
            // A page break ends the paragraph it is in; right after a paragraph end it only
            // marks the next paragraph.
            FlushRun();
            if (FIndex > FParaFirst) EndParagraph(false);
            FNextPage = true;
        }
        break;
    case Kw::Tab:
        AddChar(u'\t');
        break;
    case Kw::Emdash:
        AddChar(0x2014);
        break;
    case Kw::Endash:
        AddChar(0x2013);
        break;
    case Kw::Bullet:
        AddChar(0x2022);
        break;
    case Kw::Lquote:
        AddChar(0x2018);
        break;
    case Kw::Rquote:
        AddChar(0x2019);
        break;
    case Kw::Ldblquote:
        AddChar(0x201C);
        break;
    case Kw::Rdblquote:
        AddChar(0x201D);
        break;
    case Kw::Emspace:
        AddChar(0x2003);
        break;
    case Kw::Enspace:
        AddChar(0x2002);
        break;
    case Kw::Plain: {
        int link = c.Link;
        c = CharProps();
        c.Link = link; // a field result stays a link
        break;
    }
    case Kw::B:
        c.Bold = on;
        break;
    case Kw::I:
        c.Italic = on;
        break;
    case Kw::Ul:
        c.Underline = on;
        break;
    case Kw::UlNone:
        c.Underline = false;
        break;
    case Kw::Strike:
        c.Strike = on;
        break;
    case Kw::Caps:
        c.Caps = on;
        break;
    case Kw::F:
        c.Font = param;
        break;
    case Kw::Fs:
        c.HalfPoints = std::clamp(param, 2, 3276);
        break;
    case Kw::Cf:
        c.ColorIndex = param;
        break;
    case Kw::Highlight:
        c.HighlightIndex = param;
        break;
    case Kw::Expndtw:
        c.SpacingTwips = std::clamp(param, -32767, 32767);
        break;
    case Kw::Expnd:
        c.SpacingTwips = std::clamp(param, -6553, 6553) * 5;
        break;
    case Kw::Pard:
        p = ParaProps();
        break;
    case Kw::Ql:
        p.Alignment = TRVAlignment::rvaLeft;
        break;
    case Kw::Qr:
        p.Alignment = TRVAlignment::rvaRight;
        break;
    case Kw::Qc:
        p.Alignment = TRVAlignment::rvaCenter;
        break;
    case Kw::Qj:
        p.Alignment = TRVAlignment::rvaJustify;
        break;
    case Kw::Li:
        p.LeftTwips = std::clamp(param, -1000000, 1000000);
        break;
    case Kw::Ri:
        p.RightTwips = std::clamp(param, -1000000, 1000000);
        break;
    case Kw::Fi:
        p.FirstTwips = std::clamp(param, -1000000, 1000000);
        break;
    case Kw::Sb:
        p.BeforeTwips = std::clamp(param, 0, 1000000);
        break;
    case Kw::Sa:
        p.AfterTwips = std::clamp(param, 0, 1000000);
        break;
    case Kw::Sl:
        p.LineTwips = std::clamp(param, -100000, 100000);
        break;
    case Kw::SlMult:
        p.LineMultiple = on;
        break;
    case Kw::LsbPrivate:
        p.SpaceBetween = std::clamp(param, 0, 10000);
        break;
    case Kw::PageBb:
        p.PageBreakBefore = on;
        break;
    case Kw::BrdrT:
        p.CurrentSide = sideTop;
        p.Sides.Top = 1;
        break;
    case Kw::BrdrL:
        p.CurrentSide = sideLeft;
        p.Sides.Left = 1;
        break;
    case Kw::BrdrB:
        p.CurrentSide = sideBottom;
        p.Sides.Bottom = 1;
        break;
    case Kw::BrdrR:
        p.CurrentSide = sideRight;
        p.Sides.Right = 1;
        break;
    case Kw::Box:
        p.CurrentSide = sideNone;
        p.Sides.SetAll(true);
        break;
    case Kw::BrdrS:
    case Kw::BrdrOther:
        p.BorderStyle = TRVBorderStyle::rvbSingle;
        break;
    case Kw::BrdrDb:
        p.BorderStyle = TRVBorderStyle::rvbDouble;
        break;
    case Kw::BrdrTriple:
        p.BorderStyle = TRVBorderStyle::rvbTriple;
        break;
    case Kw::BrdrThTnSg:
        p.BorderStyle = TRVBorderStyle::rvbThickInside;
        break;
    case Kw::BrdrTnThSg:
        p.BorderStyle = TRVBorderStyle::rvbThickOutside;
        break;
    case Kw::BrdrNone:
        switch (p.CurrentSide) {
        case sideTop:
            p.Sides.Top = 0;
            break;
        case sideLeft:
            p.Sides.Left = 0;
            break;
        case sideBottom:
            p.Sides.Bottom = 0;
            break;
        case sideRight:
            p.Sides.Right = 0;
            break;
        default:
            p.Sides.SetAll(false);
        }
        break;
    case Kw::BrdrW:
        p.BorderWidthTwips = std::clamp(param, 0, 10000);
        break;
    case Kw::BrdrCf:
        p.BorderColor = param;
        break;
    case Kw::BrSp: {
        int v = std::clamp(param, 0, 100000);
        switch (p.CurrentSide) {
        case sideTop:
            p.OffsetTwips.Top = v;
            break;
        case sideLeft:
            p.OffsetTwips.Left = v;
            break;
        case sideBottom:
            p.OffsetTwips.Bottom = v;
            break;
        case sideRight:
            p.OffsetTwips.Right = v;
            break;
        default:
            p.OffsetTwips = {v, v, v, v};
        }
        break;
    }
    case Kw::CbPat:
        p.BackIndex = param;
        break;
    case Kw::HrPrivate:
        p.Rule = true;
        break;
    case Kw::HrStylePrivate:
        p.RuleStyle = param;
        break;
    case Kw::HrWidthPrivate:
        p.RuleWidth = param;
        break;
    case Kw::HrColorPrivate:
        p.RuleColor = param;
        break;
    case Kw::Table:
    case Kw::Cell:
    case Kw::Row:
        if (TRVRTFTableReader* tables = FProps.TableReader) {
            tables->Colors = &FColors;
            tables->ItemPosition = FIndex;
            const bool took = tables->TableWord(word, hasParam, param);
            // Items that became one table lie before the reading position.
            if (const int n = std::exchange(tables->ItemsTaken, 0); n != 0) {
                FIndex = std::clamp(FIndex - n, FStart, FData->ItemCount());
                FParaFirst = std::clamp(FParaFirst - n, FStart, FIndex);
            }
            if (took) break;
        }
        // A row ends its last cell's paragraph only when that is still open.
        if (d == Dest::Text &&
            (kw == Kw::Cell ||
             (kw == Kw::Row && (FIndex > FParaFirst || !FRun.empty() || !FBytes.empty()))))
            EndParagraph(false);
        break;
    default:
        break;
    }
    return rtf_ec_OK;
}

bool IsLetter(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

int RtfReader::Run(std::string_view rtf) {
    size_t i = 0;
    const size_t n = rtf.size();
    while (i < n && (rtf[i] == ' ' || rtf[i] == '\r' || rtf[i] == '\n' || rtf[i] == '\t'))
        ++i;
    if (rtf.substr(i, 5) != "{\\rtf") return rtf_ec_NotRtf;
    bool ended = false;
    while (i < n) {
        char ch = rtf[i];
        if (ended) {
            // Only white space and NULs may follow the document's group.
            if (ch != ' ' && ch != '\r' && ch != '\n' && ch != '\0' && ch != '\t')
                return rtf_ec_StackUnderflow;
            ++i;
            continue;
        }
        if (ch == '{') {
            if (int(FStack.size()) >= maxDepth) return rtf_ec_StackOverflow;
            FlushBytes();
            FStack.push_back(FState);
            FStarPending = false;
            ++i;
        } else if (ch == '}') {
            if (FStack.empty()) return rtf_ec_StackUnderflow;
            FlushBytes();
            State inner = std::move(FState);
            FState = std::move(FStack.back());
            FStack.pop_back();
            FPendingSkip = 0;
            FStarPending = false;
            if (inner.Destination == Dest::FontTable) CommitFont();
            if (inner.Destination != FState.Destination) {
                if (inner.Destination == Dest::Pict && !FinishPicture())
                    return rtf_ec_InvalidPicture;
                DestinationEnded(inner);
            }
            if (FStack.empty()) ended = true;
            ++i;
        } else if (ch == '\\') {
            if (++i >= n) return rtf_ec_UnmatchedBrace;
            char s = rtf[i];
            if (IsLetter(s)) {
                size_t ws = i;
                while (i < n && IsLetter(rtf[i]) && i - ws < 32)
                    ++i;
                std::string_view word = rtf.substr(ws, i - ws);
                bool neg = false, hasParam = false;
                if (i < n && rtf[i] == '-') {
                    neg = true;
                    ++i;
                }
                int64_t v = 0;
                size_t ds = i;
                while (i < n && rtf[i] >= '0' && rtf[i] <= '9') {
                    if (i - ds >= 10) return rtf_ec_InvalidParam;
                    v = v * 10 + (rtf[i] - '0');
                    ++i;
                }
                hasParam = i > ds;
                if (neg) v = -v;
                if (v > INT32_MAX || v < INT32_MIN) return rtf_ec_InvalidParam;
                // A space ends the word and belongs to it.
                if (i < n && rtf[i] == ' ') ++i;
                if (word == "bin") {
                    // Raw bytes follow: as picture data, or skipped.
                    size_t len = size_t(std::clamp<int64_t>(v, 0, int64_t(n - i)));
                    if (FState.Destination == Dest::Pict) FPict.Data.append(rtf.substr(i, len));
                    i += len;
                    continue;
                }
                if (word != "u" && word != "uc") FlushBytes();
                int r = ControlWord(word, hasParam, int(v));
                if (r != rtf_ec_OK) return r;
            } else if (s == '\'') {
                if (i + 2 >= n) return rtf_ec_InvalidHex;
                int hi = HexValue(rtf[i + 1]), lo = HexValue(rtf[i + 2]);
                if (hi < 0 || lo < 0) return rtf_ec_InvalidHex;
                i += 3;
                FStarPending = false;
                if (FState.Destination != Dest::Skip) AddByte(uint8_t(hi * 16 + lo));
            } else {
                ++i;
                bool star = s == '*';
                if (!star) FlushBytes();
                if (!star && FState.Destination == Dest::Skip) continue;
                if (!star && SkipFallback()) continue;
                switch (s) {
                case '\\':
                case '{':
                case '}':
                    AddChar(char16_t(s));
                    break;
                case '*':
                    FStarPending = true;
                    break;
                case '~':
                    AddChar(0xA0);
                    break;
                case '_':
                    AddChar(0x2011);
                    break;
                case '\r':
                case '\n':
                    if (FState.Destination == Dest::Text) EndParagraph(false);
                    break;
                default:
                    break; // other control symbols (\- optional hyphen) show nothing
                }
            }
        } else if (ch == '\r' || ch == '\n') {
            ++i; // line ends in RTF source mean nothing
        } else {
            FStarPending = false;
            Dest d = FState.Destination;
            if (d == Dest::Skip) {
                ++i;
                while (i < n && rtf[i] != '{' && rtf[i] != '}' && rtf[i] != '\\')
                    ++i;
                continue;
            }
            if (d == Dest::Pict) {
                int h = HexValue(ch);
                if (h >= 0) {
                    if (FPict.HighNibble < 0) {
                        FPict.HighNibble = h;
                    } else {
                        FPict.Data += char(FPict.HighNibble * 16 + h);
                        FPict.HighNibble = -1;
                    }
                }
                ++i;
                continue;
            }
            if (ch == ';' && d == Dest::ColorTable) {
                FColors.push_back(
                    FColorSet ? TColor(RGB(uint8_t(FColorR), uint8_t(FColorG), uint8_t(FColorB)))
                              : clNone);
                FColorR = FColorG = FColorB = 0;
                FColorSet = false;
                ++i;
                continue;
            }
            if (ch == ';' && d == Dest::FontTable) {
                CommitFont();
                ++i;
                continue;
            }
            if (ch == ';' && d == Dest::StyleSheet) {
                FStyleDefs.push_back(StyleDef{FStyleDefNumber, FState.Para});
                FStyleDefNumber = 0;
                ++i;
                continue;
            }
            if (uint8_t(ch) >= 0x80) {
                AddByte(uint8_t(ch));
                ++i;
                continue;
            }
            FlushBytes();
            if (SkipFallback()) {
                ++i;
                continue;
            }
            if (d != Dest::Text) {
                if (ch != '\t') AddChar(char16_t(ch));
                ++i;
                continue;
            }
            // A run of plain characters goes in one piece.
            if (!FRun.empty() && !(FState.Char == FRunChar)) FlushRun();
            if (FRun.empty()) FRunChar = FState.Char;
            size_t e = i;
            while (e < n) {
                char t = rtf[e];
                if (t == '\\' || t == '{' || t == '}' || t == '\r' || t == '\n' ||
                    uint8_t(t) >= 0x80)
                    break;
                ++e;
            }
            size_t at = FRun.size();
            FRun.resize(at + (e - i));
            for (size_t k = i; k < e; ++k)
                if (rtf[k] != '\0') FRun[at++] = char16_t(uint8_t(rtf[k]));
            FRun.resize(at);
            i = e;
        }
    }
    if (!ended) return rtf_ec_UnmatchedBrace;
    FlushRun();
    if (FIndex > FParaFirst) EndParagraph(false);
    return rtf_ec_OK;
}

TRVRTFTableReaderMaker& RegisteredTableReader() {
    static TRVRTFTableReaderMaker maker;
    return maker;
}

} // namespace

void RVRegisterRTFTableReader(TRVRTFTableReaderMaker maker) {
    RegisteredTableReader() = std::move(maker);
}

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
    std::unique_ptr<TRVRTFTableReader> ownTables;
    if (!TableReader && RegisteredTableReader()) ownTables = RegisteredTableReader()(data);
    TRVRTFTableReader* const setTables = TableReader;
    if (ownTables) TableReader = ownTables.get();
    auto restoreTables = Finally([&] { TableReader = setTables; });
    // Tables built from cells replace items: what was inserted is what the count grew by.
    const int countBefore = data->ItemCount();
    RtfReader reader(data, *this, index);
    int result;
    try {
        std::string rtf = ReadStreamRest(stream);
        result = reader.Run(rtf);
        if (result == rtf_ec_OK && ownTables) ownTables->Finish();
    } catch (const std::exception&) {
        result = rtf_ec_UnmatchedBrace;
    }
    const int inserted = data->ItemCount() - countBefore;
    if (result != rtf_ec_OK) {
        if (inserted > 0) data->DeleteItemRange(index, inserted);
        if (style) {
            style->TextStyles.Assign(*oldText);
            style->ParaStyles.Assign(*oldPara);
        }
        FullReformat = false;
        return result;
    }
    index += inserted;
    return rtf_ec_OK;
}

} // namespace epc
