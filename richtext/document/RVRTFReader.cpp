#include "richtext/document/RVRTFReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <span>
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
    int ShiftHalfPoints = 0; // up (positive) or down
    int SuperSub = 0;        // \super 1, \sub -1: raised or lowered in a smaller size
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
        mix(c.ShiftHalfPoints);
        mix(c.SuperSub);
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
    // \rtlpar; \ltrpar is what every paragraph does unless told otherwise.
    TRVBiDiMode BiDiMode = TRVBiDiMode::rvbdUnspecified;
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

// Destinations whose text is a name or an instruction rather than part of the body: read as the
// body's text is (8-bit bytes through a code page, \uN with its fallback skipped), then converted
// to what the document keeps.
bool IsNameDestination(Dest d) {
    return d == Dest::FontTable || d == Dest::StyleSheet || d == Dest::FldInst ||
           d == Dest::Bookmark;
}

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

class RtfReader;

// What a control word is: a flag sets a state, a toggle switches one on or off (a zero
// parameter switches it off), a value takes its parameter, a destination starts a group whose
// text goes elsewhere, a symbol stands for a character or a break.
enum class WordKind : uint8_t { Flag, Toggle, Value, Destination, Symbol };

// Where a word acts: the font table, the colour table and picture data read words of their
// own; every other destination reads the words of the body.
enum class WordPlace : uint8_t { Body, FontTable, ColorTable, Picture };
constexpr size_t wordPlaceCount = 4;

WordPlace PlaceOf(Dest d) {
    switch (d) {
    case Dest::FontTable:
        return WordPlace::FontTable;
    case Dest::ColorTable:
        return WordPlace::ColorTable;
    case Dest::Pict:
        return WordPlace::Picture;
    default:
        return WordPlace::Body;
    }
}

struct WordCall {
    std::string_view Word;
    bool HasParam;
    int Param;
    bool On() const { return !HasParam || Param != 0; }
};

using WordHandler = void (*)(RtfReader&, const WordCall&);

struct WordEntry {
    std::string_view Word;
    WordKind Kind;
    WordHandler Handler = nullptr; // a symbol without one adds its character
    char16_t Char = 0;             // of a symbol
    Dest Target = Dest::Text;      // of a destination: set after its handler ran
    bool ReadWhenStarred = false;  // a "\*" group it starts is read, not skipped
};

constexpr WordEntry Flag(std::string_view word, WordHandler handler) {
    return {word, WordKind::Flag, handler};
}
constexpr WordEntry Toggle(std::string_view word, WordHandler handler) {
    return {word, WordKind::Toggle, handler};
}
constexpr WordEntry Value(std::string_view word, WordHandler handler) {
    return {word, WordKind::Value, handler};
}
constexpr WordEntry Symbol(std::string_view word, char16_t c) {
    return {word, WordKind::Symbol, nullptr, c};
}
constexpr WordEntry Symbol(std::string_view word, WordHandler handler) {
    return {word, WordKind::Symbol, handler};
}
constexpr WordEntry Destination(std::string_view word, Dest target, WordHandler handler = nullptr) {
    return {word, WordKind::Destination, handler, 0, target};
}
constexpr WordEntry Starred(WordEntry e) {
    e.ReadWhenStarred = true;
    return e;
}

// The words of one concern, and where they act.
struct WordGroup {
    WordPlace Place;
    std::span<const WordEntry> Words;
};

uint32_t WordHash(std::string_view s) {
    uint32_t h = 2166136261u; // FNV-1a: control words are short
    for (char c : s)
        h = (h ^ uint8_t(c)) * 16777619u;
    return h;
}

// The control words in an open-addressing table: looked up for every word of the input. A
// word has one slot, holding what it does in each place.
class WordTable {
public:
    struct Slot {
        std::string_view Word;
        std::array<const WordEntry*, wordPlaceCount> In{};
        bool ReadWhenStarred() const {
            const WordEntry* body = In[size_t(WordPlace::Body)];
            return body && body->ReadWhenStarred;
        }
    };

    explicit WordTable(std::initializer_list<WordGroup> groups) {
        for (const WordGroup& group : groups)
            for (const WordEntry& e : group.Words)
                Claim(e.Word).In[size_t(group.Place)] = &e;
        // The font table skips the groups the body skips, and pictures.
        static constexpr WordEntry skipInFontTable = Destination("", Dest::Skip);
        for (Slot& s : FSlots) {
            const WordEntry* body = s.In[size_t(WordPlace::Body)];
            const WordEntry*& font = s.In[size_t(WordPlace::FontTable)];
            if (body && !font && body->Kind == WordKind::Destination &&
                (body->Target == Dest::Skip || body->Target == Dest::Pict))
                font = &skipInFontTable;
        }
    }
    const Slot* Find(std::string_view word) const {
        for (uint32_t i = WordHash(word) & mask;; i = (i + 1) & mask) {
            const Slot& s = FSlots[i];
            if (s.Word.empty()) return nullptr;
            if (s.Word == word) return &s;
        }
    }

private:
    Slot& Claim(std::string_view word) {
        uint32_t i = WordHash(word) & mask;
        while (!FSlots[i].Word.empty() && FSlots[i].Word != word)
            i = (i + 1) & mask;
        FSlots[i].Word = word;
        return FSlots[i];
    }

    static constexpr uint32_t mask = 1023;
    Slot FSlots[mask + 1] = {};
};

enum class PictKind : uint8_t { None, Png, Jpeg, Dib, Wmf, Emf, Other };

struct PictState {
    PictKind Kind = PictKind::None;
    std::string Data;
    int HighNibble = -1;
    int W = 0, H = 0, GoalW = 0, GoalH = 0, ScaleX = 100, ScaleY = 100;
};

// The reading position in the RTF text.
struct Cursor {
    std::string_view Text;
    size_t Pos = 0;
    bool AtEnd() const { return Pos >= Text.size(); }
    char Current() const { return Text[Pos]; }
};

class RtfReader {
public:
    RtfReader(TCustomRVData* data, TRVRTFReaderProperties& props, int index)
        : FData(data), FStyle(data->GetRVStyle()), FProps(props), FIndex(index), FStart(index),
          FParaFirst(index) {}

