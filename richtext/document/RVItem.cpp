#include "richtext/document/RVItem.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/controls/ImageList.h"
#include "platform/core/Arithmetic.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVControlSupport.h"
#include "richtext/document/RVData.h"
#include "richtext/document/RVGraphicSupport.h"
#include "richtext/document/RVUni.h"

namespace epc {

namespace {

// The whole numbers of an extra header, held in place (the item kinds here read at most
// nine; any count is accepted and counted).
class HeaderInts {
public:
    size_t size() const { return FCount - FFirst; }
    bool empty() const { return size() == 0; }
    long long operator[](size_t i) const {
        i += FFirst;
        return i < std::min(FCount, Kept) ? FValues[i] : 0;
    }
    void Clear() { FCount = FFirst = 0; }
    void Push(long long v) {
        if (FCount < Kept) FValues[FCount] = v;
        ++FCount;
    }
    // Drops the first N numbers from view.
    void Skip(size_t n) { FFirst = std::min(FFirst + n, FCount); }

private:
    static constexpr size_t Kept = 12;
    long long FValues[Kept];
    size_t FCount = 0, FFirst = 0;
};

// Whole-number tokens of an extra header; false when any token is not a number.
bool ParseInts(const std::string& s, HeaderInts& out) {
    out.Clear();
    size_t i = 0, n = s.size();
    while (i < n) {
        while (i < n && s[i] == ' ')
            ++i;
        if (i >= n) break;
        size_t j = i;
        bool neg = s[j] == '-';
        if (neg) ++j;
        size_t digits = j;
        long long v = 0; // at most 11 digits: no overflow
        while (j < n && s[j] >= '0' && s[j] <= '9' && j - digits <= 11)
            v = v * 10 + (s[j++] - '0');
        if (j == digits || j - digits > 11 || (j < n && s[j] != ' ')) return false;
        out.Push(neg ? -v : v);
        i = j;
    }
    return true;
}

bool InRange(long long v, long long lo, long long hi) {
    return v >= lo && v <= hi;
}

std::string JoinInts(std::initializer_list<long long> values) {
    std::string s;
    for (long long v : values) {
        if (!s.empty()) s += ' ';
        s += std::to_string(v);
    }
    return s;
}

} // namespace

// ---------------------------------------------------------------- drawing-item records

std::unique_ptr<TRVDrawLineInfo> TRVDrawLineInfo::CreateEx(int left, int top, int width, int height,
                                                           int itemNo, bool fromNewLine) {
    auto d = std::make_unique<TRVDrawLineInfo>();
    d->SetData(left, top, itemNo, fromNewLine);
    d->SetSize(width, height);
    return d;
}

void TRVDrawLineInfo::SetData(int left, int top, int itemNo, bool fromNewLine) {
    Left = left;
    Top = top;
    ItemNo = itemNo;
    FromNewLine = fromNewLine;
}

void TRVDrawLineInfo::SetSize(int width, int height) {
    Width = width;
    Height = height;
}

int TRVMultiImagePrintInfo::ToImage(int v) const {
    return Sad.YToScreen(v);
}

bool TRVMultiImagePrintInfo::CanSplit() {
    if (!FItem || FItem->MinHeightOnPage <= 0) return false;
    PartsList.Clear();
    auto first = std::make_unique<TRVImagePrintPart>();
    first->Height = Height;
    PartsList.Add(std::move(first));
    return true;
}

bool TRVMultiImagePrintInfo::FitsFirstPart(int height) const {
    if (!FItem) return false;
    int h = ToImage(height);
    int whole = FItem->GetImageHeight(nullptr);
    if (h >= whole) return true;
    int minH = FItem->MinHeightOnPage;
    return h >= minH && whole - h >= minH;
}

bool TRVMultiImagePrintInfo::SplitAt(int height) {
    if (PartsList.Count() == 0) throw ERichViewError(errRVInternalPrinting);
    auto* last = static_cast<TRVImagePrintPart*>(PartsList.Items(PartsList.Count() - 1));
    const int minH = FItem ? std::max(FItem->MinHeightOnPage, 1) : 1;
    const int h = ToImage(height);
    const int lastH = ToImage(last->Height);
    if (lastH <= h) return false; // the rest fits
    // A rest under the minimum takes some of this part, so that both keep it; refusing here
    // would be read as "the rest fits" and cut the picture off at the page's bottom. Where the
    // minimum cannot be kept on both sides the page is filled: nothing is lost.
    int cutImg = h, cutDevice = height;
    if (lastH - h < minH && lastH - minH >= minH) {
        cutImg = lastH - minH;
        cutDevice = std::min(Sad.YToDevice(cutImg), last->Height - 1);
    }
    if (cutImg <= 0 || cutDevice <= 0) return false;
    auto rest = std::make_unique<TRVImagePrintPart>();
    rest->ImgTop = last->ImgTop + cutImg;
    rest->Height = last->Height - cutDevice;
    last->Height = cutDevice;
    PartsList.Add(std::move(rest));
    return true;
}

// ---------------------------------------------------------------- checkpoints

void TRVCPInfo::CopyFrom(const TRVCPInfo& source, bool tagsArePChars) {
    Name = source.Name;
    RaiseEvent = source.RaiseEvent;
    Tag = CopyTagValue(source.Tag, tagsArePChars);
}

std::unique_ptr<TRVCPInfo> TRVCPInfo::CreateCopy(const TRVCPInfo& source, bool tagsArePChars) {
    auto cp = std::make_unique<TRVCPInfo>();
    cp->CopyFrom(source, tagsArePChars);
    return cp;
}

// ---------------------------------------------------------------- item base

TCustomRVItemInfo::TCustomRVItemInfo(TCustomRVData* rvData) : FOwnerData(rvData) {}

TCustomRVItemInfo::~TCustomRVItemInfo() = default;

std::unique_ptr<TCustomRVItemInfo> TCustomRVItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TCustomRVItemInfo>(rvData);
}

