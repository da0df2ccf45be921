#pragma once
// The rich-text viewer: a scrolling window control that shows one formatted document. It owns
// its document data, background and RTF import settings; the program builds documents through
// the append operations (or loads RVF or RTF) and calls Format afterwards.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "richtext/document/RVRTFReader.h"
#include "richtext/view/RVBackground.h"
#include "richtext/view/RVControlData.h"
#include "richtext/view/RVMessages.h"
#include "richtext/view/RVScroller.h"

namespace epc {

class TCustomRichView;
class TRichViewRVData;

// Records of events posted to the viewer (WM_RVEVENT); the kind names the event.
class TRVMessageData : public TObject {
public:
    explicit TRVMessageData(uint8_t kind) : Kind(kind) {}
    uint8_t Kind;
};
class TRVDblClickMessageData : public TRVMessageData {
public:
    TRVDblClickMessageData() : TRVMessageData(0) {}
    std::string ClickedWord;
    int32_t StyleNo = 0;
};
class TRVJumpMessageData : public TRVMessageData {
public:
    TRVJumpMessageData() : TRVMessageData(1) {}
    int32_t Id = 0;
};
class TRVMouseMoveMessageData : public TRVMessageData {
public:
    explicit TRVMouseMoveMessageData(uint8_t kind = 6) : TRVMessageData(kind) {}
    int32_t X = 0, Y = 0, ItemNo = -1;
    TShiftState Shift;
};
class TRVMouseUpDownMessageData : public TRVMouseMoveMessageData {
public:
    explicit TRVMouseUpDownMessageData(bool down) : TRVMouseMoveMessageData(down ? 3 : 2) {}
    TMouseButton Button = mbLeft;
};
class TRVClickMessageData : public TRVMessageData {
public:
    explicit TRVClickMessageData(bool dbl) : TRVMessageData(dbl ? 5 : 4) {}
};
class TRVDNDMessageData : public TRVMessageData {
public:
    explicit TRVDNDMessageData(bool endDrag) : TRVMessageData(endDrag ? 8 : 7) {}
    int32_t X = 0, Y = 0;
    TObject* Obj = nullptr;
};

using TRVMouseEvent = std::function<void(TCustomRichView* sender, TMouseButton button,
                                         TShiftState shift, int itemNo, int x, int y)>;
using TRVMouseMoveEvent = std::function<void(TObject* sender, int id)>;
using TJumpEvent = std::function<void(TObject* sender, int id)>;
using TRVDblClickEvent =
    std::function<void(TCustomRichView* sender, const std::string& clickedWord, int style)>;
using TRVRightClickEvent = std::function<void(
    TCustomRichView* sender, const std::string& clickedWord, int style, int x, int y)>;
using TRVCheckpointVisibleEvent = std::function<void(TCustomRichView* sender, TRVCPInfo* cp)>;
using TRVPaintEvent = std::function<void(TCustomRichView* sender, TCanvas* canvas, bool prepaint)>;
using TRVReadHyperlinkEvent = std::function<void(TCustomRichView* sender, const std::string& target,
                                                 const std::string& extras, int& styleNo,
                                                 TRVTag& tag, std::string& itemName)>;

// Something that uses a viewer's items without owning them (a print component): told before
// the viewer clears or frees them.
class TRVItemsSharer {
public:
    virtual ~TRVItemsSharer() = default;
    virtual void SharedItemsDropped(TCustomRichView* source) = 0;
};

class TCustomRichView : public TRVScroller {
public:
    explicit TCustomRichView(TComponent* owner);
    ~TCustomRichView() override;
    std::string ClassName() const override { return "TCustomRichView"; }

    TRichViewRVData* RVData() const { return FRVData.get(); }

