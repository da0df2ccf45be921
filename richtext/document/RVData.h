#pragma once
// The document data: the item list (item text plus item object), checkpoints, list markers,
// building and querying operations, and the RVF and plain-text readers and writers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Streams.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVClasses.h"
#include "richtext/document/RVFReadWrite.h"
#include "richtext/document/RVItem.h"
#include "richtext/document/RVStyle.h"
#include "richtext/document/RVTypes.h"

namespace epc {

// The characters that end a word (double-click selection, the clicked word of a point).
inline constexpr const char16_t* RVDefaultDelimiters = u" .;,:(){}\"/\\";

// One entry of the item list: the item text (bytes; UTF-16LE for Unicode items, the name for
// non-text items) and the item object.
struct TRVItemEntry {
    std::string Text;
    std::unique_ptr<TCustomRVItemInfo> Item;
};

class TRVItemList {
public:
    int Count() const { return int(FItems.size()); }
    TRVItemEntry& operator[](int i) { return FItems[size_t(i)]; }
    const TRVItemEntry& operator[](int i) const { return FItems[size_t(i)]; }
    std::vector<TRVItemEntry>& Entries() { return FItems; }

private:
    std::vector<TRVItemEntry> FItems;
};

// The list markers of a document in document order.
class TRVMarkerList {
public:
    int Count() const { return int(FItems.size()); }
    TRVMarkerItemInfo* operator[](int i) const { return FItems[size_t(i)]; }
    int IndexOf(const TRVMarkerItemInfo* marker) const;
    void Insert(int index, TRVMarkerItemInfo* marker) {
        FItems.insert(FItems.begin() + index, marker);
    }
    void Delete(int index) { FItems.erase(FItems.begin() + index); }
    void Clear() { FItems.clear(); }
    // Recomputes counters and marker texts from index From to the end.
    void RenumberFrom(int from, TRVStyle* style);

private:
    std::vector<TRVMarkerItemInfo*> FItems;
};

// What an undoable edit changes in an item list, told to the document's recorder (an undo list)
// before the change, while the old state can still be read, or right after an insertion.
enum class TRVItemChangeKind { rvicText, rvicOptions, rvicTag, rvicExtraIntProperty };

class TRVItemChangeRecorder {
public:
    virtual ~TRVItemChangeRecorder() = default;
    virtual void ItemInserted(TCustomRVData& rvData, int itemNo) = 0;
    // The items First .. First + Count - 1 are about to be freed and removed.
    virtual void ItemsDeleting(TCustomRVData& rvData, int first, int count) = 0;
    // The item is about to be freed; its list entry stays.
    virtual void ItemReleasing(TCustomRVData& rvData, int itemNo) = 0;
    // Prop is the property code for rvicExtraIntProperty, else -1.
    virtual void ItemChanging(TCustomRVData& rvData, int itemNo, TRVItemChangeKind kind,
                              int prop) = 0;
};

// The kind of file an embedded control is written into.
enum class TRVSaveFormat { rvsfText, rvsfHTML, rvsfRTF };
// Places of an HTML page where a program may add code of its own: inside the head, as
// attributes of the body tag, at the start of the body and before its end.
enum class TRVHTMLSaveArea { rvhaHead, rvhaBodyAttribute, rvhaBody, rvhaEnd };

class TCustomRVData : public TPersistent {
public:
    TCustomRVData();
    ~TCustomRVData() override;
    std::string ClassName() const override { return "TCustomRVData"; }