void TCustomRVItemInfo::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TCustomRVItemInfo*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    StyleNo = src->StyleNo;
    ParaNo = src->ParaNo;
    ItemOptions = src->ItemOptions;
    Tag = src->Tag;
}

void TCustomRVItemInfo::SetJoinsPrevious(bool value) {
    if (value)
        ItemOptions = uint8_t((ItemOptions | rvioSameAsPrev) & ~(rvioPageBreakBefore | rvioBR));
    else
        ItemOptions = uint8_t(ItemOptions & ~rvioSameAsPrev);
}

bool TCustomRVItemInfo::SetLineBreakBefore(bool value) {
    if (!value) {
        ItemOptions = uint8_t(ItemOptions & ~rvioBR);
        return true;
    }
    // A whole-line item always starts a paragraph of its own.
    if (IsFullLine()) return false;
    ItemOptions = uint8_t((ItemOptions | rvioBR) & ~rvioSameAsPrev);
    return true;
}

void TCustomRVItemInfo::SetPageBreakBefore(bool value) {
    if (value)
        ItemOptions = uint8_t((ItemOptions | rvioPageBreakBefore) & ~(rvioSameAsPrev | rvioBR));
    else
        ItemOptions = uint8_t(ItemOptions & ~rvioPageBreakBefore);
}

bool TCustomRVItemInfo::GetKindFlag(int kind) const {
    return kind == rvifCanBeInsideParagraph || kind == rvifCanBeJoinedWithPrev;
}

std::unique_ptr<TRVDrawLineInfo>
TCustomRVItemInfo::CreatePrintingDrawItem(TCustomRVData*, const TRVScreenAndDevice*) {
    return std::make_unique<TRVDrawLineInfo>();
}

bool TCustomRVItemInfo::IsHyperlink(const TRVStyle* style) const {
    if (StyleNo < 0) return GetKindFlag(rvifHyperlink);
    return style && style->TextStyles.GetItem(StyleNo).Jump;
}

int TCustomRVItemInfo::GetHyperlinkCursor(TRVStyle* style) const {
    return style ? style->JumpCursor : crJump;
}

void TCustomRVItemInfo::NotifyInserting(TCustomRVData* rvData, std::string& text) {
    if (rvData) rvData->DoItemAction(rviaInserting, this, text, rvData);
}

void TCustomRVItemInfo::NotifyInserted(TCustomRVData* rvData, int itemNo) {
    if (!rvData) return;
    std::string none;
    std::string& text =
        itemNo >= 0 && itemNo < rvData->ItemCount() ? rvData->Items()[itemNo].Text : none;
    rvData->DoItemAction(rviaInserted, this, text, rvData);
}

void TCustomRVItemInfo::MoveToUndo(TCustomRVData* rvData) {
    if (!rvData) return;
    std::string text;
    rvData->DoItemAction(rviaMovingToUndoList, this, text, rvData);
}

void TCustomRVItemInfo::MarkStylesInUse(TRVIntegerList&, TRVIntegerList& usedPara,
                                        TRVIntegerList&) const {
    if (ParaNo >= 0 && ParaNo < usedPara.Count()) usedPara.SetValue(ParaNo, 1);
}

void TCustomRVItemInfo::RenumberStyles(const TRVIntegerList&, const TRVIntegerList& paraMap,
                                       const TRVIntegerList&) {
    // The maps hold, per old index, the number of deleted styles before it plus one.
    if (ParaNo >= 0 && ParaNo < paraMap.Count()) ParaNo -= paraMap[ParaNo] - 1;
}

void TCustomRVItemInfo::SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name,
                                int paraNo, uint8_t options) {
    TRVStyle* style = ctx.RVData ? ctx.RVData->GetRVStyle() : nullptr;
    bool pchars = ctx.RVData && ctx.RVData->TagsArePChars();
    RVFWriteLine(stream,
                 RVFItemHeader(StyleNo, 1, RVFParaNoToString(paraNo, style, ctx.UseStyleNames),
                               options, 0, RVFTagToString(Tag, pchars), GetRVFExtraHeader()));
    RVFWriteLine(stream, RVFEscapeLine(name));
}