    int Run(std::string_view rtf);
    int Inserted() const { return FIndex - FStart; }

private:
    // The steps of reading: each reads what starts at the cursor and moves it past that.
    int ReadNext(Cursor& in);
    int OpenGroup();
    int CloseGroup();
    int ReadControl(Cursor& in);
    int ReadControlWord(Cursor& in);
    int ReadHexByte(Cursor& in);
    void ControlSymbol(char s);
    void ReadText(Cursor& in);
    void AddPictureHex(char ch);
    bool EndHeaderEntry(Dest d);
    void ReadPlainRun(Cursor& in);

    // Control words: looked up in the word table and handed to their handlers.
    void ControlWord(std::string_view word, bool hasParam, int param);
    void Act(const WordEntry& e, const WordCall& w);
    // The words by concern; a word may mean something else in each place.
    static WordGroup CharacterWords();
    static WordGroup ParagraphWords();
    static WordGroup DocumentWords();
    static WordGroup FontTableWords();
    static WordGroup ColorTableWords();
    static WordGroup TableWords();
    static WordGroup PictureWords();
    static WordGroup PictureDataWords();
    static WordGroup FieldWords();
    static WordGroup ListWords();
    static const WordTable& Words();
    // Steps the handlers call.
    void UnicodeChar(int code);
    void UseStyle(int number);
    void EndParagraphInText(bool lineOnly);
    void BreakPage();
    void StartField();
    void StartFieldResult();
    // Gives a table word to the table reader; false when the reader left it.
    bool PassToTables(const WordCall& w);
    // Border words after a table's or a cell's side word describe that side: they go to the
    // table reader. True when the word was one of those.
    bool ToTableBorder(const WordCall& w);
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
    // The code page of 8-bit bytes in a name: a font's name is in its own character set, other
    // names in the current font's; symbol fonts name themselves in the document's.
    uint32_t NameCodePage(Dest d) {
        uint32_t cp = FCodePage;
        if (d == Dest::FontTable) {
            if (FFontBuild.CodePage > 0)
                cp = uint32_t(FFontBuild.CodePage);
            else if (FFontBuild.Charset != DEFAULT_CHARSET)
                cp = CharsetToCodePage(FFontBuild.Charset);
        } else {
            cp = CodePageOfFont(FState.Char.Font);
        }
        return cp == CP_SYMBOL ? FCodePage : cp;
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

    const WordTable& FWords = Words();
    TCustomRVData* FData;
    TRVStyle* FStyle;
    TRVRTFReaderProperties& FProps;
    int FIndex, FStart;
    std::vector<State> FStack;
    State FState;
    bool FStarPending = false;
    int FPendingSkip = 0;
    bool FTableBorder = false; // border words describe a side of a table row or a cell

    std::vector<FontEntry> FFonts;
    std::unordered_map<int, int> FFontIndex;
    FontEntry FFontBuild;
    std::u16string FFontName; // of the font entry being read
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
    // The list of the marker group our writer puts at a list paragraph's start (-1: none).
    struct MarkerDef {
        int ListNo = -1, Level = 0, StartFrom = 1;
        bool Reset = false;
    } FMarker;
    void InsertMarker();

    std::u16string FFieldInst;
    bool FLinkPending = false; // a HYPERLINK instruction waits for its field result
    bool FPictureIncluded = false; // an INCLUDEPICTURE file was read: its result is a stand-in
    std::vector<std::string> FLinks;
    std::vector<std::string> FLinkExtras; // the field's switches after each target
    std::u16string FBookmark;
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
    f.VShift = int(c.ShiftHalfPoints * 100LL / std::max(c.HalfPoints, 1));
    if (c.SuperSub != 0 && c.ShiftHalfPoints == 0) {
        // As word processors show \super and \sub: two thirds of the size, raised by half of
        // that smaller height or lowered by a quarter of it.
        f.Size = std::clamp(int(std::lround(c.HalfPoints / 3.0)), 1, 1638);
        f.VShift = c.SuperSub > 0 ? 50 : -25;
    }
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
        !p.Sides.AllEqualTo(false)) {
        para.Border.Style = p.BorderStyle;
        para.Border.Width = std::max(ToPixels(p.BorderWidthTwips), 1);
        para.Border.Color = ColorAt(p.BorderColor, clWindowText);
        para.Border.VisibleBorders = p.Sides;
        para.Border.BorderOffsets = {ToPixels(p.OffsetTwips.Left), ToPixels(p.OffsetTwips.Top),
                                     ToPixels(p.OffsetTwips.Right), ToPixels(p.OffsetTwips.Bottom)};
    }
    para.Background.Color = ColorAt(p.BackIndex, clNone);
    para.BiDiMode = p.BiDiMode;
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
    const Dest d = FState.Destination;
    if (d != Dest::Text && !IsNameDestination(d)) return;
    if (SkipFallback()) return;
    const uint32_t cp = d == Dest::Text ? CodePageOfFont(FState.Char.Font) : NameCodePage(d);
    if (!FBytes.empty() && cp != FBytesCodePage) FlushBytes();
    FBytesCodePage = cp;
    FBytes += char(b);
}

