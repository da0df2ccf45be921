#pragma once
// Item classes of a document, the checkpoint record, the drawing-item records the items share
// with the layout and printing, and the item-class registry.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/Classes.h"
#include "platform/core/Streams.h"
#include "richtext/document/RVClasses.h"
#include "richtext/document/RVStyle.h"
#include "richtext/document/RVTypes.h"

namespace epc {

class TCustomRVData;
class TCustomRVItemInfo;
class TCustomImageList;
class TRVRectItemInfo;
class TGraphic;
class TRVRTFWriteContext;
class TRVHTMLWriteContext;

// The embedded control of a control item: freed the way components are freed.
struct TRVComponentFree {
    void operator()(TComponent* control) const;
};
using TRVComponentPtr = std::unique_ptr<TComponent, TRVComponentFree>;

// One drawing item: one rectangle of an item on one line, in document coordinates.
class TRVDrawLineInfo : public TObject {
public:
    TRVDrawLineInfo() = default;
    static std::unique_ptr<TRVDrawLineInfo> CreateEx(int left, int top, int width, int height,
                                                     int itemNo, bool fromNewLine);
    std::string ClassName() const override { return "TRVDrawLineInfo"; }

    virtual void SetData(int left, int top, int itemNo, bool fromNewLine);
    virtual void SetSize(int width, int height);
    // Printing across pages; False in the base. CanSplit makes the first part (the whole
    // item) when the item can be printed in parts.
    virtual bool CanSplit() { return false; }
    virtual bool FitsFirstPart(int /*height*/) const { return false; }
    virtual bool SplitAt(int /*height*/) { return false; }

    int32_t SpaceBefore = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t ItemNo = 0;
    int32_t Offs = 0;
    int32_t Length = 0;
    int32_t ExtraSpaceBelow = 0;
    bool FromNewLine = false;
};

class TRVMultiDrawItemPart : public TObject {
public:
    int32_t Height = 0;
};

// The drawing item of an item printed over several pages, with its parts.
class TRVMultiDrawItemInfo : public TRVDrawLineInfo {
public:
    std::string ClassName() const override { return "TRVMultiDrawItemInfo"; }
    TRVList PartsList;
    // Set by an item laid out at the device's resolution: the formatter keeps the Width and
    // Height it gives instead of scaling the item's box.
    bool DeviceSized = false;
    // True when the item changed after it was laid out for printing: its pages are outdated.
    virtual bool LayoutOutdated() const { return false; }
};

class TRVImagePrintPart : public TRVMultiDrawItemPart {
public:
    int32_t ImgTop = 0; // first picture row of this part
};

// Print record of a picture that may be cut into parts (pictures with a minimum part height).
class TRVMultiImagePrintInfo : public TRVMultiDrawItemInfo {
public:
    explicit TRVMultiImagePrintInfo(TRVRectItemInfo* item) : FItem(item) {}
    std::string ClassName() const override { return "TRVMultiImagePrintInfo"; }
    bool CanSplit() override;
    bool FitsFirstPart(int height) const override;
    bool SplitAt(int height) override;
    // Device pixels per picture pixel, set by the printer before splitting.
    TRVScreenAndDevice Sad;

private:
    int ToImage(int v) const;
    TRVRectItemInfo* FItem;
};

// A checkpoint: a named position on an item, linked into the document's chain in item order.
class TRVCPInfo : public TObject {
public:
    std::string Name;
    bool RaiseEvent = false;
    TRVTag Tag;
    TCustomRVItemInfo* ItemInfo = nullptr;
    TRVCPInfo* Next = nullptr;
    TRVCPInfo* Prev = nullptr;
    int32_t Y = 0; // set by formatting

    void CopyFrom(const TRVCPInfo& source, bool tagsArePChars);
    static std::unique_ptr<TRVCPInfo> CreateCopy(const TRVCPInfo& source, bool tagsArePChars);
};

// Stored position of a sub-document inside an item.
class TRVStoreSubRVData : public TObject {
public:
    virtual std::unique_ptr<TRVStoreSubRVData> Duplicate() const = 0;
};

// Reading state of an item record in RVF.
enum class TRVFReadMode { rmText, rmBinary, rmHex };
enum class TRVFReadState { rstHeader, rstData, rstSkip, rstItemFinished };

// What SaveText/SaveRVF get to know about the item's neighbourhood.
struct TRVSaveContext {
    TCustomRVData* RVData = nullptr;
    int ItemNo = 0;
    bool Binary = false; // RVF bodies as int32 length + bytes
    bool UseStyleNames = false;
};

class TCustomRVItemInfo : public TPersistent {
public:
    explicit TCustomRVItemInfo(TCustomRVData* rvData);
    ~TCustomRVItemInfo() override;
    std::string ClassName() const override { return "TCustomRVItemInfo"; }