    // ---- Questions a formatted, control-bound or cell document answers differently.
    virtual TRVStyle* GetRVStyle() const { return FStyle; }
    void SetRVStyle(TRVStyle* style) { FStyle = style; }
    virtual TRVOptions GetOptions() const { return FOptions; }
    virtual void SetOptions(TRVOptions value) { FOptions = value; }
    virtual TRVFOptions GetRVFOptions() const { return FRVFOptions; }
    virtual void SetRVFOptions(TRVFOptions value) { FRVFOptions = value; }
    virtual TRVRTFOptions GetRTFOptions() const { return FRTFOptions; }
    virtual void SetRTFOptions(TRVRTFOptions value) { FRTFOptions = value; }
    // A plain document's loads put stored style tables in place of the sheet's.
    virtual TRVFReaderStyleMode GetRVFTextStylesReadMode() const {
        return TRVFReaderStyleMode::rvf_sInsertMap;
    }
    virtual TRVFReaderStyleMode GetRVFParaStylesReadMode() const {
        return TRVFReaderStyleMode::rvf_sInsertMap;
    }
    virtual TCustomRVData* GetParentData() const { return nullptr; }
    TCustomRVData* GetRootData();
    // The same chain carried on past an editor laid over a table cell, whose own document has
    // no container: it answers with the edited cell's.
    virtual TCustomRVData* GetOuterParentData() const { return GetParentData(); }
    TCustomRVData* GetOuterRootData();
    virtual TRVBiDiMode GetBiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TRVBiDiMode value) { FBiDiMode = value; }
    virtual TWinControl* GetParentControl() const { return nullptr; }
    // The list markers of the document (a cell answers its containing document's).
    virtual TRVMarkerList* GetMarkers(bool allowCreate);
    // Whole document in the base: StartNo, StartOffs, EndNo, EndOffs.
    virtual void GetSelectionBounds(int& startNo, int& startOffs, int& endNo, int& endOffs) const;
    virtual void GetSelectionRange(TRVSelectionRangeKind kind, int& first, int& last) const;
    bool TagsArePChars() const { return GetOptions().Contains(TRVOption::rvoTagsArePChars); }