bool TCustomRVItemInfo::ReadRVFLine(const std::string& s, TCustomRVData*, int lineNo, int lineCount,
                                    std::string& name, TRVFReadMode&, TRVFReadState& state) {
    if (lineNo == 0 && !RVFUnescapeLine(s, name)) return false;
    if (lineNo >= lineCount - 1) state = TRVFReadState::rstItemFinished;
    return true;
}

// ---------------------------------------------------------------- text

std::unique_ptr<TCustomRVItemInfo> TRVTextItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVTextItemInfo>(rvData);
}

bool TRVTextItemInfo::GetKindFlag(int kind) const {
    return kind == rvifCanBeInsideParagraph || kind == rvifCanBeJoinedWithPrev ||
           kind == rvifAlwaysInText;
}

void TRVTextItemInfo::MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                      TRVIntegerList& usedList) const {
    TCustomRVItemInfo::MarkStylesInUse(usedText, usedPara, usedList);
    if (StyleNo >= 0 && StyleNo < usedText.Count()) usedText.SetValue(StyleNo, 1);
}

void TRVTextItemInfo::RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                     const TRVIntegerList& listMap) {
    TCustomRVItemInfo::RenumberStyles(textMap, paraMap, listMap);
    if (StyleNo >= 0 && StyleNo < textMap.Count()) StyleNo -= textMap[StyleNo] - 1;
}

// ---------------------------------------------------------------- full line and break

bool TRVFullLineItemInfo::GetKindFlag(int kind) const {
    return kind == rvifFullWidth;
}

TRVBreakItemInfo::TRVBreakItemInfo(TCustomRVData* rvData) : TRVFullLineItemInfo(rvData) {
    StyleNo = rvsBreak;
}

TRVBreakItemInfo::TRVBreakItemInfo(TCustomRVData* rvData, uint8_t lineWidth, TRVBreakStyle style,
                                   TColor color)
    : TRVBreakItemInfo(rvData) {
    LineWidth = lineWidth;
    Style = style;
    Color = color;
}

std::unique_ptr<TCustomRVItemInfo> TRVBreakItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVBreakItemInfo>(rvData);
}

void TRVBreakItemInfo::Assign(TPersistent* source) {
    TCustomRVItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVBreakItemInfo*>(source)) {
        Color = src->Color;
        LineWidth = src->LineWidth;
        Style = src->Style;
    }
}

bool TRVBreakItemInfo::GetKindFlag(int kind) const {
    return TRVFullLineItemInfo::GetKindFlag(kind);
}

std::string TRVBreakItemInfo::GetRVFExtraHeader() const {
    return JoinInts({Color, LineWidth, int(Style)});
}

bool TRVBreakItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData*) {
    HeaderInts v;
    if (!ParseInts(extra, v)) return false;
    if (v.empty()) return true; // older records carry no look
    if (v.size() != 3 || !InRange(v[0], INT32_MIN, INT32_MAX) || !InRange(v[1], 0, 255) ||
        !InRange(v[2], 0, int(TRVBreakStyle::rvbsDashed)))
        return false;
    Color = TColor(v[0]);
    LineWidth = uint8_t(v[1]);
    Style = TRVBreakStyle(v[2]);
    return true;
}

bool TRVBreakItemInfo::AsText(std::string& result, bool unicode, int lineWidth, TCustomRVData*,
                              int) const {
    std::string line(size_t(std::max(lineWidth, 1)), '-');
    result = unicode ? AnsiToUnicodeCP(line, 0) : line;
    return true;
}

// ---------------------------------------------------------------- rectangle items

void TRVRectItemInfo::Assign(TPersistent* source) {
    TCustomRVItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVRectItemInfo*>(source)) {
        VAlign = src->VAlign;
        Spacing = src->Spacing;
        VShift = src->VShift;
        VShiftAbs = src->VShiftAbs;
        MinHeightOnPage = src->MinHeightOnPage;
    }
}

int TRVRectItemInfo::GetDescentValue() const {
    return VAlign == TRVVAlign::rvvaBaseline ? Spacing : 0;
}

std::string TRVRectItemInfo::GetRVFExtraHeader() const {
    return JoinInts({int(VAlign), Spacing, VShift, VShiftAbs ? 1 : 0, MinHeightOnPage});
}

bool TRVRectItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData*) {
    HeaderInts v;
    if (!ParseInts(extra, v) || v.size() < 5) return false;
    if (!InRange(v[0], 0, int(TRVVAlign::rvvaAbsMiddle)) || !InRange(v[1], 0, 10000) ||
        !InRange(v[2], -100000, 100000) || !InRange(v[3], 0, 1) || !InRange(v[4], 0, 1000000))
        return false;
    VAlign = TRVVAlign(v[0]);
    Spacing = int32_t(v[1]);
    VShift = int32_t(v[2]);
    VShiftAbs = v[3] != 0;
    MinHeightOnPage = int32_t(v[4]);
    return true;
}