    // A new, default item of the same class (CreateItemCopy then assigns the properties).
    virtual std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const;
    void Assign(TPersistent* source) override;

    int32_t StyleNo = 0;
    int32_t ParaNo = 0;
    uint8_t ItemOptions = 0;
    std::unique_ptr<TRVCPInfo> Checkpoint;
    TRVTag Tag;
    int32_t DrawItemNo = -1; // first drawing item, set by formatting
    int32_t JumpID = -1;

    // Option bits.
    bool GetJoinsPrevious() const { return (ItemOptions & rvioSameAsPrev) != 0; }
    bool GetLineBreakBefore() const { return (ItemOptions & rvioBR) != 0; }
    bool GetPageBreakBefore() const { return (ItemOptions & rvioPageBreakBefore) != 0; }
    bool StartsParagraph() const { return (ItemOptions & (rvioSameAsPrev | rvioBR)) == 0; }
    bool IsUnicode() const { return (ItemOptions & rvioUnicode) != 0; }
    void SetJoinsPrevious(bool value);
    // Refused (no change, False) for items that must start a line of their own.
    bool SetLineBreakBefore(bool value);
    void SetPageBreakBefore(bool value);
    bool SameAsPrev() const { return GetJoinsPrevious(); }

    // Kind and state questions (see TRVItemKind, TRVItemState).
    virtual bool GetKindFlag(int kind) const;
    virtual bool GetStateFlag(int kind) const { return kind == rvisCanUseDeviceFit; }
    // Breaks and tables: the item takes a line of its own and shares it with nothing.
    bool IsFullLine() const { return !GetKindFlag(rvifCanBeInsideParagraph); }
    // A text item is a hyperlink when its text style is one (never without a style sheet);
    // other items when their kind says so.
    bool IsHyperlink(const TRVStyle* style) const;

    // Sizes (screen pixels).
    virtual int GetBoxWidth() const { return 0; }
    virtual int GetBoxHeight() const { return 0; }
    virtual int GetDescentValue() const { return 0; }
    virtual int GetImageWidth(TRVStyle* /*style*/) const { return 0; }
    virtual int GetImageHeight(TRVStyle* /*style*/) const { return 0; }
    virtual int GetMinWidth(const TRVScreenAndDevice* /*sad*/, TCanvas* /*canvas*/,
                            TCustomRVData* /*rvData*/) const {
        return 0;
    }
    virtual void AdjustToDocWidth(int /*docWidth*/, TRVDrawLineInfo* /*dli*/, bool /*noCaching*/,
                                  int& /*out1*/, int& /*out2*/, const TRVScreenAndDevice* /*sad*/,
                                  TCustomRVData* /*rvData*/, TCanvas* /*canvas*/,
                                  bool /*canUseDeviceFit*/) {}
    virtual TGraphic* GetGraphic() const { return nullptr; }