    // ---- Properties.
    TRVStyle* Style() const { return FStyle; }
    void SetStyle(TRVStyle* value);
    TRVBackground* Background() const { return FBackground.get(); }
    TBitmap* BackgroundBitmap() const { return FBackground->GetBitmap(); }
    void SetBackgroundBitmap(TBitmap* value);
    TBackgroundStyle BackgroundStyle() const { return FBackground->GetStyle(); }
    void SetBackgroundStyle(TBackgroundStyle value) { FBackground->SetStyle(value); }
    void SetBiDiMode(TRVBiDiMode value) override;
    void SetVSmallStep(int value) override;
    // The focus frame is taken off while the window's pixels move: its dots are fixed to the
    // device, so a frame moved by an odd number of pixels would not go when drawn again.
    void SetVScrollPos(int pos, bool redraw) override;
    void SetHScrollPos(int pos) override;
    int LeftMargin = 5, RightMargin = 5, TopMargin = 5, BottomMargin = 5;
    int MinTextWidth = 0, MaxTextWidth = 0;
    TCPEventKind CPEventKind = TCPEventKind::cpeNone;
    std::u16string Delimiters = RVDefaultDelimiters;
    TRVOptions Options = TRVOptions::FromBits(32421);
    TRVRTFOptions RTFOptions = TRVRTFOptions::FromBits(14);
    TRVFOptions RVFOptions = TRVFOptions::FromBits(67);
    TRVFReaderStyleMode RVFParaStylesReadMode = TRVFReaderStyleMode::rvf_sInsertMerge;
    TRVFReaderStyleMode RVFTextStylesReadMode = TRVFReaderStyleMode::rvf_sInsertMerge;
    TRVTabNavigationType TabNavigation() const;
    void SetTabNavigation(TRVTabNavigationType value);
    int FirstJumpNo() const;
    void SetFirstJumpNo(int value);
    bool AllowSelection() const { return Options.Contains(TRVOption::rvoAllowSelection); }
    void SetAllowSelection(bool value);
    bool SingleClick() const { return Options.Contains(TRVOption::rvoSingleClick); }
    void SetSingleClick(bool value);
    // The formatting flags word of the document.
    TRVFlags Flags = RVDefaultViewerFlags;
    // Color (clNone: the style sheet's), else the window colour.
    TColor EffectiveColor() const;

    // ---- Building (the caller formats afterwards).
    void AppendTextParagraph(const std::string& text, int styleNo, int paraNo,
                             const TRVTag& tag = TRVTag());
    void AppendTextLines(const std::string& text, int styleNo, int firstParaNo, int otherParaNo);
    void AppendBreakLine(uint8_t width, TRVBreakStyle style, TColor color);
    void AppendPicture(const std::string& name, std::unique_ptr<TGraphic> graphic, int paraNo,
                       TRVVAlign vAlign = TRVVAlign::rvvaBaseline);
    void AppendItem(const std::string& name, std::unique_ptr<TCustomRVItemInfo> item);
    void SetAddParagraphMode(bool value);
    void ApplyParagraphMarker(int itemNo, int listNo, int level, int startFrom, bool useStartFrom);
    int GetParagraphMarkerInfo(int itemNo, int& listNo, int& level, int& startFrom,
                               bool& useStartFrom) const;
    void DeleteItemRange(int first, int count);
    virtual void Clear();
    void AddItemsSharer(TRVItemsSharer* sharer);
    void RemoveItemsSharer(TRVItemsSharer* sharer);
    // Clears and shows the empty document at once.
    virtual void ClearDocument();

    // ---- Formatting and display.
    void Format();
    virtual void FormatAll();
    virtual void RepaintWithOuter(bool now);
    // The viewer whose in-place editor this control is, or null.
    TCustomRichView* OuterViewer() const;
    virtual void DropFormatting();