namespace {
// The extra header fields that follow the rectangle item's five.
bool TailInts(const std::string& extra, size_t count, HeaderInts& tail) {
    if (!ParseInts(extra, tail) || tail.size() != 5 + count) return false;
    tail.Skip(5);
    return true;
}

// Pictures and controls share one record shape: the header, the item name, the class name of
// the stored object, then its body as one binary block or one hex line.
void SaveBodyRecordHead(TStream& stream, const TRVSaveContext& ctx, const TCustomRVItemInfo& item,
                        const std::string& name, int paraNo, uint8_t options,
                        const std::string& cls) {
    TRVStyle* style = ctx.RVData ? ctx.RVData->GetRVStyle() : nullptr;
    bool pchars = ctx.RVData && ctx.RVData->TagsArePChars();
    int mode = ctx.Binary ? 2 : 1;
    RVFWriteLine(stream,
                 RVFItemHeader(item.StyleNo, 3, RVFParaNoToString(paraNo, style, ctx.UseStyleNames),
                               options, mode, RVFTagToString(item.Tag, pchars),
                               item.GetRVFExtraHeader()));
    RVFWriteLine(stream, RVFEscapeLine(name));
    RVFWriteLine(stream, RVFEscapeLine(cls));
}

void SaveBodyRecord(TStream& stream, const TRVSaveContext& ctx, const TCustomRVItemInfo& item,
                    const std::string& name, int paraNo, uint8_t options, const std::string& cls,
                    const std::string& body) {
    SaveBodyRecordHead(stream, ctx, item, name, paraNo, options, cls);
    if (ctx.Binary)
        RVFWriteBinary(stream, body);
    else
        RVFWriteLine(stream, BytesToHex(body));
}

// The body line of such a record, as bytes.
bool ReadBodyLine(const std::string& s, TRVFReadMode mode, std::string& body) {
    if (mode == TRVFReadMode::rmBinary) {
        body = s;
        return true;
    }
    return HexToBytes(s, body);
}

// Runs a stored-object loader over a body; a loader that raises gives nothing.
template <typename Ptr, typename Load> Ptr LoadBody(const std::string& body, Load&& load) {
    TMemoryStream ms;
    ms.WriteString(body);
    ms.SetPosition(0);
    try {
        return load(ms);
    } catch (const Exception&) {
        return nullptr;
    }
}
} // namespace

// ---------------------------------------------------------------- controls

void TRVComponentFree::operator()(TComponent* control) const {
    FreeComponent(control);
}

TRVControlItemInfo::TRVControlItemInfo(TCustomRVData* rvData, TRVComponentPtr control,
                                       TRVVAlign vAlign)
    : TRVRectItemInfo(rvData), Control(std::move(control)) {
    StyleNo = rvsComponent;
    VAlign = vAlign;
}

std::unique_ptr<TCustomRVItemInfo> TRVControlItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVControlItemInfo>(rvData);
}

void TRVControlItemInfo::Assign(TPersistent* source) {
    TRVRectItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVControlItemInfo*>(source)) {
        Width = src->Width;
        Height = src->Height;
        // A control cannot be shared: a copy carries the stored form only.
        ControlClassName = src->Control ? src->Control->ClassName() : src->ControlClassName;
        ControlBody = src->ControlBody;
        if (src->Control) ControlBody = RVSaveControlStream(src->Control.get());
    }
}

bool TRVControlItemInfo::GetKindFlag(int kind) const {
    return kind == rvifCanBeInsideParagraph || kind == rvifCanBeJoinedWithPrev ||
           kind == rvifCanChangeSize || kind == rvifNonTextFixedSize || kind == rvifPrintsToBitmap;
}

bool TRVControlItemInfo::GetStateFlag(int kind) const {
    return kind == rvisHasControl || TRVRectItemInfo::GetStateFlag(kind);
}

std::string TRVControlItemInfo::GetRVFExtraHeader() const {
    return TRVRectItemInfo::GetRVFExtraHeader() + " " +
           JoinInts({GetBoxWidth() - 2 * Spacing, GetBoxHeight() - 2 * Spacing});
}

bool TRVControlItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) {
    HeaderInts t;
    if (!TRVRectItemInfo::ReadRVFHeader(extra, rvData) || !TailInts(extra, 2, t)) return false;
    if (!InRange(t[0], 0, 1000000) || !InRange(t[1], 0, 1000000)) return false;
    Width = int32_t(t[0]);
    Height = int32_t(t[1]);
    return true;
}

void TRVControlItemInfo::SaveRVF(TStream& stream, const TRVSaveContext& ctx,
                                 const std::string& name, int paraNo, uint8_t options) {
    bool saveBody =
        !ctx.RVData || ctx.RVData->GetRVFOptions().Contains(TRVFOption::rvfoSaveControlsBody);
    std::string cls = Control ? Control->ClassName() : ControlClassName;
    if (saveBody && Control) {
        // The control writes itself as the body.
        SaveBodyRecordHead(stream, ctx, *this, name, paraNo, options, cls);
        if (ctx.Binary)
            RVFSaveControlBinary(stream, Control.get());
        else
            RVFWriteLine(stream, RVFSaveControlHex(Control.get()));
        return;
    }
    SaveBodyRecord(stream, ctx, *this, name, paraNo, options, cls,
                   saveBody ? ControlBody : std::string());
}