    // Painting and printing.
    virtual void Paint(int /*x*/, int /*y*/, TCanvas* /*canvas*/, int /*state*/,
                       TRVStyle* /*style*/, TRVDrawLineInfo* /*dli*/) {}
    virtual void PaintFullWidth(int /*left*/, int /*right*/, int /*top*/, TCanvas* /*canvas*/,
                                int /*state*/, TRVStyle* /*style*/, const TRect& /*clipRect*/,
                                TRVDrawLineInfo* /*dli*/) {}
    virtual void Print(TCanvas* /*canvas*/, int /*x*/, int /*y*/, bool /*preview*/,
                       bool /*correction*/, const TRVScreenAndDevice* /*sad*/,
                       TRVColorMode /*colorMode*/, int /*part*/, TRVDrawLineInfo* /*dli*/,
                       TCustomRVData* /*rvData*/) {}
    // Draws into Bkgnd for printing through a bitmap; False when it drew nothing.
    virtual bool PrintToBitmap(TGraphic* /*bkgnd*/, bool /*preview*/, TRVStyle* /*style*/,
                               TRVColorMode /*colorMode*/) {
        return false;
    }
    virtual std::unique_ptr<TRVDrawLineInfo> CreatePrintingDrawItem(TCustomRVData* rvData,
                                                                    const TRVScreenAndDevice* sad);
    virtual void DrawBackground(TCanvas* /*canvas*/, const TRect& /*r*/,
                                TRVColorMode /*colorMode*/) {}
    // Moves what the item shows in a window (embedded controls) to a document position.
    virtual void SetPosition(int /*x*/, int /*y*/) {}
    virtual TCustomRVData* GetSubDocumentAtPoint(int /*x*/, int /*y*/) { return nullptr; }
    virtual int GetHyperlinkCursor(TRVStyle* style) const;
    virtual void BuildJumps(int /*left*/, int /*top*/, int& /*jumpNo*/) {}
    virtual void ClearFocus() {}
    virtual bool ActivateByKeyboard(TCustomRVData* /*rvData*/) { return false; }
    // The caret keys offer the caret to an item they would step over: Direction 0 right, 1 left,
    // 2 down, 3 up; X from the item's left edge. True when the item took it (a table opens a
    // cell for editing).
    virtual bool AcceptCaret(int /*direction*/, int /*x*/) { return false; }
    virtual int GetSoftPageBreakExtraOffset() const { return 0; }
    // Sub-documents held by the item (cells); nullptr past the last.
    virtual TCustomRVData* GetSubRVData(int /*index*/) const { return nullptr; }

    // Document life cycle.
    virtual void NotifyInserting(TCustomRVData* rvData, std::string& text);
    virtual void NotifyInserted(TCustomRVData* rvData, int itemNo);
    virtual void Inserted(TCustomRVData* /*rvData*/, int /*itemNo*/) {}
    virtual void MoveToUndo(TCustomRVData* rvData);
    virtual void AttachToDocument(TCustomRVData* /*rvData*/) {}
    virtual void BeforeUndoChangeProperty() {}
    virtual void AfterUndoChangeProperty() {}
    virtual void AfterLoading(int /*format*/) {}
    virtual bool OwnsControl(const TComponent* /*control*/) const { return false; }

    // Extra properties (undoable property changes by code).
    virtual bool GetExtraIntProperty(int /*prop*/, int& /*value*/) const { return false; }
    virtual bool SetExtraIntProperty(int /*prop*/, int /*value*/) { return false; }

    // Styles.
    // A text style conversion of the editor reaches an item holding documents of its own:
    // the whole item (Whole: it lies inside the document's selection) or its own selection.
    virtual void ApplyStyleConversion(TCustomRVData* /*rvData*/, int /*itemNo*/, int /*userData*/,
                                      bool /*whole*/) {}
    virtual void MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                 TRVIntegerList& usedList) const;
    virtual void RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                const TRVIntegerList& listMap);

    // Storage. SaveRVF writes the item's whole record; ReadRVFLine takes the record's lines one
    // by one (LineNo from 0), may switch the next line to binary, and sets State to
    // rstItemFinished when done. A False result fails the load.
    virtual void SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name,
                         int paraNo, uint8_t options);
    virtual bool ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo, int lineCount,
                             std::string& name, TRVFReadMode& mode, TRVFReadState& state);
    // Extra header text of the record (after the tag); ReadRVFHeader parses it.
    virtual std::string GetRVFExtraHeader() const { return std::string(); }
    virtual bool ReadRVFHeader(const std::string& /*extra*/, TCustomRVData* /*rvData*/) {
        return true;
    }
    // RTF of an item the document writer does not write itself (tables): Ctx holds the
    // colour and font tables, the twips-per-pixel factor, the nesting level and the
    // "table just closed" state. FillRtfTables adds the colours the item needs beforehand.
    virtual void SaveRTF(TStream& /*stream*/, TCustomRVData* /*rvData*/, int /*itemNo*/,
                         TRVRTFWriteContext& /*ctx*/) {}
    virtual void FillRtfTables(TRVColorList& /*colors*/) const {}
    virtual void SaveHTML(TStream& /*stream*/, TCustomRVData* /*rvData*/, int /*itemNo*/,
                          const std::string& /*path*/) {}
    // HTML with the writer's state (CSS or plain, the picture folder); the base writes SaveHTML.
    virtual void SaveHTMLEx(TStream& stream, TCustomRVData* rvData, int itemNo,
                            TRVHTMLWriteContext& ctx);
    // Plain-text form of a non-text item; False writes nothing.
    virtual bool AsText(std::string& /*result*/, bool /*unicode*/, int /*lineWidth*/,
                        TCustomRVData* /*rvData*/, int /*itemNo*/) const {
        return false;
    }

