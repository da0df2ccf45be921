#pragma once
// The style sheet: text styles, paragraph styles (with border and background), list styles
// with levels, the sheet's colours and options, and the drawing events with default drawing.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Classes.h"
#include "richtext/document/RVTypes.h"

namespace epc {

class TCustomRVData;

enum class TRVFontStyle { rvfsBold, rvfsItalic, rvfsUnderline, rvfsStrikeOut };
using TRVFontStyles = TSet<TRVFontStyle>;

enum class TRVProtectOption {
    rvprStyleProtect,
    rvprModifyProtect,
    rvprDeleteProtect,
    rvprConcateProtect,
    rvprRVFInsertProtect,
    rvprDoNotAutoSwitch,
    rvprParaStartProtect,
    rvprSticking
};
using TRVProtectOptions = TSet<TRVProtectOption>;

enum class TRVParaOption { rvpaoNoWrap, rvpaoReadOnly, rvpaoStyleProtect, rvpaoDoNotWantReturns };
using TRVParaOptions = TSet<TRVParaOption>;

enum class TRVAlignment { rvaLeft, rvaRight, rvaCenter, rvaJustify };
enum class TRVLineSpacingType { rvlsPercent, rvlsSpaceBetween };
enum class TRVBorderStyle {
    rvbNone,
    rvbSingle,
    rvbDouble,
    rvbTriple,
    rvbThickInside,
    rvbThickOutside
};

// Cursor ids as the screen knows them.
inline constexpr int crJump = 101;

// Fields shared by text styles and list-level fonts.
class TFontInfo {
public:
    std::string FontName = "Arial";
    int32_t Size = 10;
    TColor Color = clWindowText;
    TColor BackColor = clNone;
    TRVFontStyles Style;
    int32_t Charset = 1; // DEFAULT_CHARSET
    bool Unicode = false;
    bool Jump = false; // hyperlink style
    bool AllCaps = false;
    TColor HoverColor = clNone;
    TColor HoverBackColor = clNone;
    int32_t JumpCursor = crJump;
    int32_t CharSpacing = 0;
    TRVBiDiMode BiDiMode = TRVBiDiMode::rvbdUnspecified;
    TRVProtectOptions Protection;
    int32_t NextStyleNo = -1;
    std::string StyleName = "Font Style";

    // Equal in every field but the style name.
    bool IsEqual(const TFontInfo& other, bool ignoreCharsetAndUnicode = false) const;
    friend bool operator==(const TFontInfo&, const TFontInfo&) = default;
};

class TFontInfos {
public:
    int Count() const { return int(FItems.size()); }
    // An index out of range gives a placeholder style: never fails.
    TFontInfo& GetItem(int index) const;
    TFontInfo& operator[](int index) const { return GetItem(index); }
    TFontInfo& Add();
    void Clear() { FItems.clear(); }
    void Delete(int index);
    // Index of a non-Unicode style like Style but with the given Charset; -1 when none.
    int FindStyleWithCharset(int styleNo, int charset) const;
    int FindSuchStyle(const TFontInfo& style) const;
    int FindStyleWithName(const std::string& name) const;
    void Assign(const TFontInfos& source);

private:
    std::vector<std::unique_ptr<TFontInfo>> FItems;
    mutable std::unique_ptr<TFontInfo> FInvalidItem;
};

class TRVBorder {
public:
    TColor Color = clWindowText;
    TRVBorderStyle Style = TRVBorderStyle::rvbNone;
    int32_t Width = 1;
    int32_t InternalWidth = 1;
    TRVRect BorderOffsets;
    TRVBooleanRect VisibleBorders{true};

    // Draws the border around Rect widened by BorderOffsets. On a device (printing) the
    // offsets and widths, in screen pixels, are scaled to it.
    void Draw(TRect rect, TCanvas* canvas, const TRVScreenAndDevice* sad = nullptr) const;
    friend bool operator==(const TRVBorder&, const TRVBorder&) = default;
};

class TRVBackgroundRect {
public:
    TColor Color = clNone;
    TRVRect BorderOffsets;

    void ExpandRect(TRect& r) const;
    void ExpandRectScaled(TRect& r, int screenRes, int deviceRes) const;
    void Draw(TRect rect, TCanvas* canvas, bool printing, TRVColorMode colorMode,
              const TRVScreenAndDevice* sad = nullptr) const;
    friend bool operator==(const TRVBackgroundRect&, const TRVBackgroundRect&) = default;
};

class TParaInfo {
public:
    int32_t FirstIndent = 0;
    int32_t LeftIndent = 0;
    int32_t RightIndent = 0;
    int32_t SpaceBefore = 0;
    int32_t SpaceAfter = 0;
    int32_t LineSpacing = 100;
    TRVLineSpacingType LineSpacingType = TRVLineSpacingType::rvlsPercent;
    TRVAlignment Alignment = TRVAlignment::rvaLeft;
    TRVParaOptions Options;
    TRVBiDiMode BiDiMode = TRVBiDiMode::rvbdUnspecified;
    TRVBorder Border;
    TRVBackgroundRect Background;
    int32_t NextParaNo = -1;
    std::string StyleName = "Paragraph Style";

