#include "richtext/document/RVStyle.h"

#include <algorithm>

#include "platform/core/Arithmetic.h"

namespace epc {

bool TFontInfo::IsEqual(const TFontInfo& o, bool ignoreCharsetAndUnicode) const {
    return FontName == o.FontName && Size == o.Size && Color == o.Color &&
           BackColor == o.BackColor && Style == o.Style &&
           (ignoreCharsetAndUnicode || (Charset == o.Charset && Unicode == o.Unicode)) &&
           Jump == o.Jump && AllCaps == o.AllCaps && HoverColor == o.HoverColor &&
           HoverBackColor == o.HoverBackColor && JumpCursor == o.JumpCursor &&
           CharSpacing == o.CharSpacing && BiDiMode == o.BiDiMode && Protection == o.Protection &&
           NextStyleNo == o.NextStyleNo;
}

TFontInfo& TFontInfos::GetItem(int index) const {
    if (index >= 0 && index < Count()) return *FItems[size_t(index)];
    if (!FInvalidItem) FInvalidItem = std::make_unique<TFontInfo>();
    return *FInvalidItem;
}

TFontInfo& TFontInfos::Add() {
    FItems.push_back(std::make_unique<TFontInfo>());
    return *FItems.back();
}

void TFontInfos::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

int TFontInfos::FindStyleWithCharset(int styleNo, int charset) const {
    const TFontInfo& base = GetItem(styleNo);
    if (styleNo >= 0 && styleNo < Count() && base.Charset == charset && !base.Unicode)
        return styleNo;
    for (int i = 0; i < Count(); ++i) {
        const TFontInfo& f = *FItems[size_t(i)];
        if (!f.Unicode && f.Charset == charset && f.IsEqual(base, true)) return i;
    }
    return -1;
}

int TFontInfos::FindSuchStyle(const TFontInfo& style) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->IsEqual(style)) return i;
    return -1;
}

int TFontInfos::FindStyleWithName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->StyleName == name) return i;
    return -1;
}

void TFontInfos::Assign(const TFontInfos& source) {
    if (&source == this) return;
    FItems.clear();
    for (const auto& f : source.FItems)
        FItems.push_back(std::make_unique<TFontInfo>(*f));
}

bool TParaInfo::IsEqual(const TParaInfo& o) const {
    return FirstIndent == o.FirstIndent && LeftIndent == o.LeftIndent &&
           RightIndent == o.RightIndent && SpaceBefore == o.SpaceBefore &&
           SpaceAfter == o.SpaceAfter && LineSpacing == o.LineSpacing &&
           LineSpacingType == o.LineSpacingType && Alignment == o.Alignment &&
           Options == o.Options && BiDiMode == o.BiDiMode && Border == o.Border &&
           Background == o.Background && NextParaNo == o.NextParaNo;
}

TParaInfo& TParaInfos::GetItem(int index) const {
    if (index >= 0 && index < Count()) return *FItems[size_t(index)];
    if (!FInvalidItem) FInvalidItem = std::make_unique<TParaInfo>();
    return *FInvalidItem;
}

TParaInfo& TParaInfos::Add() {
    FItems.push_back(std::make_unique<TParaInfo>());
    return *FItems.back();
}

void TParaInfos::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

int TParaInfos::FindSuchStyle(const TParaInfo& style) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->IsEqual(style)) return i;
    return -1;
}

int TParaInfos::FindStyleWithName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->StyleName == name) return i;
    return -1;
}

void TParaInfos::Assign(const TParaInfos& source) {
    if (&source == this) return;
    FItems.clear();
    for (const auto& p : source.FItems)
        FItems.push_back(std::make_unique<TParaInfo>(*p));
}

void TRVBackgroundRect::ExpandRect(TRect& r) const {
    r.Left -= BorderOffsets.Left;
    r.Top -= BorderOffsets.Top;
    r.Right += BorderOffsets.Right;
    r.Bottom += BorderOffsets.Bottom;
}

void TRVBackgroundRect::ExpandRectScaled(TRect& r, int screenRes, int deviceRes) const {
    auto sc = [&](int v) { return TRVScreenAndDevice::Scale(v, deviceRes, screenRes); };
    r.Left -= sc(BorderOffsets.Left);
    r.Top -= sc(BorderOffsets.Top);
    r.Right += sc(BorderOffsets.Right);
    r.Bottom += sc(BorderOffsets.Bottom);
}

bool TRVListLevel::HasNumbering() const {
    switch (ListType) {
    case TRVListType::rvlstDecimal:
    case TRVListType::rvlstLowerAlpha:
    case TRVListType::rvlstUpperAlpha:
    case TRVListType::rvlstLowerRoman:
    case TRVListType::rvlstUpperRoman:
    case TRVListType::rvlstImageListCounter:
        return true;
    default:
        return false;
    }
}

namespace {

std::string Roman(int v, bool upper) {
    if (v <= 0 || v >= 4000) return std::to_string(v);
    static const int values[] = {1000, 900, 500, 400, 100, 90, 50, 40, 10, 9, 5, 4, 1};
    static const char* digits[] = {"m",  "cm", "d",  "cd", "c",  "xc", "l",
                                   "xl", "x",  "ix", "v",  "iv", "i"};
    std::string s;
    for (int i = 0; i < 13; ++i)
        while (v >= values[i]) {
            s += digits[i];
            v -= values[i];
        }
    if (upper)
        for (char& c : s)
            c = char(c - 'a' + 'A');
    return s;
}

std::string Alpha(int v, bool upper) {
    if (v <= 0) return std::to_string(v);
    std::string s;
    while (v > 0) {
        --v;
        s.insert(s.begin(), char((upper ? 'A' : 'a') + v % 26));
        v /= 26;
    }
    return s;
}

} // namespace