protected:
    TCustomRVData* FOwnerData; // the document the item was made for (for notifications)
};

// Text item: the text itself is held by the document's item list.
class TRVTextItemInfo : public TCustomRVItemInfo {
public:
    using TCustomRVItemInfo::TCustomRVItemInfo;
    std::string ClassName() const override { return "TRVTextItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    bool GetKindFlag(int kind) const override;
    void MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                         TRVIntegerList& usedList) const override;
    void RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                        const TRVIntegerList& listMap) override;
};

// Items that always take a whole line (breaks; tables derive from it).
class TRVFullLineItemInfo : public TCustomRVItemInfo {
public:
    using TCustomRVItemInfo::TCustomRVItemInfo;
    std::string ClassName() const override { return "TRVFullLineItemInfo"; }
    bool GetKindFlag(int kind) const override;
};

class TRVBreakItemInfo : public TRVFullLineItemInfo {
public:
    explicit TRVBreakItemInfo(TCustomRVData* rvData);
    TRVBreakItemInfo(TCustomRVData* rvData, uint8_t lineWidth, TRVBreakStyle style, TColor color);
    std::string ClassName() const override { return "TRVBreakItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    void Assign(TPersistent* source) override;
    bool GetKindFlag(int kind) const override;
    void PaintFullWidth(int left, int right, int top, TCanvas* canvas, int state, TRVStyle* style,
                        const TRect& clipRect, TRVDrawLineInfo* dli) override;
    // The rule across the drawing item's width, in solid blocks so that it stays a vector.
    void Print(TCanvas* canvas, int x, int y, bool preview, bool correction,
               const TRVScreenAndDevice* sad, TRVColorMode colorMode, int part,
               TRVDrawLineInfo* dli, TCustomRVData* rvData) override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;
    bool AsText(std::string& result, bool unicode, int lineWidth, TCustomRVData* rvData,
                int itemNo) const override;

    TColor Color = clNone; // clNone: the text colour of style 0
    uint8_t LineWidth = 1;
    TRVBreakStyle Style = TRVBreakStyle::rvbsLine;
};

// Items drawn in a rectangle with a border spacing: pictures, controls, bullets, markers.
class TRVRectItemInfo : public TCustomRVItemInfo {
public:
    using TCustomRVItemInfo::TCustomRVItemInfo;
    std::string ClassName() const override { return "TRVRectItemInfo"; }
    void Assign(TPersistent* source) override;
    int GetDescentValue() const override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;

    TRVVAlign VAlign = TRVVAlign::rvvaBaseline;
    int32_t Spacing = 1;
    int32_t VShift = 0;
    bool VShiftAbs = false;
    // Minimum height of a printed part; 0: the item is never cut across pages.
    int32_t MinHeightOnPage = 0;
};

class TRVControlItemInfo : public TRVRectItemInfo {
public:
    // Control may be null.
    explicit TRVControlItemInfo(TCustomRVData* rvData, TRVComponentPtr control = nullptr,
                                TRVVAlign vAlign = TRVVAlign::rvvaBaseline);
    std::string ClassName() const override { return "TRVControlItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    void Assign(TPersistent* source) override;
    bool GetKindFlag(int kind) const override;
    bool GetStateFlag(int kind) const override;
    int GetBoxWidth() const override;
    int GetBoxHeight() const override;
    // What the control paints, inside the border spacing.
    bool PrintToBitmap(TGraphic* bkgnd, bool preview, TRVStyle* style,
                       TRVColorMode colorMode) override;
    // Moves the embedded control (inside the border spacing).
    void SetPosition(int x, int y) override;
    // Makes the control a child of the document's window, when both exist.
    void ParentControl(TCustomRVData* rvData);
    bool OwnsControl(const TComponent* control) const override {
        return control && control == Control.get();
    }
    void SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name, int paraNo,
                 uint8_t options) override;
    bool ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo, int lineCount,
                     std::string& name, TRVFReadMode& mode, TRVFReadState& state) override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;
    // In plain text the control is what the document's program gives for it.
    bool AsText(std::string& result, bool unicode, int lineWidth, TCustomRVData* rvData,
                int itemNo) const override;