    bool IsEqual(const TParaInfo& other) const;
    friend bool operator==(const TParaInfo&, const TParaInfo&) = default;
};

// Limits of stored style values. Every reader keeps the styles it makes within them, so that a
// document that loads from any format saves to RVF that loads again.
inline constexpr int32_t RVMaxFontSize = 1000;      // points, either sign
inline constexpr int32_t RVMaxCharSpacing = 1000;   // pixels, either sign
inline constexpr int32_t RVMaxParaLength = 1000000; // indents, spacing, offsets, pixels
inline constexpr int32_t RVMaxBorderWidth = 1000;   // pixels
// Cuts every limited value of a style into its range.
void RVLimitFontInfo(TFontInfo& font);
void RVLimitParaInfo(TParaInfo& para);

class TParaInfos {
public:
    int Count() const { return int(FItems.size()); }
    TParaInfo& GetItem(int index) const;
    TParaInfo& operator[](int index) const { return GetItem(index); }
    TParaInfo& Add();
    void Clear() { FItems.clear(); }
    void Delete(int index);
    int FindSuchStyle(const TParaInfo& style) const;
    int FindStyleWithName(const std::string& name) const;
    void Assign(const TParaInfos& source);

private:
    std::vector<std::unique_ptr<TParaInfo>> FItems;
    mutable std::unique_ptr<TParaInfo> FInvalidItem;
};

enum class TRVListType {
    rvlstBullet,
    rvlstPicture,
    rvlstImageList,
    rvlstDecimal,
    rvlstLowerAlpha,
    rvlstUpperAlpha,
    rvlstLowerRoman,
    rvlstUpperRoman,
    rvlstImageListCounter
};
enum class TRVMarkerAlignment { rvmaLeft, rvmaRight, rvmaCenter };
enum class TRVListLevelOption { rvloContinuous, rvloLevelReset };
using TRVListLevelOptions = TSet<TRVListLevelOption>;

class TRVListLevel {
public:
    TRVListType ListType = TRVListType::rvlstBullet;
    int32_t StartFrom = 1;
    // Marker text: for numbered levels "%0:s" style placeholders are replaced by the counters
    // of levels 0..9 ("%d" of this level is also accepted).
    std::string FormatString = "\xB7";
    int32_t LeftIndent = 0;
    int32_t FirstIndent = 10;
    int32_t MarkerIndent = 0;
    TRVMarkerAlignment MarkerAlignment = TRVMarkerAlignment::rvmaLeft;
    TFontInfo Font;
    TRVListLevelOptions Options{TRVListLevelOption::rvloContinuous,
                                TRVListLevelOption::rvloLevelReset};
    int32_t ImageIndex = 0;

    bool HasNumbering() const;
    // The marker text for the counters of levels 0..this one; Types gives each level's
    // numbering type (this level's own when missing).
    std::string GetMarkerText(const std::vector<int>& counters,
                              const std::vector<TRVListType>& types = {}) const;
    friend bool operator==(const TRVListLevel&, const TRVListLevel&) = default;
};

class TRVListInfo {
public:
    std::vector<std::unique_ptr<TRVListLevel>> Levels;
    std::string StyleName = "List Style";
    bool OneLevelPreview = false;

    TRVListLevel& AddLevel();
    int LevelCount() const { return int(Levels.size()); }
    bool HasNumberedLevels() const;
    bool HasTextNumberedLevels() const;
    bool IsEqual(const TRVListInfo& other) const;
};

class TRVListInfos {
public:
    int Count() const { return int(FItems.size()); }
    // Out-of-range indexes give an empty placeholder list.
    TRVListInfo& GetItem(int index) const;
    TRVListInfo& operator[](int index) const { return GetItem(index); }
    TRVListInfo& Add();
    void Clear() { FItems.clear(); }
    void Delete(int index);
    int FindSuchStyle(const TRVListInfo& style) const;
    void Assign(const TRVListInfos& source);

private:
    std::vector<std::unique_ptr<TRVListInfo>> FItems;
    mutable std::unique_ptr<TRVListInfo> FInvalidItem;
};

enum class TRVPageBreakType { rvpbSoftPageBreak, rvpbPageBreak };

class TRVStyle : public TComponent {
public:
    explicit TRVStyle(TComponent* owner);
    std::string ClassName() const override { return "TRVStyle"; }