std::string TRVListLevel::GetMarkerText(const std::vector<int>& counters,
                                        const std::vector<TRVListType>& types) const {
    auto counterText = [](TRVListType type, int v) -> std::string {
        switch (type) {
        case TRVListType::rvlstLowerAlpha:
            return Alpha(v, false);
        case TRVListType::rvlstUpperAlpha:
            return Alpha(v, true);
        case TRVListType::rvlstLowerRoman:
            return Roman(v, false);
        case TRVListType::rvlstUpperRoman:
            return Roman(v, true);
        default:
            return std::to_string(v);
        }
    };
    if (!HasNumbering()) return FormatString;
    std::string out;
    const std::string& f = FormatString;
    for (size_t i = 0; i < f.size(); ++i) {
        // "%N:s" is the counter of level N; "%d" the counter of this level.
        if (f[i] == '%' && i + 3 < f.size() && f[i + 1] >= '0' && f[i + 1] <= '9' &&
            f[i + 2] == ':' && f[i + 3] == 's') {
            size_t lvl = size_t(f[i + 1] - '0');
            if (lvl < counters.size())
                out += counterText(lvl < types.size() ? types[lvl] : ListType, counters[lvl]);
            i += 3;
        } else if (f[i] == '%' && i + 1 < f.size() && f[i + 1] == 'd') {
            if (!counters.empty()) out += counterText(ListType, counters.back());
            ++i;
        } else {
            out += f[i];
        }
    }
    return out;
}

TRVListLevel& TRVListInfo::AddLevel() {
    Levels.push_back(std::make_unique<TRVListLevel>());
    return *Levels.back();
}

bool TRVListInfo::HasNumberedLevels() const {
    return std::any_of(Levels.begin(), Levels.end(),
                       [](const auto& l) { return l->HasNumbering(); });
}

bool TRVListInfo::HasTextNumberedLevels() const {
    return std::any_of(Levels.begin(), Levels.end(), [](const auto& l) {
        return l->HasNumbering() && l->ListType != TRVListType::rvlstImageListCounter;
    });
}

bool TRVListInfo::IsEqual(const TRVListInfo& o) const {
    if (Levels.size() != o.Levels.size() || OneLevelPreview != o.OneLevelPreview) return false;
    for (size_t i = 0; i < Levels.size(); ++i)
        if (!(*Levels[i] == *o.Levels[i])) return false;
    return true;
}

TRVListInfo& TRVListInfos::GetItem(int index) const {
    if (index >= 0 && index < Count()) return *FItems[size_t(index)];
    if (!FInvalidItem) FInvalidItem = std::make_unique<TRVListInfo>();
    return *FInvalidItem;
}

TRVListInfo& TRVListInfos::Add() {
    FItems.push_back(std::make_unique<TRVListInfo>());
    return *FItems.back();
}

void TRVListInfos::Delete(int index) {
    if (index >= 0 && index < Count()) FItems.erase(FItems.begin() + index);
}

int TRVListInfos::FindSuchStyle(const TRVListInfo& style) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->IsEqual(style)) return i;
    return -1;
}

void TRVListInfos::Assign(const TRVListInfos& source) {
    if (&source == this) return;
    FItems.clear();
    for (const auto& l : source.FItems) {
        auto copy = std::make_unique<TRVListInfo>();
        copy->StyleName = l->StyleName;
        copy->OneLevelPreview = l->OneLevelPreview;
        for (const auto& lvl : l->Levels)
            copy->Levels.push_back(std::make_unique<TRVListLevel>(*lvl));
        FItems.push_back(std::move(copy));
    }
}

TRVStyle::TRVStyle(TComponent* owner) : TComponent(owner) {
    ResetTextStyles();
    ResetParaStyles();
}

void TRVStyle::ResetTextStyles() {
    TextStyles.Clear();
    TFontInfo& normal = TextStyles.Add();
    normal.StyleName = "Normal text";
}

void TRVStyle::ResetParaStyles() {
    ParaStyles.Clear();
    TParaInfo& normal = ParaStyles.Add();
    normal.StyleName = "Paragraph Style";
}

void RVLimitFontInfo(TFontInfo& font) {
    font.Size = std::clamp(font.Size, -RVMaxFontSize, RVMaxFontSize);
    font.CharSpacing = std::clamp(font.CharSpacing, -RVMaxCharSpacing, RVMaxCharSpacing);
}

void RVLimitParaInfo(TParaInfo& para) {
    auto length = [](int32_t& v) { v = std::clamp(v, -RVMaxParaLength, RVMaxParaLength); };
    for (int32_t* v : {&para.FirstIndent, &para.LeftIndent, &para.RightIndent, &para.SpaceBefore,
                       &para.SpaceAfter, &para.LineSpacing, &para.Border.BorderOffsets.Left,
                       &para.Border.BorderOffsets.Top, &para.Border.BorderOffsets.Right,
                       &para.Border.BorderOffsets.Bottom, &para.Background.BorderOffsets.Left,
                       &para.Background.BorderOffsets.Top, &para.Background.BorderOffsets.Right,
                       &para.Background.BorderOffsets.Bottom})
        length(*v);
    para.Border.Width = std::clamp(para.Border.Width, 0, RVMaxBorderWidth);
    para.Border.InternalWidth = std::clamp(para.Border.InternalWidth, 0, RVMaxBorderWidth);
}

} // namespace epc
