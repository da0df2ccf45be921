#pragma once
// The document data of a viewer: it is its own host, and every question the formatted
// document asks goes to the viewer control that owns it.

#include <memory>
#include <string>

#include "richtext/view/RVControlData.h"

namespace epc {

class TCustomRichView;

class TRichViewRVData : public TRVControlData, public TRVDocumentHost {
public:
    explicit TRichViewRVData(TCustomRichView* richView);
    ~TRichViewRVData() override;
    std::string ClassName() const override { return "TRichViewRVData"; }

    TCustomRichView* RichView;

    // Asked through the document where the viewer leaves the host's answer as it is.
    using TCustomRVFormattedData::BeforeSelectionChange;

    // ---- Forwarded to the control.
    int GetFirstJumpNo() const override { return FirstJumpNo; }
    TRVStyle* GetRVStyle() const override;
    TRVOptions GetOptions() const override;
    TRVFOptions GetRVFOptions() const override;
    TRVBiDiMode GetBiDiMode() const override;
    TWinControl* GetParentControl() const override;
    std::u16string GetDelimiters() const override;
    TRVMarkerList* GetMarkers(bool allowCreate) override;
    TRVFlags GetFlags() const override;
    void SetFlags(TRVFlags value) override;
    int GetAreaWidth() const override;
    int GetLeftMargin() const override;
    int GetRightMargin() const override;
    int GetTopMargin() const override;
    int GetBottomMargin() const override;
    int GetMinTextWidth() const override;
    int GetMaxTextWidth() const override;
    TRVBackground* GetBackground() const override;
    void AdjustVScrollUnits() override;
    void SetDocumentSize(int width, int height) override;
    int GetHScrollPos() const override;
    int GetVScrollPos() const override;
    int GetClientWidth() const override;
    int GetClientHeight() const override;
    TCanvas* GetCanvas() const override;
    void ScrollTo(int y, bool redraw) override;
    void HScrollTo(int x) override;
    int GetVSmallStep() const override;
    TColor GetColor() const override;
    void PaintBackground(TCanvas* canvas, const TRect& rect) override;
    bool IsControlFocused() const override;
    void Invalidate() override;
    void DoSelect() override;
    void DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                      TCustomRVData* rvData) override;
    void DoControlAction(int action, int itemNo, TComponent* control) override;
    TCustomImageList* RVFImageListNeeded(int imageListTag) override;
    std::unique_ptr<TGraphic> RVFPictureNeeded(const std::string& name, const TRVTag& tag) override;
    TRVComponentPtr RVFControlNeeded(const std::string& name, const TRVTag& tag) override;
    void RVFBackgroundRead(TColor color, TBackgroundStyle style,
                           std::unique_ptr<TGraphic> image) override;

    void DoRVMouseDown(TMouseButton button, TShiftState shift, int itemNo, int x, int y) override;
    void DoRVMouseUp(TMouseButton button, TShiftState shift, int itemNo, int x, int y) override;
    void DoRVDblClick(const std::string& clickedWord, int styleNo) override;
    bool HasRVDblClick() const override;
    bool HasRVRightClick() const override;
    void DoRVRightClick(const std::string& clickedWord, int styleNo, int x, int y) override;
    void DoJump(int id) override;
    void DoJumpHover(int id) override;
    void DoCopy() override;
    bool HasCopyHandler() const override;
    void SetJumpCursor(int cursor) override;
    void InvalidateRect(const TRect& rect) override;
    void UpdateControl() override;
    void FocusControl() override;
    void ClientToScreen(TPoint& p) const override;
    void ScreenToClient(TPoint& p) const override;
    TCPEventKind GetCPEventKind() const override;
    void DoCheckpointVisible(TRVCPInfo* cp) override;
    void ReadHyperlink(const std::string& target, const std::string& extras, int& styleNo,
                       TRVTag& tag, std::string& itemName) override;
    bool URLNeeded(int id, std::string& url) override;
    bool HTMLSaveImage(TCustomRVData* rvData, int itemNo, const std::string& path,
                       TColor background, std::string& location) override;
    std::string SaveComponentToFile(const std::string& path, TPersistent* component,
                                    TRVSaveFormat format) override;
    std::string GetExtraHTMLCode(TRVHTMLSaveArea area, bool css) override;
    std::string GetExtraRTFCode(int area, int row, int col) override;
    std::string SaveImageFileForHtml(const std::string& path, TGraphic* graphic) override;

    // The list-marker list the document keeps while the control owns its markers.
    void DestroyMarkers() { FMarkers.reset(); }

protected:
    void MakeRectVisible(const TRect& rect) override;
    HPALETTE GetDocPalette() const override;

private:
    std::unique_ptr<TRVMarkerList> FMarkers;
    bool FJumpCursorShown = false;
    TCursor FOwnCursor = crDefault; // the control's cursor while a hyperlink's is shown
};

} // namespace epc