bool TRVControlItemInfo::ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo,
                                     int lineCount, std::string& name, TRVFReadMode& mode,
                                     TRVFReadState& state) {
    if (lineCount != 3) return false;
    switch (lineNo) {
    case 0:
        return RVFUnescapeLine(s, name);
    case 1:
        return RVFUnescapeLine(s, ControlClassName);
    case 2: {
        std::string body;
        if (!ReadBodyLine(s, mode, body)) return false;
        state = TRVFReadState::rstItemFinished;
        ControlBody = body;
        if (!body.empty()) {
            // A control that cannot be made or read is asked for below.
            try {
                if (mode == TRVFReadMode::rmBinary)
                    RVFLoadControlBinary(body, Control, ControlClassName);
                else
                    RVFLoadControlHex(s, Control, ControlClassName);
            } catch (const Exception&) {
                Control.reset();
            }
        }
        if (!Control && rvData) Control = rvData->RVFControlNeeded(name, Tag);
        if (Control) ParentControl(rvData);
        if (!Control && !body.empty() && rvData &&
            !rvData->GetRVFOptions().Contains(TRVFOption::rvfoIgnoreUnknownCtrls))
            return false;
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------- pictures

TRVGraphicItemInfo::TRVGraphicItemInfo(TCustomRVData* rvData) : TRVRectItemInfo(rvData) {
    StyleNo = rvsPicture;
}

std::unique_ptr<TRVGraphicItemInfo>
TRVGraphicItemInfo::CreateWithGraphic(TCustomRVData* rvData, std::unique_ptr<TGraphic> graphic,
                                      TRVVAlign vAlign) {
    auto item = std::make_unique<TRVGraphicItemInfo>(rvData);
    item->Image = std::move(graphic);
    item->VAlign = vAlign;
    return item;
}

TRVGraphicItemInfo::~TRVGraphicItemInfo() = default;

void TRVGraphicItemInfo::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    Image = std::move(graphic);
}

std::unique_ptr<TCustomRVItemInfo> TRVGraphicItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVGraphicItemInfo>(rvData);
}

void TRVGraphicItemInfo::Assign(TPersistent* source) {
    TRVRectItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVGraphicItemInfo*>(source)) {
        ImageWidth = src->ImageWidth;
        ImageHeight = src->ImageHeight;
        SetGraphic(src->Image ? RVCopyGraphic(*src->Image) : nullptr);
    }
}

bool TRVGraphicItemInfo::GetKindFlag(int kind) const {
    return kind == rvifCanBeInsideParagraph || kind == rvifCanBeJoinedWithPrev ||
           kind == rvifCanChangeSize || kind == rvifNonTextFixedSize || kind == rvifPrintsToBitmap;
}

int TRVGraphicItemInfo::GetImageWidth(TRVStyle*) const {
    if (ImageWidth > 0) return ImageWidth;
    return Image ? Image->Width() : 0;
}

int TRVGraphicItemInfo::GetImageHeight(TRVStyle*) const {
    if (ImageHeight > 0) return ImageHeight;
    return Image ? Image->Height() : 0;
}

int TRVGraphicItemInfo::GetBoxWidth() const {
    return GetImageWidth(nullptr) + 2 * Spacing;
}
int TRVGraphicItemInfo::GetBoxHeight() const {
    return GetImageHeight(nullptr) + 2 * Spacing;
}

int TRVGraphicItemInfo::GetMinWidth(const TRVScreenAndDevice* sad, TCanvas*, TCustomRVData*) const {
    int w = GetBoxWidth();
    return sad ? sad->XToDevice(w) : w;
}

std::unique_ptr<TRVDrawLineInfo>
TRVGraphicItemInfo::CreatePrintingDrawItem(TCustomRVData*, const TRVScreenAndDevice* sad) {
    if (MinHeightOnPage <= 0) return std::make_unique<TRVDrawLineInfo>();
    auto info = std::make_unique<TRVMultiImagePrintInfo>(this);
    if (sad) info->Sad = *sad;
    return info;
}

bool TRVGraphicItemInfo::GetExtraIntProperty(int prop, int& value) const {
    switch (prop) {
    case 3:
        value = ImageWidth;
        return true;
    case 4:
        value = ImageHeight;
        return true;
    case 5:
        value = MinHeightOnPage;
        return true;
    default:
        return false;
    }
}

bool TRVGraphicItemInfo::SetExtraIntProperty(int prop, int value) {
    switch (prop) {
    case 3:
        ImageWidth = std::max(value, 0);
        return true;
    case 4:
        ImageHeight = std::max(value, 0);
        return true;
    case 5:
        MinHeightOnPage = std::max(value, 0);
        return true;
    default:
        return false;
    }
}

std::string TRVGraphicItemInfo::GetRVFExtraHeader() const {
    return TRVRectItemInfo::GetRVFExtraHeader() + " " + JoinInts({ImageWidth, ImageHeight});
}