    // ---- Items.
    int GetItemCount() const;
    int GetItemStyleNo(int itemNo) const;
    int GetItemParaStyle(int itemNo) const;
    bool ItemStartsParagraph(int itemNo) const;
    TRVTag GetItemTag(int itemNo) const;
    void SetItemTag(int itemNo, const TRVTag& tag);
    TCustomRVItemInfo* GetItemObject(int itemNo) const;
    std::u16string GetItemTextUnicode(int itemNo) const;
    bool GetItemIntProperty(int itemNo, int prop, int& value) const;
    // A picture item's name, picture, vertical alignment and tag; raises ERichViewError for
    // other items.
    void GetPictureItemInfo(int itemNo, std::string& name, TGraphic*& graphic, TRVVAlign& vAlign,
                            TRVTag& tag) const;
    // The position of the item's first drawing item in client coordinates; false when it has
    // none.
    bool GetItemClientCoords(int itemNo, int& x, int& y) const;
    int GetOffsBeforeItem(int itemNo) const;
    int GetOffsAfterItem(int itemNo) const;
    void SetSelection(int startItemNo, int startOffs, int endItemNo, int endOffs);
    void SelectAll();
    void ClearSelection();
    // Puts the selection on the clipboard in the formats the auto-copy options ask for.
    void CopyToClipboard();
    // The selection to the clipboard with the given background colour and background.
    void CopySelection(TColor color, TRVBackground* background);
    std::string GetSelText();
    TGraphic* GetSelectedImage() const;
    bool HasSelection() const;
    void ClearDrawMarkers();

    // ---- RVF and RTF.
    bool ReadRvfStream(TStream& stream);
    bool InsertRvfStreamAt(TStream& stream, int itemNo);
    void WriteRvfStream(TStream& stream, bool selectionOnly);
    bool WriteRtfFile(const std::string& fileName, bool selectionOnly);
    bool WriteRtfStream(TStream& stream, bool selectionOnly);
    // Reads RTF and appends it; the result code of the RTF reader (0: success).
    int LoadRtfStream(TStream& stream);
    virtual TRVRTFReaderProperties* GetRTFReadProperties();
    // The published property: the settings of RTF reading, made on first use.
    TRVRTFReaderProperties* RTFReadProperties() { return GetRTFReadProperties(); }
    // Writes a picture of an HTML export into the folder Path as "rvimg<N>" plus its extension,
    // N counting the pictures this viewer wrote; the file name, or empty.
    virtual std::string SaveImageFileForHtml(const std::string& path, TGraphic* graphic);
    void SetRTFReadProperties(const TRVRTFReaderProperties* value);
    bool HasRTFReadProperties() const { return FRTFReadProperties != nullptr; }

    // ---- Events.
    TRVPaintEvent OnPaint;
    TJumpEvent OnJump;
    TRVMouseMoveEvent OnRVMouseMove;
    TRVMouseEvent OnRVMouseDown;
    TRVMouseEvent OnRVMouseUp;
    TRVRightClickEvent OnRVRightClick;
    TRVDblClickEvent OnRVDblClick;
    TRVCheckpointVisibleEvent OnCheckpointVisible;
    TNotifyEvent OnSelect;
    TNotifyEvent OnCopy;
    std::function<void(TCustomRichView* sender, TRVItemAction action, TCustomRVItemInfo* item,
                       std::string& text, TCustomRVData* rvData)>
        OnItemAction;
    std::function<void(TCustomRichView* sender, int action, int itemNo, TComponent* control)>
        OnControlAction;
    TRVReadHyperlinkEvent OnReadHyperlink;
    std::function<void(TCustomRichView* sender, const std::string& name, const TRVTag& tag,
                       std::unique_ptr<TGraphic>& graphic)>
        OnRVFPictureNeeded;
    std::function<void(TCustomRichView* sender, const std::string& name, const TRVTag& tag,
                       TRVComponentPtr& control)>
        OnRVFControlNeeded;
    std::function<void(TCustomRichView* sender, int imageListTag, TCustomImageList*& imageList)>
        OnRVFImageListNeeded;
    // The address written into HTML for the hyperlink with jump number Id (starts empty).
    std::function<void(TCustomRichView* sender, int id, std::string& url)> OnURLNeeded;
    // A picture about to be saved beside an HTML page: clearing DoDefault keeps the writer from
    // saving it; Location is then what the page refers to.
    std::function<void(TCustomRichView* sender, TCustomRVData* rvData, int itemNo,
                       const std::string& path, TColor backgroundColor, std::string& location,
                       bool& doDefault)>
        OnHTMLSaveImage;
    // What an embedded control becomes in a plain-text, HTML or RTF file (starts empty).
    std::function<void(TCustomRichView* sender, const std::string& path, TPersistent* saveMe,
                       TRVSaveFormat saveFormat, std::string& outStr)>
        OnSaveComponentToFile;
    // Code added to an area of an HTML page (starts empty).
    std::function<void(TCustomRichView* sender, TRVHTMLSaveArea area, bool css,
                       std::string& htmlCode)>
        OnSaveHTMLExtra;
    // Code added to a table row (area 3) or cell (area 2) of an RTF file (starts empty).
    std::function<void(TCustomRichView* sender, int area, int row, int col, std::string& rtfCode)>
        OnSaveRTFExtra;
    // For the in-place editor: the viewer's handlers go along.
    void CopyEventHandlersFrom(const TCustomRichView& other);