    TRVComponentPtr Control;
    // The size when the item holds no visual control (read from RVF, or not a control).
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    std::string ControlClassName; // as read from RVF when no control could be made
    std::string ControlBody;      // the stored component stream when no control could be made
};

class TRVGraphicItemInfo : public TRVRectItemInfo {
public:
    explicit TRVGraphicItemInfo(TCustomRVData* rvData);
    // Picture item (StyleNo -3) showing Graphic.
    static std::unique_ptr<TRVGraphicItemInfo>
    CreateWithGraphic(TCustomRVData* rvData, std::unique_ptr<TGraphic> graphic, TRVVAlign vAlign);
    ~TRVGraphicItemInfo() override;
    std::string ClassName() const override { return "TRVGraphicItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    void Assign(TPersistent* source) override;
    bool GetKindFlag(int kind) const override;
    int GetBoxWidth() const override;
    int GetBoxHeight() const override;
    int GetImageWidth(TRVStyle* style) const override;
    int GetImageHeight(TRVStyle* style) const override;
    int GetMinWidth(const TRVScreenAndDevice* sad, TCanvas* canvas,
                    TCustomRVData* rvData) const override;
    TGraphic* GetGraphic() const override { return Image.get(); }
    void Paint(int x, int y, TCanvas* canvas, int state, TRVStyle* style,
               TRVDrawLineInfo* dli) override;
    bool PrintToBitmap(TGraphic* bkgnd, bool preview, TRVStyle* style,
                       TRVColorMode colorMode) override;
    std::unique_ptr<TRVDrawLineInfo> CreatePrintingDrawItem(TCustomRVData* rvData,
                                                            const TRVScreenAndDevice* sad) override;
    bool GetExtraIntProperty(int prop, int& value) const override;
    bool SetExtraIntProperty(int prop, int value) override;
    void SaveRVF(TStream& stream, const TRVSaveContext& ctx, const std::string& name, int paraNo,
                 uint8_t options) override;
    bool ReadRVFLine(const std::string& s, TCustomRVData* rvData, int lineNo, int lineCount,
                     std::string& name, TRVFReadMode& mode, TRVFReadState& state) override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;
    // Writes the picture as a file into Path and an <img> element referring to it.
    void SaveHTML(TStream& stream, TCustomRVData* rvData, int itemNo,
                  const std::string& path) override;
    // The document may save the picture itself and say where it went.
    void SaveHTMLEx(TStream& stream, TCustomRVData* rvData, int itemNo,
                    TRVHTMLWriteContext& ctx) override;
    void SetGraphic(std::unique_ptr<TGraphic> graphic); // frees the old one

    std::unique_ptr<TGraphic> Image;
    // Shown size; 0 is the picture's own (extra integer properties 3 and 4).
    int32_t ImageWidth = 0;
    int32_t ImageHeight = 0;

private:
    void WriteImgElement(TStream& stream, const std::string& src, TCustomRVData* rvData,
                         int itemNo) const;
    std::string FPendingClass; // picture class read from RVF, before its body
};

class TRVHotGraphicItemInfo : public TRVGraphicItemInfo {
public:
    explicit TRVHotGraphicItemInfo(TCustomRVData* rvData);
    std::string ClassName() const override { return "TRVHotGraphicItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    bool GetKindFlag(int kind) const override;
    // Enter on the focused picture jumps as a click does.
    bool ActivateByKeyboard(TCustomRVData* rvData) override;
};

// A picture from an image list.
class TRVBulletItemInfo : public TRVRectItemInfo {
public:
    explicit TRVBulletItemInfo(TCustomRVData* rvData);
    std::string ClassName() const override { return "TRVBulletItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    void Assign(TPersistent* source) override;
    bool GetKindFlag(int kind) const override;
    int GetBoxWidth() const override;
    int GetBoxHeight() const override;
    void Paint(int x, int y, TCanvas* canvas, int state, TRVStyle* style,
               TRVDrawLineInfo* dli) override;
    bool PrintToBitmap(TGraphic* bkgnd, bool preview, TRVStyle* style,
                       TRVColorMode colorMode) override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;
    bool GetExtraIntProperty(int prop, int& value) const override;
    bool SetExtraIntProperty(int prop, int value) override;
    // The image shown in a draw state.
    virtual int ImageIndexFor(int /*state*/) const { return ImageIndex; }

    TCustomImageList* ImageList = nullptr;
    int32_t ImageListTag = 0; // identifies the list in stored documents
    int32_t ImageIndex = 0;
    // The list's image size, when known (the view layer fills it when it binds the list).
    int32_t ImageListWidth = 16;
    int32_t ImageListHeight = 16;
};

class TRVHotspotItemInfo : public TRVBulletItemInfo {
public:
    explicit TRVHotspotItemInfo(TCustomRVData* rvData);
    std::string ClassName() const override { return "TRVHotspotItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    void Assign(TPersistent* source) override;
    bool GetKindFlag(int kind) const override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;
    int ImageIndexFor(int state) const override;
    bool ActivateByKeyboard(TCustomRVData* rvData) override;

    int32_t HotImageIndex = 0;
};

// A list marker (numbering or bullet at the start of a list paragraph).
class TRVMarkerItemInfo : public TRVRectItemInfo {
public:
    explicit TRVMarkerItemInfo(TCustomRVData* rvData);
    TRVMarkerItemInfo(TCustomRVData* rvData, int listNo, int level, int startFrom, bool reset);
    std::string ClassName() const override { return "TRVMarkerItemInfo"; }
    std::unique_ptr<TCustomRVItemInfo> NewInstance(TCustomRVData* rvData) const override;
    void Assign(TPersistent* source) override;
    bool GetKindFlag(int kind) const override;
    TRVListLevel* GetLevelInfo(TRVStyle* style) const;
    int GetIndexInList(TCustomRVData* rvData) const;
    // A marker in a sub-document that goes into an undo record leaves the shared marker list,
    // and comes back into it with the sub-document.
    void MoveToUndo(TCustomRVData* rvData) override;
    void AttachToDocument(TCustomRVData* rvData) override;
    void MarkStylesInUse(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                         TRVIntegerList& usedList) const override;
    void RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                        const TRVIntegerList& listMap) override;
    std::string GetRVFExtraHeader() const override;
    bool ReadRVFHeader(const std::string& extra, TCustomRVData* rvData) override;
    bool AsText(std::string& result, bool unicode, int lineWidth, TCustomRVData* rvData,
                int itemNo) const override;
    // The marker is sized by the layout from its text in its level's font (screen pixels).
    void AdjustToDocWidth(int docWidth, TRVDrawLineInfo* dli, bool noCaching, int& out1, int& out2,
                          const TRVScreenAndDevice* sad, TCustomRVData* rvData, TCanvas* canvas,
                          bool canUseDeviceFit) override;
    int GetBoxWidth() const override { return FBoxWidth; }
    int GetBoxHeight() const override { return FBoxHeight; }
    int GetDescentValue() const override { return FDescent; }
    void Paint(int x, int y, TCanvas* canvas, int state, TRVStyle* style,
               TRVDrawLineInfo* dli) override;
    void Print(TCanvas* canvas, int x, int y, bool preview, bool correction,
               const TRVScreenAndDevice* sad, TRVColorMode colorMode, int part,
               TRVDrawLineInfo* dli, TCustomRVData* rvData) override;