bool TRVGraphicItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) {
    HeaderInts t;
    if (!TRVRectItemInfo::ReadRVFHeader(extra, rvData) || !TailInts(extra, 2, t)) return false;
    if (!InRange(t[0], 0, 1000000) || !InRange(t[1], 0, 1000000)) return false;
    ImageWidth = int32_t(t[0]);
    ImageHeight = int32_t(t[1]);
    return true;
}

void TRVGraphicItemInfo::SaveRVF(TStream& stream, const TRVSaveContext& ctx,
                                 const std::string& name, int paraNo, uint8_t options) {
    bool saveBody =
        !ctx.RVData || ctx.RVData->GetRVFOptions().Contains(TRVFOption::rvfoSavePicturesBody);
    std::string cls, body;
    if (Image && saveBody) {
        cls = Image->ClassName();
        body = RVSaveGraphicStream(*Image);
    }
    SaveBodyRecord(stream, ctx, *this, name, paraNo, options, cls, body);
}

bool TRVGraphicItemInfo::ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo,
                                     int lineCount, std::string& name, TRVFReadMode& mode,
                                     TRVFReadState& state) {
    if (lineCount != 3) return false;
    switch (lineNo) {
    case 0:
        return RVFUnescapeLine(s, name);
    case 1:
        return RVFUnescapeLine(s, FPendingClass);
    case 2: {
        std::string body;
        if (!ReadBodyLine(s, mode, body)) return false;
        state = TRVFReadState::rstItemFinished;
        std::unique_ptr<TGraphic> g;
        if (!body.empty())
            g = LoadBody<std::unique_ptr<TGraphic>>(
                body, [&](TMemoryStream& ms) { return RVLoadGraphicStream(FPendingClass, ms); });
        if (!g && rvData) g = rvData->RVFPictureNeeded(name, Tag);
        const bool loaded = g != nullptr;
        SetGraphic(std::move(g));
        if (!loaded && !body.empty() && rvData &&
            !rvData->GetRVFOptions().Contains(TRVFOption::rvfoIgnoreUnknownPicFmt))
            return false;
        return true;
    }
    default:
        return false;
    }
}

namespace {

// Enter on a focused hyperlink item jumps with its number, as a click on it does.
bool JumpByKeyboard(const TCustomRVItemInfo& item, TCustomRVData* rvData) {
    if (!rvData || item.JumpID < 0) return false;
    rvData->DoJump(item.JumpID);
    return true;
}

} // namespace

TRVHotGraphicItemInfo::TRVHotGraphicItemInfo(TCustomRVData* rvData) : TRVGraphicItemInfo(rvData) {
    StyleNo = rvsHotPicture;
}

std::unique_ptr<TCustomRVItemInfo> TRVHotGraphicItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVHotGraphicItemInfo>(rvData);
}

bool TRVHotGraphicItemInfo::GetKindFlag(int kind) const {
    return kind == rvifHyperlink || kind == rvifActivatesByKeyboard ||
           TRVGraphicItemInfo::GetKindFlag(kind);
}

bool TRVHotGraphicItemInfo::ActivateByKeyboard(TCustomRVData* rvData) {
    return JumpByKeyboard(*this, rvData);
}

// ---------------------------------------------------------------- bullets and hotspots

TRVBulletItemInfo::TRVBulletItemInfo(TCustomRVData* rvData) : TRVRectItemInfo(rvData) {
    StyleNo = rvsBullet;
}

std::unique_ptr<TCustomRVItemInfo> TRVBulletItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVBulletItemInfo>(rvData);
}

void TRVBulletItemInfo::Assign(TPersistent* source) {
    TRVRectItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVBulletItemInfo*>(source)) {
        ImageList = src->ImageList;
        ImageListTag = src->ImageListTag;
        ImageIndex = src->ImageIndex;
        ImageListWidth = src->ImageListWidth;
        ImageListHeight = src->ImageListHeight;
    }
}

bool TRVBulletItemInfo::GetKindFlag(int kind) const {
    return kind == rvifCanBeInsideParagraph || kind == rvifCanBeJoinedWithPrev ||
           kind == rvifNonTextFixedSize || kind == rvifPrintsToBitmap;
}

int TRVBulletItemInfo::GetBoxWidth() const {
    return ImageListWidth + 2 * Spacing;
}
int TRVBulletItemInfo::GetBoxHeight() const {
    return ImageListHeight + 2 * Spacing;
}

std::string TRVBulletItemInfo::GetRVFExtraHeader() const {
    return TRVRectItemInfo::GetRVFExtraHeader() + " " + JoinInts({ImageIndex, ImageListTag});
}

namespace {
// An index beyond the image list the document gave is read as 0 when the RVF options say so.
bool LargeImageIndexToZero(TCustomRVData* rvData, const TCustomImageList* list, int index) {
    return rvData && list && index >= list->Count() &&
           rvData->GetRVFOptions().Contains(TRVFOption::rvfoConvLargeImageIdxToZero);
}
} // namespace