    // Notifications (the base fires the events below).
    virtual void DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                              TCustomRVData* rvData);
    virtual void DoControlAction(int action, int itemNo, TComponent* control);
    // A hyperlink was activated (clicked, or Enter on a focused hotspot); Id is its jump number.
    virtual void DoJump(int /*id*/) {}

    // Requests of the readers and writers, answered by the program (a viewer's events); a
    // nested document asks the root document.
    // A hyperlink read from RTF, before its item is made: the item's style number (a bullet
    // becomes a hotspot, a picture a hot picture), tag and name may change.
    virtual void ReadHyperlink(const std::string& target, const std::string& extras, int& styleNo,
                               TRVTag& tag, std::string& itemName);
    // The address of the hyperlink with jump number Id in HTML; False when the program gives
    // none (the item's string tag is written then).
    virtual bool URLNeeded(int id, std::string& url);
    // A picture of RVData's item about to be written beside an HTML page: False when the program
    // saved it itself, Location then being what the page refers to.
    virtual bool HTMLSaveImage(TCustomRVData* rvData, int itemNo, const std::string& path,
                               TColor background, std::string& location);
    // What stands for an embedded control in a file of the given kind (empty: nothing).
    virtual std::string SaveComponentToFile(const std::string& path, TPersistent* component,
                                            TRVSaveFormat format);
    // Code the program adds to an area of an HTML page.
    virtual std::string GetExtraHTMLCode(TRVHTMLSaveArea area, bool css);
    // RVF requests: an image list by its stored tag; a picture or control that has no body.
    virtual TCustomImageList* RVFImageListNeeded(int imageListTag);
    virtual std::unique_ptr<TGraphic> RVFPictureNeeded(const std::string& name, const TRVTag& tag);
    virtual TRVComponentPtr RVFControlNeeded(const std::string& name, const TRVTag& tag);
    // Document-level records met by the RVF reader.
    virtual void RVFBackgroundRead(TColor color, TBackgroundStyle style,
                                   std::unique_ptr<TGraphic> image);
    virtual void RVFLayoutRead(const TRVLayoutInfo& layout);

    std::function<void(TCustomRVData* sender, TRVItemAction action, TCustomRVItemInfo* item,
                       std::string& text, TCustomRVData* rvData)>
        OnItemAction;
    std::function<void(TCustomRVData* sender, int action, int itemNo, TComponent* control)>
        OnControlAction;

    // ---- Item list.
    int ItemCount() const { return FItems->Count(); }
    TRVItemList& Items() { return *FItems; }
    const TRVItemList& Items() const { return *FItems; }
    const std::string& GetItemText(int itemNo) const; // raw bytes
    virtual void SetItemText(int itemNo, const std::string& text);
    std::u16string GetItemTextW(int itemNo) const;
    TCustomRVItemInfo* GetItem(int itemNo) const;
    TCustomRVItemInfo* GetItemObject(int itemNo) const { return GetItem(itemNo); }
    int GetItemStyleNo(int itemNo) const;
    int GetItemParaNo(int itemNo) const;
    uint8_t ReadItemOptionBits(int itemNo) const;
    TRVTag ReadItemTag(int itemNo) const;
    virtual void SetItemTag(int itemNo, const TRVTag& tag);
    int GetItemCharCount(int itemNo) const;
    int ItemStartOffset(int itemNo) const;
    int ItemEndOffset(int itemNo) const;
    bool ItemStartsLine(int itemNo) const;
    bool ItemStartsParagraph(int itemNo) const;
    bool GetPageBreakBefore(int itemNo) const;
    int FindItemIndex(const TCustomRVItemInfo* item) const;
    int FindControlItem(const TComponent* control) const;
    void ClampItemIndex(int& index) const;
    int GetLineStartItem(int itemNo) const;
    int GetParagraphStartItem(int itemNo) const;
    void GetParagraphItemRange(int& first, int& last) const;
    int GetNextCharOffset(int itemNo, int offset) const;
    int GetPrevCharOffset(int itemNo, int offset) const;
    // The characters that end a word; a viewer answers its own list.
    virtual std::u16string GetDelimiters() const { return RVDefaultDelimiters; }
    bool IsDelimiterAt(int itemNo, int offset) const;
    void RequireItemClass(int itemNo, const std::function<bool(TCustomRVItemInfo*)>& isClass,
                          const char* unused = nullptr) const;
    uint32_t CodePageOfStyle(int styleNo) const;
    uint32_t GetItemCodePage(int itemNo) const { return CodePageOfStyle(GetItemStyleNo(itemNo)); }
    TRVBiDiMode GetItemBiDiMode(int itemNo) const;
    TRVBiDiMode GetParaBiDiMode(int paraNo) const;
    TRVCPInfo* GetItemCheckpointObject(int itemNo) const;
    bool CanMergeTextItems(int first, int second) const;
    void BeepIfUseSound() const;

    // ---- Building.
    void AppendItem(const std::string& text, std::unique_ptr<TCustomRVItemInfo> item);
    void AddTextParagraph(const std::string& text, int styleNo, int paraNo, const TRVTag& tag);
    void AddTextParagraphW(const std::u16string& text, int styleNo, int paraNo, const TRVTag& tag);
    void AddTextParagraphNoTag(const std::string& text, int styleNo, int paraNo);
    void AddBreak(uint8_t width = 1, TRVBreakStyle style = TRVBreakStyle::rvbsLine,
                  TColor color = clNone);
    void AddPictureItem(const std::string& name, std::unique_ptr<TGraphic> graphic, int paraNo,
                        TRVVAlign vAlign, const TRVTag& tag = TRVTag());
    void AddHotPicture(const std::string& name, std::unique_ptr<TGraphic> graphic, int paraNo,
                       TRVVAlign vAlign, const TRVTag& tag = TRVTag());
    void AddControlItem(const std::string& name, TRVComponentPtr control, int paraNo,
                        TRVVAlign vAlign, const TRVTag& tag = TRVTag());
    void AddBullet(const std::string& name, int imageIndex, TCustomImageList* imageList,
                   int imageListTag, int paraNo, const TRVTag& tag = TRVTag());
    void AddHotspot(const std::string& name, int imageIndex, int hotImageIndex,
                    TCustomImageList* imageList, int imageListTag, int paraNo,
                    const TRVTag& tag = TRVTag());
    bool GetItemExtraIntProperty(int itemNo, int prop, int& value) const {
        return GetItem(itemNo)->GetExtraIntProperty(prop, value);
    }
    virtual bool SetItemExtraIntProperty(int itemNo, int prop, int value);
    // Inserts an item with its text; notifications and marker registration included.
    virtual bool InsertItemObjectAt(int index, std::string text,
                                    std::unique_ptr<TCustomRVItemInfo> item);
    void MoveItemsFrom(TCustomRVData& source);
    void NotifyAllItemsInserting();

    // ---- Removing.
    virtual void ClearAllItems();
    virtual void DeleteItemRange(int first, int count);
    // Frees the item at the index (after notifications); the list entry stays.
    virtual void ReleaseItemAt(int itemNo);
    void ShareItemsOf(TCustomRVData& source);
    bool SharesItems() const { return FItems != FOwnItems.get(); }

    // ---- Option bits through the data (index-checked).
    virtual void SetItemJoinsPrevious(int itemNo, bool value);
    virtual void SetItemPageBreakBefore(int itemNo, bool value);
    virtual bool SetItemLineBreakBefore(int itemNo, bool value);

    // ---- Where undoable edits are recorded (null: nowhere). The editor that sets a recorder
    // clears it before the recorder goes.
    void SetChangeRecorder(TRVItemChangeRecorder* recorder) { FRecorder = recorder; }
    TRVItemChangeRecorder* ChangeRecorder() const { return FRecorder; }

    // ---- Checkpoints.
    TRVCPInfo* FirstCP = nullptr;
    TRVCPInfo* LastCP = nullptr;
    // The document-end checkpoint (after the last item): this document's own, or the source's
    // while the items are shared.
    TRVCPInfo* NotAddedCP = nullptr;
    int CPCount = 0;
    // Makes Cp the document-end checkpoint (replacing one there) and counts it.
    void TakeDocumentEndCheckpoint(std::unique_ptr<TRVCPInfo> cp);
    TRVCPInfo* SetCheckpointInfo(int itemNo, const std::string& name, const TRVTag& tag,
                                 bool raiseEvent);
    void SetDocumentEndCheckpoint(const std::string& name, const TRVTag& tag, bool raiseEvent);
    void RemoveCheckpoint(int itemNo);
    void LinkCheckpointInOrder(TRVCPInfo* cp);
    void DetachCheckpoint(TRVCPInfo* cp, bool decCount);
    // Frees an item's checkpoint or the document-end one.
    void DisposeCheckpoint(TRVCPInfo* cp, bool unlink, bool decCount);
    int GetCheckpointItemNo(const TRVCPInfo* cp) const;

    // ---- List markers.
    void AddMarkerToList(TRVMarkerItemInfo* marker);
    void RemoveMarkerFromList(TRVMarkerItemInfo* marker);
    // Markers inside the item's sub-documents join or leave this document's marker list, which
    // those sub-documents share while the item lies in the document.
    void AddSubDocumentMarkers(TCustomRVItemInfo* item);
    bool RemoveSubDocumentMarkers(TCustomRVItemInfo* item);
    int FindMarkerItemFrom(const TRVMarkerItemInfo* marker, int startItem) const;
    int FindLastMarkerOfLists(int start, const TRVIntegerList& listNos) const;
    void SetParagraphMarker(int itemNo, int listNo, int level, int startFrom, bool useStartFrom);
    int GetParagraphMarker(int itemNo, int& listNo, int& level, int& startFrom,
                           bool& useStartFrom) const;
    void RenumberMarkers();
    // Inside the bracket markers are listed without renumbering; the outermost end renumbers.
    void BeginMarkersUpdate() { ++FMarkerUpdateCount; }
    void EndMarkersUpdate() {
        if (FMarkerUpdateCount > 0 && --FMarkerUpdateCount == 0) RenumberMarkers();
    }

    // ---- Styles.
    virtual void CollectUsedStyles(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                   TRVIntegerList& usedList) const;
    virtual void RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                const TRVIntegerList& listMap);

    // ---- RVF.
    bool LoadFromRvfStream(TStream& stream);
    // Reads records into the document at Index; FirstItem/LastItem give the inserted range
    // (-1 when nothing was inserted) and Index moves past it. False on malformed input, which
    // takes back what the pass inserted, or with KeepPartial leaves the items read before the
    // failure (with the styles they use) and reports their range.
    bool RvfReadLoop(TStream& stream, int& index, int& firstItem, int& lastItem, bool& fullReformat,
                     bool loading = false, bool keepPartial = false);
    void SaveToRvfStream(TStream& stream, bool selectionOnly, TColor color = clNone,
                         TBackgroundStyle backStyle = TBackgroundStyle::bsNoBitmap,
                         TGraphic* backImage = nullptr, const TRVLayoutInfo* layout = nullptr);
    // Background and layout of the last load (also reported through the virtual hooks).
    TColor RVFLoadedColor = clNone;
    bool RVFLoadedColorValid = false; // the stream held a background record
    bool RVFLoadedLayoutValid = false;
    TRVLayoutInfo RVFLoadedLayout;

    // ---- Plain text, RTF, HTML.
    bool WriteTextToStream(TStream& stream, const std::string& path, int lineWidth,
                           bool selectionOnly, bool unicode);
    // Color and the background picture (when its style shows one) become the page background.
    virtual bool WriteRtfToStream(TStream& stream, bool selectionOnly, TColor color,
                                  TBackgroundStyle backStyle = TBackgroundStyle::bsNoBitmap,
                                  TGraphic* backImage = nullptr);
    virtual bool WriteHtmlToStream(TStream& stream, const std::string& path,
                                   const std::string& title, bool selectionOnly);
    virtual bool WriteHtmlCssToStream(TStream& stream, const std::string& path,
                                      const std::string& title, bool selectionOnly);
    bool SaveRtfToFile(const std::string& fileName, bool selectionOnly, TColor color,
                       TBackgroundStyle backStyle = TBackgroundStyle::bsNoBitmap,
                       TGraphic* backImage = nullptr);
    void BuildRtfColorTable(TRVColorList& colors, int& listLevelCount) const;
    // The items as an RTF sub-document (a table cell): paragraphs without the file header, at
    // a table nesting level (0: the main document). Color is the background behind them (the
    // cell's); RTF text is written the same on any background.
    void WriteRtfSubDocument(TStream& stream, TRVRTFWriteContext& ctx, int level, TColor color,
                             bool selectionOnly = false);
    // The colours items add to the RTF colour table (tables and their cells).
    void FillRtfTables(TRVColorList& colors) const;
    // Text a table adds to its rows (area 3) and cells (area 2); empty unless OnSaveRTFExtra of
    // the root document gives one.
    virtual std::string GetExtraRTFCode(int area, int row, int col);
    std::function<void(TCustomRVData* sender, int area, int row, int col, std::string& code)>
        OnSaveRTFExtra;
    // The items as an HTML sub-document (a table cell) with the writer's state.
    void WriteHtmlSubDocument(TStream& stream, TRVHTMLWriteContext& ctx, TColor color);

    // The paragraph mode of AddTextParagraph's ParaNo -1.
    bool AddParagraphMode = true;

    // A file name for a picture written by the HTML writers: "rvimg<N>" plus Extension, N
    // counting the pictures named by this document.
    std::string NextHtmlImageName(const std::string& extension);
    // Writes a picture beside an HTML page into the folder Path; the file name, or empty.
    virtual std::string SaveImageFileForHtml(const std::string& path, TGraphic* graphic);