    TFontInfos TextStyles;
    TParaInfos ParaStyles;
    TRVListInfos ListStyles;
    // Whether a number names a text (paragraph) style of the sheet.
    bool HasTextStyle(int styleNo) const { return styleNo >= 0 && styleNo < TextStyles.Count(); }
    bool HasParaStyle(int paraNo) const { return paraNo >= 0 && paraNo < ParaStyles.Count(); }
    // The style a current-style number stands for: a number outside the sheet takes the nearest
    // style (the sheet keeps at least one of each).
    int ValidTextStyleNo(int styleNo) const {
        return std::clamp(styleNo, 0, TextStyles.Count() - 1);
    }
    int ValidParaStyleNo(int paraNo) const { return std::clamp(paraNo, 0, ParaStyles.Count() - 1); }

    // Plain fields of the sheet.
    int32_t SpacesInTab = 0;
    bool UseSound = true;
    uint32_t DefCodePage = 0; // CP_ACP
    TColor Color = clWindow;
    TColor HoverColor = clNone;
    TColor SelColor = clHighlight;
    TColor SelTextColor = clHighlightText;
    TColor InactiveSelColor = clHighlight;
    TColor InactiveSelTextColor = clHighlightText;
    TColor CheckpointColor = clGreen;
    TColor CheckpointEvColor = clLime;
    TColor PageBreakColor = clBtnShadow;
    TColor SoftPageBreakColor = clBtnFace;
    TColor LiveSpellingColor = clRed;
    int32_t JumpCursor = crJump;
    bool FullRedraw = false;

    // Selects the text style into the canvas (OnApplyStyle may take over).
    void ApplyStyle(TCanvas* canvas, int styleNo, TRVBiDiMode bidiMode);
    void ApplyStyleColor(TCanvas* canvas, int styleNo, TRVTextDrawStates drawState, bool printing,
                         TRVColorMode colorMode);
    // SpaceBefore: space that justification put in front of the text; the text is drawn after
    // it while the background covers it too.
    void DrawStyleText(const std::string& s, TCanvas* canvas, int itemNo, int x, int y, int width,
                       int height, int styleNo, TCustomRVData* rvData, TRVTextDrawStates drawState,
                       bool printing, bool preview, TRVColorMode colorMode, TRVBiDiMode bidiMode,
                       int spaceBefore = 0);
    void DrawTextBack(TCanvas* canvas, int itemNo, int styleNo, TCustomRVData* rvData, int left,
                      int top, int width, int height, TRVTextDrawStates drawState);
    void DrawParaBack(TCanvas* canvas, int paraNo, const TRect& rect, bool printing,
                      TRVColorMode colorMode, const TRVScreenAndDevice* sad = nullptr);
    void DrawCheckpoint(TCanvas* canvas, int x, int y, int itemNo, int xShift, bool raiseEvent,
                        TControl* control);
    // ClientWidth: the width the line runs to (less 8 pixels for the end mark).
    void DrawPageBreak(TCanvas* canvas, int y, int xShift, TRVPageBreakType pageBreakType,
                       TControl* control, int clientWidth);

    // The seven drawing events; each may clear DoDefault to replace the default drawing.
    std::function<void(TRVStyle* sender, TCanvas* canvas, int styleNo, bool& doDefault)>
        OnApplyStyle;
    std::function<void(TRVStyle* sender, TCanvas* canvas, int styleNo, TRVTextDrawStates drawState,
                       bool& doDefault)>
        OnApplyStyleColor;
    std::function<void(TRVStyle* sender, const std::string& s, TCanvas* canvas, int itemNo, int x,
                       int y, int width, int height, int styleNo, TCustomRVData* rvData,
                       TRVTextDrawStates drawState, bool printing, bool preview,
                       TRVColorMode colorMode, bool& doDefault)>
        OnDrawStyleText;
    std::function<void(TRVStyle* sender, TCanvas* canvas, int itemNo, int styleNo,
                       TCustomRVData* rvData, int left, int top, int width, int height,
                       TRVTextDrawStates drawState, bool& doDefault)>
        OnDrawTextBack;
    std::function<void(TRVStyle* sender, TCanvas* canvas, int paraNo, const TRect& rect,
                       bool& doDefault)>
        OnDrawParaBack;
    std::function<void(TRVStyle* sender, TCanvas* canvas, int x, int y, int itemNo, int xShift,
                       bool raiseEvent, TControl* control, bool& doDefault)>
        OnDrawCheckpoint;
    std::function<void(TRVStyle* sender, TCanvas* canvas, int y, int xShift,
                       TRVPageBreakType pageBreakType, TControl* control, bool& doDefault)>
        OnDrawPageBreak;

    // Default sets: one plain text style, one paragraph style.
    void ResetTextStyles();
    void ResetParaStyles();
};

} // namespace epc