bool TRVBulletItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) {
    HeaderInts t;
    if (!TRVRectItemInfo::ReadRVFHeader(extra, rvData)) return false;
    size_t tail = StyleNo == rvsHotspot ? 3 : 2;
    if (!TailInts(extra, tail, t)) return false;
    if (!InRange(t[0], -1, INT32_MAX) || !InRange(t[1], INT32_MIN, INT32_MAX)) return false;
    ImageIndex = int32_t(t[0]);
    ImageListTag = int32_t(t[1]);
    if (rvData) ImageList = rvData->RVFImageListNeeded(ImageListTag);
    if (LargeImageIndexToZero(rvData, ImageList, ImageIndex)) ImageIndex = 0;
    return true;
}

bool TRVBulletItemInfo::GetExtraIntProperty(int prop, int& value) const {
    if (prop != 1) return false;
    value = ImageIndex;
    return true;
}

bool TRVBulletItemInfo::SetExtraIntProperty(int prop, int value) {
    if (prop != 1) return false;
    ImageIndex = value;
    return true;
}

TRVHotspotItemInfo::TRVHotspotItemInfo(TCustomRVData* rvData) : TRVBulletItemInfo(rvData) {
    StyleNo = rvsHotspot;
}

std::unique_ptr<TCustomRVItemInfo> TRVHotspotItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVHotspotItemInfo>(rvData);
}

void TRVHotspotItemInfo::Assign(TPersistent* source) {
    TRVBulletItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVHotspotItemInfo*>(source)) HotImageIndex = src->HotImageIndex;
}

bool TRVHotspotItemInfo::GetKindFlag(int kind) const {
    return kind == rvifHyperlink || kind == rvifActivatesByKeyboard ||
           TRVBulletItemInfo::GetKindFlag(kind);
}

bool TRVHotspotItemInfo::ActivateByKeyboard(TCustomRVData* rvData) {
    return JumpByKeyboard(*this, rvData);
}

std::string TRVHotspotItemInfo::GetRVFExtraHeader() const {
    return TRVBulletItemInfo::GetRVFExtraHeader() + " " + std::to_string(HotImageIndex);
}

bool TRVHotspotItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) {
    HeaderInts t;
    if (!TRVBulletItemInfo::ReadRVFHeader(extra, rvData) || !TailInts(extra, 3, t)) return false;
    if (!InRange(t[2], -1, INT32_MAX)) return false;
    HotImageIndex = int32_t(t[2]);
    if (LargeImageIndexToZero(rvData, ImageList, HotImageIndex)) HotImageIndex = 0;
    return true;
}

// ---------------------------------------------------------------- list markers

TRVMarkerItemInfo::TRVMarkerItemInfo(TCustomRVData* rvData) : TRVRectItemInfo(rvData) {
    StyleNo = rvsListMarker;
    Spacing = 0;
}

TRVMarkerItemInfo::TRVMarkerItemInfo(TCustomRVData* rvData, int listNo, int level, int startFrom,
                                     bool reset)
    : TRVMarkerItemInfo(rvData) {
    ListNo = listNo;
    Level = level;
    StartFrom = startFrom;
    Reset = reset;
}

std::unique_ptr<TCustomRVItemInfo> TRVMarkerItemInfo::NewInstance(TCustomRVData* rvData) const {
    return std::make_unique<TRVMarkerItemInfo>(rvData);
}

void TRVMarkerItemInfo::Assign(TPersistent* source) {
    TRVRectItemInfo::Assign(source);
    if (auto* src = dynamic_cast<TRVMarkerItemInfo*>(source)) {
        ListNo = src->ListNo;
        Level = src->Level;
        StartFrom = src->StartFrom;
        Reset = src->Reset;
        Counter = src->Counter;
        MarkerText = src->MarkerText;
    }
}

bool TRVMarkerItemInfo::GetKindFlag(int kind) const {
    // A marker begins its paragraph: it never joins the previous item. Sizing and painting it
    // select its level's font into the canvas.
    return kind == rvifCanBeInsideParagraph || kind == rvifNonTextFixedSize ||
           kind == rvifChangesCanvasFont;
}

TRVListLevel* GetMarkerListLevel(TRVStyle* style, int listNo, int level) {
    if (!style || listNo < 0 || listNo >= style->ListStyles.Count()) return nullptr;
    TRVListInfo& list = style->ListStyles[listNo];
    if (list.LevelCount() == 0) return nullptr;
    level = std::clamp(level, 0, list.LevelCount() - 1);
    return list.Levels[size_t(level)].get();
}

TRVListLevel* TRVMarkerItemInfo::GetLevelInfo(TRVStyle* style) const {
    if (ListNo < 0) return nullptr;
    return GetMarkerListLevel(style, ListNo, Level);
}

int TRVMarkerItemInfo::GetIndexInList(TCustomRVData* rvData) const {
    if (!rvData) return -1;
    TRVMarkerList* markers = rvData->GetMarkers(false);
    return markers ? markers->IndexOf(this) : -1;
}

void TRVMarkerItemInfo::MoveToUndo(TCustomRVData* rvData) {
    TRVRectItemInfo::MoveToUndo(rvData);
    if (rvData) rvData->RemoveMarkerFromList(this);
}

void TRVMarkerItemInfo::AttachToDocument(TCustomRVData* rvData) {
    if (rvData && rvData->FindItemIndex(this) >= 0) rvData->AddMarkerToList(this);
}