protected:
    void CheckItemIndex(int itemNo) const;
    void FreeItem(int itemNo);
    virtual void ItemInsertedAt(int /*index*/) {}

private:
    void RvfWriteRecords(TStream& stream, int first, int last, int startOffs, int endOffs,
                         bool binary);
    void RvfWriteStyles(TStream& stream, bool binary) const;
    void ClearCheckpoints();
    void Record(int itemNo, TRVItemChangeKind kind, int prop = -1) {
        if (FRecorder) FRecorder->ItemChanging(*this, itemNo, kind, prop);
    }

    std::unique_ptr<TRVItemList> FOwnItems;
    TRVItemList* FItems;
    TRVStyle* FStyle = nullptr;
    TRVOptions FOptions;
    TRVRTFOptions FRTFOptions = TRVRTFOptions::FromBits(14);
    TRVFOptions FRVFOptions{TRVFOption::rvfoSavePicturesBody, TRVFOption::rvfoSaveControlsBody,
                            TRVFOption::rvfoSaveBack,         TRVFOption::rvfoLoadBack,
                            TRVFOption::rvfoSaveTextStyles,   TRVFOption::rvfoSaveParaStyles,
                            TRVFOption::rvfoSaveLayout,       TRVFOption::rvfoLoadLayout};
    TRVBiDiMode FBiDiMode = TRVBiDiMode::rvbdUnspecified;
    std::unique_ptr<TRVMarkerList> FMarkers;
    int FMarkerUpdateCount = 0;
    std::unique_ptr<TRVCPInfo> FOwnNotAddedCP;
    TRVItemChangeRecorder* FRecorder = nullptr;
    int FHtmlImageCounter = 0;
};

// A plain document: the data with nothing above it (used standalone and by tests).
class TRVDocument : public TCustomRVData {
public:
    std::string ClassName() const override { return "TRVDocument"; }
};

} // namespace epc