    // ---- Auto-scrolling while the left button is held.
    void StartAutoScrollTimer();
    void StopAutoScrollTimer();
    bool AutoScrollTimerRunning() const { return FTimerRunning; }
    int AutoScrollDX() const { return FScrollDX; }
    int AutoScrollDY() const { return FScrollDY; }

    // Ctrl+C or Ctrl+Insert; Ctrl+X or Shift+Delete; Ctrl+V or Shift+Insert.
    static bool IsCopyShortcut(Word key, TShiftState shift);
    static bool IsCutShortcut(Word key, TShiftState shift);
    static bool IsPasteShortcut(Word key, TShiftState shift);

    void Dispatch(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    // With Tab navigation the viewer comes again after its embedded controls, so that Tab
    // from the last of them returns to the viewer's hotspots.
    void GetTabOrderList(std::vector<TWinControl*>& list) override;

protected:
    // The class of the document data (the editor supplies its own); derived constructors call
    // CreateData again so that their class is used.
    virtual std::unique_ptr<TRichViewRVData> GetDataClass();
    void CreateData();
    void Paint() override;
    void Loaded() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void DblClick() override;
    void KeyDown(Word& key, TShiftState shift) override;
    void AfterVScroll() override;
    void AfterHScroll() override;
    void ResetScrollPositions() override;
    void ResetScrollBars() override;
    virtual void ApplyLayoutInfo(const TRVLayoutInfo& layout);
    virtual void HandlePostedEvent(TRVMessageData& data);
    // The mouse is reported again where it is (after scrolling), so that the hover look and
    // the cursor follow the content that moved under it.
    virtual void SimulateMouseMove();

private:
    void BackgroundChanged();
    void WMSize(TMessage& message);
    void WMTimer(TMessage& message);
    void WMGetDlgCode(TMessage& message);
    void WMSetFocus(TMessage& message);
    void WMCopy(TMessage& message);
    void WMDestroy(TMessage& message);
    void WMContextMenu(TMessage& message);
    void InvalidateIfSelectionColorsDiffer();
    std::unique_ptr<TRichViewRVData> FRVData;
    std::unique_ptr<TRVBackground> FBackground;
    std::unique_ptr<TRVRTFReaderProperties> FRTFReadProperties;
    TRVStyle* FStyle = nullptr;
    int FScrollDX = 0, FScrollDY = 0;
    bool FTimerRunning = false;
    bool FDestroying = false;
    int FHtmlImageCounter = 0;
    std::vector<TRVItemsSharer*> FItemsSharers;
};

// The viewer with its properties published; no behaviour of its own.
class TRichView : public TCustomRichView {
public:
    using TCustomRichView::TCustomRichView;
    std::string ClassName() const override { return "TRichView"; }
};

} // namespace epc