void TRVMarkerItemInfo::MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                        TRVIntegerList& usedList) const {
    TRVRectItemInfo::MarkStylesInUse(usedText, usedPara, usedList);
    if (ListNo >= 0 && ListNo < usedList.Count()) usedList.SetValue(ListNo, 1);
}

void TRVMarkerItemInfo::RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                       const TRVIntegerList& listMap) {
    TRVRectItemInfo::RenumberStyles(textMap, paraMap, listMap);
    if (ListNo >= 0 && ListNo < listMap.Count()) ListNo -= listMap[ListNo] - 1;
}

std::string TRVMarkerItemInfo::GetRVFExtraHeader() const {
    return TRVRectItemInfo::GetRVFExtraHeader() + " " +
           JoinInts({ListNo, Level, StartFrom, Reset ? 1 : 0});
}

bool TRVMarkerItemInfo::ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) {
    HeaderInts t;
    if (!TRVRectItemInfo::ReadRVFHeader(extra, rvData) || !TailInts(extra, 4, t)) return false;
    if (!InRange(t[0], -1, INT32_MAX) || !InRange(t[1], 0, 255) ||
        !InRange(t[2], INT32_MIN, INT32_MAX) || !InRange(t[3], 0, 1))
        return false;
    ListNo = int32_t(t[0]);
    Level = int32_t(t[1]);
    StartFrom = int32_t(t[2]);
    Reset = t[3] != 0;
    return true;
}

bool TRVMarkerItemInfo::AsText(std::string& result, bool unicode, int, TCustomRVData* rvData,
                               int) const {
    std::string text = MarkerText;
    TRVListLevel* lvl = GetLevelInfo(rvData ? rvData->GetRVStyle() : nullptr);
    if (lvl && !lvl->HasNumbering()) {
        if (lvl->ListType != TRVListType::rvlstBullet) return false;
        // A bullet glyph of a symbol font has no plain-text form; keep it readable.
        text.assign(1, '*');
    }
    text += ' ';
    result = unicode ? AnsiToUnicodeCP(text, 0) : text;
    return true;
}

// ---------------------------------------------------------------- registry

namespace {

struct RegEntry {
    std::string ClassName;
    TRVItemFactory Factory;
};

std::map<int, RegEntry>& Registry() {
    static std::map<int, RegEntry> registry;
    return registry;
}

std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}

} // namespace

void RegisterRichViewItemType(int styleNo, const std::string& className, TRVItemFactory factory) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    if (styleNo >= -9) throw ERichViewError(errRVItemReg2);
    auto it = Registry().find(styleNo);
    if (it != Registry().end()) {
        // The same class again is harmless (units may register twice).
        if (it->second.ClassName == className) {
            it->second.Factory = std::move(factory);
            return;
        }
        throw ERichViewError(errRVItemReg2);
    }
    Registry()[styleNo] = RegEntry{className, std::move(factory)};
}

std::unique_ptr<TCustomRVItemInfo> CreateRichViewItem(int styleNo, TCustomRVData* rvData) {
    if (styleNo >= 0) {
        auto item = std::make_unique<TRVTextItemInfo>(rvData);
        item->StyleNo = styleNo;
        return item;
    }
    switch (styleNo) {
    case rvsBreak:
        return std::make_unique<TRVBreakItemInfo>(rvData);
    case rvsPicture:
        return std::make_unique<TRVGraphicItemInfo>(rvData);
    case rvsHotPicture:
        return std::make_unique<TRVHotGraphicItemInfo>(rvData);
    case rvsHotspot:
        return std::make_unique<TRVHotspotItemInfo>(rvData);
    case rvsBullet:
        return std::make_unique<TRVBulletItemInfo>(rvData);
    case rvsComponent:
        return std::make_unique<TRVControlItemInfo>(rvData);
    case rvsListMarker:
        return std::make_unique<TRVMarkerItemInfo>(rvData);
    default:
        break;
    }
    TRVItemFactory factory;
    {
        std::lock_guard<std::mutex> lock(RegistryLock());
        auto it = Registry().find(styleNo);
        if (it == Registry().end()) return nullptr;
        factory = it->second.Factory;
    }
    std::unique_ptr<TCustomRVItemInfo> item = factory ? factory(rvData) : nullptr;
    if (item) item->StyleNo = styleNo;
    return item;
}

std::unique_ptr<TCustomRVItemInfo> CreateItemCopy(const TCustomRVItemInfo* item,
                                                  TCustomRVData* rvData, bool tagsArePChars) {
    if (!item) return nullptr;
    std::unique_ptr<TCustomRVItemInfo> copy = item->NewInstance(rvData);
    copy->Assign(const_cast<TCustomRVItemInfo*>(item));
    copy->Tag = CopyTagValue(item->Tag, tagsArePChars);
    if (item->Checkpoint) {
        copy->Checkpoint = TRVCPInfo::CreateCopy(*item->Checkpoint, tagsArePChars);
        copy->Checkpoint->ItemInfo = copy.get();
    }
    return copy;
}

} // namespace epc