    int32_t ListNo = -1;
    int32_t Level = 0;
    int32_t StartFrom = 1;
    bool Reset = false; // numbering restarts from StartFrom here
    // Set by renumbering.
    int32_t Counter = 0;
    std::string MarkerText;

private:
    int32_t FBoxWidth = 0;
    int32_t FBoxHeight = 0;
    int32_t FDescent = 0;
};

TRVListLevel* GetMarkerListLevel(TRVStyle* style, int listNo, int level);

// The item-class registry: classes for StyleNo values below -9 (tables are -60).
using TRVItemFactory = std::function<std::unique_ptr<TCustomRVItemInfo>(TCustomRVData*)>;
// Raises ERichViewError when StyleNo >= -9 or the StyleNo has another class.
void RegisterRichViewItemType(int styleNo, const std::string& className, TRVItemFactory factory);
// A new item for a stored StyleNo (built-in kinds and registered classes); nullptr if unknown.
std::unique_ptr<TCustomRVItemInfo> CreateRichViewItem(int styleNo, TCustomRVData* rvData);

// A new item of the same class with the same properties, a copied checkpoint and tag.
std::unique_ptr<TCustomRVItemInfo> CreateItemCopy(const TCustomRVItemInfo* item,
                                                  TCustomRVData* rvData, bool tagsArePChars);

} // namespace epc