void RtfReader::AddChar(char16_t c) {
    switch (FState.Destination) {
    case Dest::Text:
        break;
    case Dest::FontTable:
        if (c != u';') FFontName += c;
        return;
    case Dest::FldInst:
        FFieldInst += c;
        return;
    case Dest::Bookmark:
        FBookmark += c;
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

namespace {
// Puts the 14-byte file header in front of a packed bitmap (info header, colour table, bits);
// false when the info header is not one.
bool PrependBitmapFileHeader(std::string& dib) {
    auto u32 = [&](size_t at) {
        uint32_t v = 0;
        for (int k = 3; k >= 0; --k)
            v = (v << 8) | uint8_t(dib[at + size_t(k)]);
        return v;
    };
    if (dib.size() < 40) return false;
    const uint32_t headerSize = u32(0);
    if (headerSize < 40 || headerSize > dib.size()) return false;
    const int bits = uint8_t(dib[14]) | (uint8_t(dib[15]) << 8);
    const uint32_t compression = u32(16);
    uint64_t colours = u32(32);
    if (colours == 0 && bits <= 8) colours = uint64_t(1) << bits;
    // BI_BITFIELDS: three masks follow a plain info header.
    const uint64_t masks = headerSize == 40 && compression == 3 ? 12 : 0;
    const uint64_t offset = 14 + uint64_t(headerSize) + masks + colours * 4;
    if (offset > 14 + uint64_t(dib.size())) return false;
    const uint64_t total = 14 + uint64_t(dib.size());
    std::string head = "BM";
    for (uint64_t v : {total, uint64_t(0), offset})
        for (int k = 0; k < 4; ++k)
            head += char((v >> (8 * k)) & 0xFF);
    dib.insert(0, head);
    return true;
}
} // namespace

bool RtfReader::FinishPicture() {
    PictState pict = std::move(FPict);
    FPict = PictState();
    const char* cls = nullptr;
    switch (pict.Kind) {
    case PictKind::Png:
        cls = "TPngImage";
        break;
    case PictKind::Jpeg:
        cls = "TJPEGImage";
        break;
    case PictKind::Dib:
        // A bitmap file without its file header: the header is put back in front.
        if (!PrependBitmapFileHeader(pict.Data)) return false;
        cls = "TBitmap";
        break;
    case PictKind::Wmf:
    case PictKind::Emf:
        cls = "TMetafile";
        break;
    default:
        return true;
    }
    std::unique_ptr<TGraphic> g = CreateGraphicByClassName(cls);
    if (!g) return true;
    try {
        g->LoadFromString(pict.Data);
    } catch (const Exception&) {
        return false;
    }
    if (g->Empty()) return false;
    // A metafile's extent is in hundredths of a millimetre (the records of a Windows metafile
    // carry no size of their own).
    if (pict.Kind == PictKind::Wmf && pict.W > 0 && pict.H > 0) {
        auto pixels = [](int hundredthsMM) {
            return int(std::min<int64_t>(
                (int64_t(hundredthsMM) * ScreenPixelsPerInch + 1270) / 2540, 32767));
        };
        g->SetWidth(pixels(pict.W));
        g->SetHeight(pixels(pict.H));
    }
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
    // File names of this platform separate folders with '/'.
    std::replace(name.begin(), name.end(), '\\', '/');
    // A document takes pictures from its own folder only: no absolute names, no drive or
    // scheme, no step up out of the folder.
    // Without a folder (a document read from a stream) there is no file of the document's.
    if (FProps.BasePath.empty()) return;
    if (name.empty() || name[0] == '/' || name.find(':') != std::string::npos) return;
    for (size_t start = 0; start <= name.size();) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return;
        start = end + 1;
    }
    // The instruction is UTF-8 here; file names are in the ANSI code page.
    name = FProps.BasePath + WideToAnsi(Utf8ToUtf16(name));
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

// A marker of a list the sheet holds opens the paragraph; markers of lists it lacks are dropped,
// as other readers' list texts are.
void RtfReader::InsertMarker() {
    const MarkerDef def = std::exchange(FMarker, MarkerDef());
    TRVStyle* sheet = FData->GetRVStyle();
    if (def.ListNo < 0 || !sheet || def.ListNo >= sheet->ListStyles.Count()) return;
    FlushRun();
    if (FIndex != FParaFirst) return;
    InsertItem(std::string(), std::make_unique<TRVMarkerItemInfo>(FData, def.ListNo, def.Level,
                                                                  def.StartFrom, def.Reset));
}

void RtfReader::ReadLink(int link, int& styleNo, TRVTag& tag, std::string& name) {
    const std::string& target = FLinks[size_t(link)];
    if (FData->TagsArePChars()) tag = TRVTag::FromString(target);
    FData->ReadHyperlink(target, FLinkExtras[size_t(link)], styleNo, tag, name);
}

void RtfReader::CommitFont() {
    if (FFontName.empty()) return;
    // Font names are UTF-8, as the font engine looks them up.
    FFontBuild.Name = Trim(Utf16ToUtf8(std::exchange(FFontName, std::u16string())));
    FFontIndex[FFontNumber] = int(FFonts.size());
    FFonts.push_back(std::move(FFontBuild));
    FFontBuild = FontEntry();
}

void RtfReader::DestinationEnded(const State& inner) {
    switch (inner.Destination) {
    case Dest::FldInst: {
        // HYPERLINK "target": the field result that follows is a link. Link targets are UTF-8.
        std::string inst = Trim(Utf16ToUtf8(FFieldInst));
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
        // Checkpoint names are in the ANSI code page.
        FPendingCheckpoint = WideToAnsi(FBookmark);
        FHasPendingCheckpoint = true;
        FBookmark.clear();
        break;
    default:
        break;
    }
}

void RtfReader::ControlWord(std::string_view word, bool hasParam, int param) {
    const WordTable::Slot* slot = FWords.Find(word);
    const bool star = std::exchange(FStarPending, false);
    if (FState.Destination == Dest::Skip) return;
    if (star && !(slot && slot->ReadWhenStarred())) {
        FState.Destination = Dest::Skip;
        return;
    }
    if (!slot) return;
    if (FPendingSkip > 0 && word != "u") {
        // A control word stands for one fallback character too.
        --FPendingSkip;
        return;
    }
    if (const WordEntry* e = slot->In[size_t(PlaceOf(FState.Destination))])
        Act(*e, WordCall{word, hasParam, param});
}

void RtfReader::Act(const WordEntry& e, const WordCall& w) {
    if (e.Handler)
        e.Handler(*this, w);
    else if (e.Kind == WordKind::Symbol)
        AddChar(e.Char);
    if (e.Kind == WordKind::Destination) FState.Destination = e.Target;
}

void RtfReader::UnicodeChar(int code) {
    FlushBytes();
    const Dest d = FState.Destination;
    if (d == Dest::Text || IsNameDestination(d)) AddChar(char16_t(uint16_t(code)));
    FPendingSkip = FState.UnicodeSkip;
}

void RtfReader::UseStyle(int number) {
    if (FState.Destination == Dest::StyleSheet) {
        FStyleDefNumber = number;
        return;
    }
    for (const StyleDef& def : FStyleDefs)
        if (def.Number == number) FState.Para = def.Para;
}

void RtfReader::EndParagraphInText(bool lineOnly) {
    if (FState.Destination == Dest::Text) EndParagraph(lineOnly);
}

void RtfReader::BreakPage() {
    if (FState.Destination != Dest::Text) return;
    // A page break ends the paragraph it is in; right after a paragraph end it only marks the
    // next paragraph.
    FlushRun();
    if (FIndex > FParaFirst) EndParagraph(false);
    FNextPage = true;
}

void RtfReader::StartField() {
    FFieldInst.clear();
    FLinkPending = false;
    FPictureIncluded = false;
}

void RtfReader::StartFieldResult() {
    if (FLinkPending) FState.Char.Link = int(FLinks.size()) - 1;
    FLinkPending = false;
    if (FPictureIncluded) FState.DropPictures = true;
    FPictureIncluded = false;
}

bool RtfReader::PassToTables(const WordCall& w) {
    TRVRTFTableReader* tables = FProps.TableReader;
    if (!tables) return false;
    tables->Colors = &FColors;
    tables->ItemPosition = FIndex;
    const bool took = tables->TableWord(w.Word, w.HasParam, w.Param);
    // Items that became one table lie before the reading position.
    if (const int n = std::exchange(tables->ItemsTaken, 0); n != 0) {
        FIndex = std::clamp(FIndex - n, FStart, FData->ItemCount());
        FParaFirst = std::clamp(FParaFirst - n, FStart, FIndex);
    }
    return took;
}

// The field of a side of a border rectangle; none for all sides.
template <class Rect> auto* SideOf(Rect& rect, Side side) {
    switch (side) {
    case sideLeft:
        return &rect.Left;
    case sideTop:
        return &rect.Top;
    case sideRight:
        return &rect.Right;
    case sideBottom:
        return &rect.Bottom;
    default:
        return static_cast<decltype(&rect.Left)>(nullptr);
    }
}

// The border words that follow are about this side (or all sides), which shows.
void StartBorderSide(ParaProps& p, Side side) {
    p.CurrentSide = side;
    if (auto* shown = SideOf(p.Sides, side))
        *shown = 1;
    else
        p.Sides.SetAll(true);
}

void HideBorderSide(ParaProps& p) {
    if (auto* shown = SideOf(p.Sides, p.CurrentSide))
        *shown = 0;
    else
        p.Sides.SetAll(false);
}

void SetBorderSpacing(ParaProps& p, int twips) {
    if (auto* offset = SideOf(p.OffsetTwips, p.CurrentSide))
        *offset = twips;
    else
        p.OffsetTwips = {twips, twips, twips, twips};
}

bool RtfReader::ToTableBorder(const WordCall& w) {
    if (!FTableBorder) return false;
    PassToTables(w);
    return true;
}

// Short names for the rows of the word tables.
using R = RtfReader;
using W = WordCall;

WordGroup RtfReader::CharacterWords() {
    static constexpr WordHandler underline = [](R& r, const W& w) {
        r.FState.Char.Underline = w.On();
    };
    static constexpr WordHandler strike = [](R& r, const W& w) { r.FState.Char.Strike = w.On(); };
    static constexpr WordHandler highlight = [](R& r, const W& w) {
        r.FState.Char.HighlightIndex = w.Param;
    };
    static constexpr WordEntry words[] = {
        Flag("plain",
             [](R& r, const W&) {
                 CharProps& c = r.FState.Char;
                 c = CharProps{.Link = c.Link}; // a field result stays a link
             }),
        Toggle("b", [](R& r, const W& w) { r.FState.Char.Bold = w.On(); }),
        Toggle("i", [](R& r, const W& w) { r.FState.Char.Italic = w.On(); }),
        Toggle("ul", underline),
        Toggle("uld", underline),
        Toggle("uldb", underline),
        Toggle("uldash", underline),
        Toggle("ulth", underline),
        Toggle("ulw", underline),
        Toggle("ulwave", underline),
        Toggle("uldashd", underline),
        Flag("ulnone", [](R& r, const W&) { r.FState.Char.Underline = false; }),
        Toggle("strike", strike),
        Toggle("striked", strike),
        Toggle("caps", [](R& r, const W& w) { r.FState.Char.Caps = w.On(); }),
        Value("f", [](R& r, const W& w) { r.FState.Char.Font = w.Param; }),
        Value("fs",
              [](R& r, const W& w) { r.FState.Char.HalfPoints = std::clamp(w.Param, 2, 3276); }),
        Value("cf", [](R& r, const W& w) { r.FState.Char.ColorIndex = w.Param; }),
        Value("highlight", highlight),
        Value("cb", highlight),
        Value("chcbpat", highlight),
        Value("expndtw",
              [](R& r, const W& w) {
                  r.FState.Char.SpacingTwips = std::clamp(w.Param, -32767, 32767);
              }),
        Value("expnd",
              [](R& r, const W& w) {
                  r.FState.Char.SpacingTwips = std::clamp(w.Param, -6553, 6553) * 5;
              }),
        Value("up",
              [](R& r, const W& w) {
                  r.FState.Char.ShiftHalfPoints = std::clamp(w.HasParam ? w.Param : 6, 0, 3276);
              }),
        Value("dn",
              [](R& r, const W& w) {
                  r.FState.Char.ShiftHalfPoints = -std::clamp(w.HasParam ? w.Param : 6, 0, 3276);
              }),
        Flag("super", [](R& r, const W&) { r.FState.Char.SuperSub = 1; }),
        Flag("sub", [](R& r, const W&) { r.FState.Char.SuperSub = -1; }),
        Flag("nosupersub", [](R& r, const W&) { r.FState.Char.SuperSub = 0; }),
        Value("uc", [](R& r, const W& w) { r.FState.UnicodeSkip = std::clamp(w.Param, 0, 16); }),
        Value("u", [](R& r, const W& w) { r.UnicodeChar(w.Param); }),
        Symbol("tab", u'\t'),
        Symbol("emdash", 0x2014),
        Symbol("endash", 0x2013),
        Symbol("bullet", 0x2022),
        Symbol("lquote", 0x2018),
        Symbol("rquote", 0x2019),
        Symbol("ldblquote", 0x201C),
        Symbol("rdblquote", 0x201D),
        Symbol("emspace", 0x2003),
        Symbol("enspace", 0x2002),
    };
    return {WordPlace::Body, words};
}

WordGroup RtfReader::ParagraphWords() {
    static constexpr WordHandler left = [](R& r, const W& w) {
        r.FState.Para.LeftTwips = std::clamp(w.Param, -1000000, 1000000);
    };
    static constexpr WordHandler right = [](R& r, const W& w) {
        r.FState.Para.RightTwips = std::clamp(w.Param, -1000000, 1000000);
    };
    static constexpr WordHandler single = [](R& r, const W& w) {
        if (!r.ToTableBorder(w)) r.FState.Para.BorderStyle = TRVBorderStyle::rvbSingle;
    };
    static constexpr WordHandler hideSide = [](R& r, const W& w) {
        if (!r.ToTableBorder(w)) HideBorderSide(r.FState.Para);
    };
    static constexpr WordHandler side = [](R& r, const W& w) {
        r.FTableBorder = false;
        const Side s = w.Word == "brdrt"   ? sideTop
                       : w.Word == "brdrl" ? sideLeft
                       : w.Word == "brdrb" ? sideBottom
                       : w.Word == "brdrr" ? sideRight
                                           : sideNone; // \box: all four
        StartBorderSide(r.FState.Para, s);
    };
    static constexpr WordHandler styled = [](R& r, const W& w) {
        if (r.ToTableBorder(w)) return;
        TRVBorderStyle& style = r.FState.Para.BorderStyle;
        if (w.Word == "brdrdb")
            style = TRVBorderStyle::rvbDouble;
        else if (w.Word == "brdrtriple")
            style = TRVBorderStyle::rvbTriple;
        else if (w.Word == "brdrthtnsg")
            style = TRVBorderStyle::rvbThickInside;
        else
            style = TRVBorderStyle::rvbThickOutside;
    };
    static constexpr WordEntry words[] = {
        Symbol("par", [](R& r, const W&) { r.EndParagraphInText(false); }),
        Symbol("line", [](R& r, const W&) { r.EndParagraphInText(true); }),
        Flag("pard",
             [](R& r, const W&) {
                 r.FState.Para = ParaProps();
                 r.FTableBorder = false;
             }),
        Value("s", [](R& r, const W& w) { r.UseStyle(w.Param); }),
        Flag("ql", [](R& r, const W&) { r.FState.Para.Alignment = TRVAlignment::rvaLeft; }),
        Flag("qr", [](R& r, const W&) { r.FState.Para.Alignment = TRVAlignment::rvaRight; }),
        Flag("qc", [](R& r, const W&) { r.FState.Para.Alignment = TRVAlignment::rvaCenter; }),
        Flag("qj", [](R& r, const W&) { r.FState.Para.Alignment = TRVAlignment::rvaJustify; }),
        Value("li", left),
        Value("lin", left),
        Value("ri", right),
        Value("rin", right),
        Value("fi",
              [](R& r, const W& w) {
                  r.FState.Para.FirstTwips = std::clamp(w.Param, -1000000, 1000000);
              }),
        Value(
            "sb",
            [](R& r, const W& w) { r.FState.Para.BeforeTwips = std::clamp(w.Param, 0, 1000000); }),
        Value("sa",
              [](R& r, const W& w) { r.FState.Para.AfterTwips = std::clamp(w.Param, 0, 1000000); }),
        Value("sl",
              [](R& r, const W& w) {
                  r.FState.Para.LineTwips = std::clamp(w.Param, -100000, 100000);
              }),
        Toggle("slmult", [](R& r, const W& w) { r.FState.Para.LineMultiple = w.On(); }),
        Value("richviewlsb",
              [](R& r, const W& w) { r.FState.Para.SpaceBetween = std::clamp(w.Param, 0, 10000); }),
        Toggle("pagebb", [](R& r, const W& w) { r.FState.Para.PageBreakBefore = w.On(); }),
        Flag("rtlpar",
             [](R& r, const W&) { r.FState.Para.BiDiMode = TRVBiDiMode::rvbdRightToLeft; }),
        // Left to right is every paragraph's way unless told otherwise: no mode of its own, so
        // that justified paragraphs keep their justification.
        Flag("ltrpar",
             [](R& r, const W&) { r.FState.Para.BiDiMode = TRVBiDiMode::rvbdUnspecified; }),
        Flag("brdrt", side),
        Flag("brdrl", side),
        Flag("brdrb", side),
        Flag("brdrr", side),
        Flag("box", side),
        // Border styles we have no look for are drawn single.
        Flag("brdrs", single),
        Flag("brdrth", single),
        Flag("brdrdot", single),
        Flag("brdrdash", single),
        Flag("brdremboss", single),
        Flag("brdrengrave", single),
        Flag("brdrsh", single),
        Flag("brdrhair", single),
        Flag("brdroutset", single),
        Flag("brdrinset", single),
        Flag("brdrdb", styled),
        Flag("brdrtriple", styled),
        Flag("brdrthtnsg", styled),
        Flag("brdrtnthsg", styled),
        Flag("brdrnone", hideSide),
        Flag("brdrnil", hideSide),
        Flag("brdrtbl", hideSide), // a table's side without a line
        Value("brdrw",
              [](R& r, const W& w) {
                  if (!r.ToTableBorder(w))
                      r.FState.Para.BorderWidthTwips = std::clamp(w.Param, 0, 10000);
              }),
        Value("brdrcf",
              [](R& r, const W& w) {
                  if (!r.ToTableBorder(w)) r.FState.Para.BorderColor = w.Param;
              }),
        Value("brsp",
              [](R& r, const W& w) {
                  if (!r.ToTableBorder(w))
                      SetBorderSpacing(r.FState.Para, std::clamp(w.Param, 0, 100000));
              }),
        Value("cbpat", [](R& r, const W& w) { r.FState.Para.BackIndex = w.Param; }),
        // A horizontal rule of our own writer.
        Flag("richviewhr", [](R& r, const W&) { r.FState.Para.Rule = true; }),
        Value("richviewhrs", [](R& r, const W& w) { r.FState.Para.RuleStyle = w.Param; }),
        Value("richviewhrw", [](R& r, const W& w) { r.FState.Para.RuleWidth = w.Param; }),
        Value("richviewhrc", [](R& r, const W& w) { r.FState.Para.RuleColor = w.Param; }),
    };
    return {WordPlace::Body, words};
}

WordGroup RtfReader::DocumentWords() {
    static constexpr WordEntry words[] = {
        Flag("ansi", [](R& r, const W&) { r.FCodePage = 1252; }),
        Flag("mac", [](R& r, const W&) { r.FCodePage = 10000; }),
        Flag("pc", [](R& r, const W&) { r.FCodePage = 437; }),
        Flag("pca", [](R& r, const W&) { r.FCodePage = 850; }),
        Value("ansicpg",
              [](R& r, const W& w) { r.FCodePage = uint32_t(std::clamp(w.Param, 0, 65535)); }),
        Value("deff", [](R& r, const W& w) { r.FDefFont = w.Param; }),
        Destination("fonttbl", Dest::FontTable),
        Destination("colortbl", Dest::ColorTable, [](R& r, const W&) { r.FColors.clear(); }),
        Destination("stylesheet", Dest::StyleSheet),
        Symbol("sect", [](R& r, const W&) { r.EndParagraphInText(false); }),
        Symbol("page", [](R& r, const W&) { r.BreakPage(); }),
        // What is not part of the body's flow.
        Destination("info", Dest::Skip),
        Destination("header", Dest::Skip),
        Destination("headerl", Dest::Skip),
        Destination("headerr", Dest::Skip),
        Destination("headerf", Dest::Skip),
        Destination("footer", Dest::Skip),
        Destination("footerl", Dest::Skip),
        Destination("footerr", Dest::Skip),
        Destination("footerf", Dest::Skip),
        Destination("footnote", Dest::Skip),
        Destination("annotation", Dest::Skip),
        Destination("ftnsep", Dest::Skip),
        Destination("ftnsepc", Dest::Skip),
        Destination("aftnsep", Dest::Skip),
        Destination("aftnsepc", Dest::Skip),
        Destination("revtbl", Dest::Skip),
        Destination("rsidtbl", Dest::Skip),
        // Our list marker: its list words, then the group of the text other readers show.
        Value("richviewlist", [](R& r, const W& w) { r.FMarker.ListNo = w.Param; }),
        Value("richviewlevel",
              [](R& r, const W& w) { r.FMarker.Level = std::clamp(w.Param, 0, 255); }),
        Value("richviewstart", [](R& r, const W& w) { r.FMarker.StartFrom = w.Param; }),
        Toggle("richviewreset", [](R& r, const W& w) { r.FMarker.Reset = w.On(); }),
        Destination("richviewmarker", Dest::Skip, [](R& r, const W&) { r.InsertMarker(); }),
    };
    return {WordPlace::Body, words};
}

WordGroup RtfReader::FontTableWords() {
    static constexpr WordEntry words[] = {
        Value("f",
              [](R& r, const W& w) {
                  r.CommitFont();
                  r.FFontNumber = w.Param;
              }),
        Value("fcharset",
              [](R& r, const W& w) { r.FFontBuild.Charset = std::clamp(w.Param, 0, 255); }),
        Value("cpg",
              [](R& r, const W& w) { r.FFontBuild.CodePage = std::clamp(w.Param, 0, 65535); }),
        Value("u", [](R& r, const W& w) { r.UnicodeChar(w.Param); }),
        Value("uc", [](R& r, const W& w) { r.FState.UnicodeSkip = std::clamp(w.Param, 0, 16); }),
    };
    return {WordPlace::FontTable, words};
}

WordGroup RtfReader::ColorTableWords() {
    static constexpr WordEntry words[] = {
        Value("red",
              [](R& r, const W& w) {
                  r.FColorR = std::clamp(w.Param, 0, 255);
                  r.FColorSet = true;
              }),
        Value("green",
              [](R& r, const W& w) {
                  r.FColorG = std::clamp(w.Param, 0, 255);
                  r.FColorSet = true;
              }),
        Value("blue",
              [](R& r, const W& w) {
                  r.FColorB = std::clamp(w.Param, 0, 255);
                  r.FColorSet = true;
              }),
    };
    return {WordPlace::ColorTable, words};
}

WordGroup RtfReader::TableWords() {
    // A word the table reader leaves is read as without tables: a cell ends its paragraph, a
    // row ends its last cell's paragraph only when that is still open.
    static constexpr WordHandler other = [](R& r, const W& w) { r.PassToTables(w); };
    // The border words that follow a side word of a row or a cell are about that side.
    static constexpr WordHandler borderSide = [](R& r, const W& w) {
        r.FTableBorder = true;
        r.PassToTables(w);
    };
    static constexpr WordHandler cellEnd = [](R& r, const W& w) {
        r.FTableBorder = false;
        r.PassToTables(w);
    };
    static constexpr WordHandler cell = [](R& r, const W& w) {
        if (!r.PassToTables(w)) r.EndParagraphInText(false);
    };
    static constexpr WordHandler row = [](R& r, const W& w) {
        if (!r.PassToTables(w) && (r.FIndex > r.FParaFirst || !r.FRun.empty() || !r.FBytes.empty()))
            r.EndParagraphInText(false);
    };
    static constexpr WordEntry words[] = {
        Flag("trowd", other),
        Value("cellx", cellEnd),
        Flag("intbl", other),
        Value("itap", other),
        Value("trgaph", other),
        Value("trleft", other),
        Value("trrh", other),
        Flag("trhdr", other),
        Flag("trqc", other),
        Flag("trqr", other),
        Flag("clvmgf", other),
        Flag("clvmrg", other),
        Flag("clmgf", other),
        Flag("clmrg", other),
        Value("clcbpat", other),
        Flag("clvertalc", other),
        Flag("clvertalb", other),
        Value("richviewtbw", other),
        Value("richviewcbw", other),
        Value("richviewcbh", other),
        Flag("trbrdrl", borderSide),
        Flag("trbrdrt", borderSide),
        Flag("trbrdrr", borderSide),
        Flag("trbrdrb", borderSide),
        Flag("trbrdrh", borderSide),
        Flag("trbrdrv", borderSide),
        Flag("clbrdrl", borderSide),
        Flag("clbrdrt", borderSide),
        Flag("clbrdrr", borderSide),
        Flag("clbrdrb", borderSide),
        Symbol("cell", cell),
        Symbol("nestcell", cell),
        Symbol("row", row),
        Symbol("nestrow", row),
        // The properties of a nested table are read like any other table words.
        Starred(Flag("nesttableprops", nullptr)),
        // The text for readers without nested tables.
        Destination("nonesttables", Dest::Skip),
    };
    return {WordPlace::Body, words};
}

WordGroup RtfReader::PictureWords() {
    static constexpr WordEntry words[] = {
        Starred(Destination("pict", Dest::Pict,
                            [](R& r, const W&) {
                                r.FlushRun();
                                r.FPict = PictState();
                            })),
        // A shape's picture is read as a picture; the stand-in for readers without shapes and
        // embedded objects are skipped.
        Starred(Flag("shppict", nullptr)),
        Destination("nonshppict", Dest::Skip),
        Destination("object", Dest::Skip),
    };
    return {WordPlace::Body, words};
}

WordGroup RtfReader::PictureDataWords() {
    static constexpr WordHandler other = [](R& r, const W&) { r.FPict.Kind = PictKind::Other; };
    static constexpr WordEntry words[] = {
        Flag("pngblip", [](R& r, const W&) { r.FPict.Kind = PictKind::Png; }),
        Flag("jpegblip", [](R& r, const W&) { r.FPict.Kind = PictKind::Jpeg; }),
        Flag("wmetafile", [](R& r, const W&) { r.FPict.Kind = PictKind::Wmf; }),
        Flag("emfblip", [](R& r, const W&) { r.FPict.Kind = PictKind::Emf; }),
        Flag("macpict", other),
        Flag("dibitmap", [](R& r, const W&) { r.FPict.Kind = PictKind::Dib; }),
        Flag("wbitmap", other),
        Flag("pmmetafile", other),
        Value("picw", [](R& r, const W& w) { r.FPict.W = w.Param; }),
        Value("pich", [](R& r, const W& w) { r.FPict.H = w.Param; }),
        Value("picwgoal", [](R& r, const W& w) { r.FPict.GoalW = std::max(w.Param, 0); }),
        Value("pichgoal", [](R& r, const W& w) { r.FPict.GoalH = std::max(w.Param, 0); }),
        Value("picscalex",
              [](R& r, const W& w) { r.FPict.ScaleX = std::clamp(w.Param, 1, 10000); }),
        Value("picscaley",
              [](R& r, const W& w) { r.FPict.ScaleY = std::clamp(w.Param, 1, 10000); }),
    };
    return {WordPlace::Picture, words};
}

WordGroup RtfReader::FieldWords() {
    static constexpr WordEntry words[] = {
        // A field and its result are read as part of the text around them.
        Flag("field", [](R& r, const W&) { r.StartField(); }),
        Starred(
            Destination("fldinst", Dest::FldInst, [](R& r, const W&) { r.FFieldInst.clear(); })),
        Flag("fldrslt", [](R& r, const W&) { r.StartFieldResult(); }),
        Starred(Destination("bkmkstart", Dest::Bookmark,
                            [](R& r, const W&) {
                                r.FlushRun(); // the checkpoint belongs to the item that follows
                                r.FBookmark.clear();
                            })),
        Destination("bkmkend", Dest::Skip),
        // Index and table of contents entries.
        Destination("xe", Dest::Skip),
        Destination("tc", Dest::Skip),
        Destination("txe", Dest::Skip),
        Destination("rxe", Dest::Skip),
    };
    return {WordPlace::Body, words};
}

WordGroup RtfReader::ListWords() {
    // Lists are not read: their tables and the number texts before their items are skipped.
    static constexpr WordEntry words[] = {
        Destination("listtable", Dest::Skip), Destination("listoverridetable", Dest::Skip),
        Destination("listtext", Dest::Skip),  Destination("pntext", Dest::Skip),
        Destination("pn", Dest::Skip),
    };
    return {WordPlace::Body, words};
}

const WordTable& RtfReader::Words() {
    static const WordTable table{
        CharacterWords(), ParagraphWords(), DocumentWords(),    FontTableWords(), ColorTableWords(),
        TableWords(),     PictureWords(),   PictureDataWords(), FieldWords(),     ListWords()};
    return table;
}

bool IsLetter(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\r' || ch == '\n' || ch == '\t';
}

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Reads a control word's optional parameter and the space that ends the word.
int ReadWordParam(Cursor& in, bool& hasParam, int& param) {
    const std::string_view text = in.Text;
    bool neg = false;
    if (!in.AtEnd() && in.Current() == '-') {
        neg = true;
        ++in.Pos;
    }
    int64_t v = 0;
    const size_t digits = in.Pos;
    for (; !in.AtEnd() && in.Current() >= '0' && in.Current() <= '9'; ++in.Pos) {
        if (in.Pos - digits >= 10) return rtf_ec_InvalidParam;
        v = v * 10 + (text[in.Pos] - '0');
    }
    hasParam = in.Pos > digits;
    if (neg) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return rtf_ec_InvalidParam;
    // A space ends the word and belongs to it.
    if (!in.AtEnd() && in.Current() == ' ') ++in.Pos;
    param = int(v);
    return rtf_ec_OK;
}

int RtfReader::Run(std::string_view rtf) {
    Cursor in{rtf};
    while (!in.AtEnd() && IsBlank(in.Current()))
        ++in.Pos;
    if (rtf.substr(in.Pos, 5) != "{\\rtf") return rtf_ec_NotRtf;
    // The first token opens the document's group; reading ends when that group closes.
    do {
        if (const int r = ReadNext(in); r != rtf_ec_OK) return r;
    } while (!FStack.empty() && !in.AtEnd());
    if (!FStack.empty()) return rtf_ec_UnmatchedBrace;
    // Only white space and NULs may follow the document's group.
    for (; !in.AtEnd(); ++in.Pos)
        if (!IsBlank(in.Current()) && in.Current() != '\0') return rtf_ec_StackUnderflow;
    FlushRun();
    if (FIndex > FParaFirst) EndParagraph(false);
    return rtf_ec_OK;
}

int RtfReader::ReadNext(Cursor& in) {
    switch (in.Current()) {
    case '{':
        ++in.Pos;
        return OpenGroup();
    case '}':
        ++in.Pos;
        return CloseGroup();
    case '\\':
        ++in.Pos;
        return ReadControl(in);
    case '\r':
    case '\n':
        ++in.Pos; // line ends in RTF source mean nothing
        return rtf_ec_OK;
    default:
        ReadText(in);
        return rtf_ec_OK;
    }
}

int RtfReader::OpenGroup() {
    if (int(FStack.size()) >= maxDepth) return rtf_ec_StackOverflow;
    FlushBytes();
    FStack.push_back(FState);
    FStarPending = false;
    return rtf_ec_OK;
}

int RtfReader::CloseGroup() {
    if (FStack.empty()) return rtf_ec_StackUnderflow;
    FlushBytes();
    State inner = std::move(FState);
    FState = std::move(FStack.back());
    FStack.pop_back();
    FPendingSkip = 0;
    FStarPending = false;
    if (inner.Destination == Dest::FontTable) CommitFont();
    if (inner.Destination != FState.Destination) {
        if (inner.Destination == Dest::Pict && !FinishPicture()) return rtf_ec_InvalidPicture;
        DestinationEnded(inner);
    }
    return rtf_ec_OK;
}

// After a backslash: a control word, a hex byte or a control symbol.
int RtfReader::ReadControl(Cursor& in) {
    if (in.AtEnd()) return rtf_ec_UnmatchedBrace;
    const char s = in.Current();
    if (IsLetter(s)) return ReadControlWord(in);
    if (s == '\'') return ReadHexByte(in);
    ++in.Pos;
    ControlSymbol(s);
    return rtf_ec_OK;
}

int RtfReader::ReadControlWord(Cursor& in) {
    const size_t start = in.Pos;
    while (!in.AtEnd() && IsLetter(in.Current()) && in.Pos - start < 32)
        ++in.Pos;
    const std::string_view word = in.Text.substr(start, in.Pos - start);
    bool hasParam = false;
    int param = 0;
    if (const int r = ReadWordParam(in, hasParam, param); r != rtf_ec_OK) return r;
    if (word == "bin") {
        // Raw bytes follow: as picture data, or skipped.
        const size_t len = size_t(std::clamp<int64_t>(param, 0, int64_t(in.Text.size() - in.Pos)));
        if (FState.Destination == Dest::Pict) FPict.Data.append(in.Text.substr(in.Pos, len));
        in.Pos += len;
        return rtf_ec_OK;
    }
    if (word != "u" && word != "uc") FlushBytes();
    ControlWord(word, hasParam, param);
    return rtf_ec_OK;
}

// \'hh: one byte of 8-bit text.
int RtfReader::ReadHexByte(Cursor& in) {
    if (in.Pos + 2 >= in.Text.size()) return rtf_ec_InvalidHex;
    const int hi = HexValue(in.Text[in.Pos + 1]), lo = HexValue(in.Text[in.Pos + 2]);
    if (hi < 0 || lo < 0) return rtf_ec_InvalidHex;
    in.Pos += 3;
    FStarPending = false;
    if (FState.Destination != Dest::Skip) AddByte(uint8_t(hi * 16 + lo));
    return rtf_ec_OK;
}

void RtfReader::ControlSymbol(char s) {
    if (s == '*') {
        FStarPending = true;
        return;
    }
    FlushBytes();
    if (FState.Destination == Dest::Skip || SkipFallback()) return;
    switch (s) {
    case '\\':
    case '{':
    case '}':
        AddChar(char16_t(s));
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

void RtfReader::ReadText(Cursor& in) {
    FStarPending = false;
    const char ch = in.Current();
    const Dest d = FState.Destination;
    if (d == Dest::Skip) {
        ++in.Pos;
        while (!in.AtEnd() && in.Current() != '{' && in.Current() != '}' && in.Current() != '\\')
            ++in.Pos;
        return;
    }
    if (d == Dest::Pict) {
        AddPictureHex(ch);
        ++in.Pos;
        return;
    }
    if (ch == ';' && EndHeaderEntry(d)) {
        ++in.Pos;
        return;
    }
    if (uint8_t(ch) >= 0x80) {
        AddByte(uint8_t(ch));
        ++in.Pos;
        return;
    }
    FlushBytes();
    if (SkipFallback()) {
        ++in.Pos;
        return;
    }
    if (d != Dest::Text) {
        if (ch != '\t') AddChar(char16_t(ch));
        ++in.Pos;
        return;
    }
    ReadPlainRun(in);
}

void RtfReader::AddPictureHex(char ch) {
    const int h = HexValue(ch);
    if (h < 0) return;
    if (FPict.HighNibble < 0) {
        FPict.HighNibble = h;
    } else {
        FPict.Data += char(FPict.HighNibble * 16 + h);
        FPict.HighNibble = -1;
    }
}

// A ';' ends an entry of the font table, the colour table or the style sheet.
bool RtfReader::EndHeaderEntry(Dest d) {
    switch (d) {
    case Dest::ColorTable:
        FColors.push_back(
            FColorSet ? TColor(RGB(uint8_t(FColorR), uint8_t(FColorG), uint8_t(FColorB))) : clNone);
        FColorR = FColorG = FColorB = 0;
        FColorSet = false;
        return true;
    case Dest::FontTable:
        FlushBytes(); // the name's last bytes
        CommitFont();
        return true;
    case Dest::StyleSheet:
        FStyleDefs.push_back(StyleDef{FStyleDefNumber, FState.Para});
        FStyleDefNumber = 0;
        return true;
    default:
        return false;
    }
}

// A run of plain characters goes in one piece.
void RtfReader::ReadPlainRun(Cursor& in) {
    if (!FRun.empty() && !(FState.Char == FRunChar)) FlushRun();
    if (FRun.empty()) FRunChar = FState.Char;
    const std::string_view text = in.Text;
    size_t e = in.Pos;
    while (e < text.size()) {
        const char t = text[e];
        if (t == '\\' || t == '{' || t == '}' || t == '\r' || t == '\n' || uint8_t(t) >= 0x80)
            break;
        ++e;
    }
    size_t at = FRun.size();
    FRun.resize(at + (e - in.Pos));
    for (size_t k = in.Pos; k < e; ++k)
        if (text[k] != '\0') FRun[at++] = char16_t(uint8_t(text[k]));
    FRun.resize(at);
    in.Pos = e;
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
