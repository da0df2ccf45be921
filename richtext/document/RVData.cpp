#include "richtext/document/RVData.h"

#include <algorithm>
#include <map>

#include "platform/core/Strings.h"
#include "platform/graphics/Graphics.h"
#include "richtext/document/RVFuncs.h"
#include "richtext/document/RVUni.h"

namespace epc {

// ---------------------------------------------------------------- markers

int TRVMarkerList::IndexOf(const TRVMarkerItemInfo* marker) const {
    for (int i = Count() - 1; i >= 0; --i)
        if (FItems[size_t(i)] == marker) return i;
    return -1;
}

void TRVMarkerList::RenumberFrom(int from, TRVStyle* style) {
    constexpr int maxLevels = 10;
    struct ListState {
        int Counters[maxLevels] = {};
        bool Started[maxLevels] = {};
        TRVListLevel* Levels[maxLevels] = {}; // clamped to the list's last level
        bool Reset[maxLevels] = {};           // a lower level's marker restarts this one
    };
    std::map<int, ListState> lists;
    auto stateOf = [&](int listNo) -> ListState& {
        auto it = lists.find(listNo);
        if (it != lists.end()) return it->second;
        ListState& st = lists[listNo];
        for (int d = 0; d < maxLevels; ++d) {
            st.Levels[d] = GetMarkerListLevel(style, listNo, d);
            st.Reset[d] =
                !st.Levels[d] || st.Levels[d]->Options.Contains(TRVListLevelOption::rvloLevelReset);
        }
        return st;
    };
    // Counters depend on every earlier marker, so the walk starts at the beginning; only the
    // markers from From on change.
    std::vector<int> counters;
    std::vector<TRVListType> types;
    for (int i = 0; i < Count(); ++i) {
        TRVMarkerItemInfo* m = FItems[size_t(i)];
        if (m->ListNo < 0) {
            if (i >= from) {
                m->Counter = 0;
                m->MarkerText.clear();
            }
            continue;
        }
        ListState& st = stateOf(m->ListNo);
        // A level beyond the list's last one shows as that last level, so it counts as it too.
        const int levelCount = style && m->ListNo < style->ListStyles.Count()
                                   ? style->ListStyles[m->ListNo].LevelCount()
                                   : maxLevels;
        int level = std::clamp(int(m->Level), 0, std::clamp(levelCount, 1, maxLevels) - 1);
        TRVListLevel* info = st.Levels[level];
        int startFrom = info ? info->StartFrom : 1;
        if (m->Reset)
            st.Counters[level] = m->StartFrom;
        else if (!st.Started[level])
            st.Counters[level] = startFrom;
        else
            ++st.Counters[level];
        st.Started[level] = true;
        for (int d = level + 1; d < maxLevels; ++d)
            if (st.Reset[d]) st.Started[d] = false;
        if (i < from) continue;
        m->Counter = st.Counters[level];
        if (info) {
            if (!info->HasNumbering()) {
                m->MarkerText = info->FormatString;
                continue;
            }
            counters.assign(st.Counters, st.Counters + level + 1);
            types.clear();
            for (int k = 0; k <= level; ++k)
                types.push_back(st.Levels[k] ? st.Levels[k]->ListType : info->ListType);
            m->MarkerText = info->GetMarkerText(counters, types);
        } else {
            m->MarkerText.clear();
        }
    }
}

// ---------------------------------------------------------------- construction

TCustomRVData::TCustomRVData() : FOwnItems(std::make_unique<TRVItemList>()) {
    FItems = FOwnItems.get();
}

TCustomRVData::~TCustomRVData() {
    try {
        ClearAllItems();
    } catch (...) {
    }
}

TCustomRVData* TCustomRVData::GetRootData() {
    TCustomRVData* d = this;
    while (TCustomRVData* p = d->GetParentData())
        d = p;
    return d;
}

TCustomRVData* TCustomRVData::GetOuterRootData() {
    TCustomRVData* d = this;
    while (TCustomRVData* p = d->GetOuterParentData())
        d = p;
    return d;
}

TRVMarkerList* TCustomRVData::GetMarkers(bool allowCreate) {
    if (!FMarkers && allowCreate) FMarkers = std::make_unique<TRVMarkerList>();
    return FMarkers.get();
}

void TCustomRVData::GetSelectionBounds(int& startNo, int& startOffs, int& endNo,
                                       int& endOffs) const {
    if (ItemCount() == 0) {
        startNo = endNo = -1;
        startOffs = endOffs = 0;
        return;
    }
    startNo = 0;
    startOffs = ItemStartOffset(0);
    endNo = ItemCount() - 1;
    endOffs = ItemEndOffset(endNo);
}

void TCustomRVData::GetSelectionRange(TRVSelectionRangeKind, int& first, int& last) const {
    int so, eo;
    GetSelectionBounds(first, so, last, eo);
}

void TCustomRVData::DoItemAction(TRVItemAction action, TCustomRVItemInfo* item, std::string& text,
                                 TCustomRVData* rvData) {
    if (OnItemAction) OnItemAction(this, action, item, text, rvData);
}

void TCustomRVData::DoControlAction(int action, int itemNo, TComponent* control) {
    if (OnControlAction) OnControlAction(this, action, itemNo, control);
}

TCustomImageList* TCustomRVData::RVFImageListNeeded(int) {
    return nullptr;
}
std::unique_ptr<TGraphic> TCustomRVData::RVFPictureNeeded(const std::string&, const TRVTag&) {
    return nullptr;
}
TRVComponentPtr TCustomRVData::RVFControlNeeded(const std::string&, const TRVTag&) {
    return nullptr;
}

// The base document has nowhere to keep a background picture: it goes with the argument.
void TCustomRVData::RVFBackgroundRead(TColor color, TBackgroundStyle, std::unique_ptr<TGraphic>) {
    RVFLoadedColor = color;
    RVFLoadedColorValid = true;
}

void TCustomRVData::RVFLayoutRead(const TRVLayoutInfo& layout) {
    RVFLoadedLayout = layout;
    RVFLoadedLayoutValid = true;
}

// ---------------------------------------------------------------- item queries

void TCustomRVData::CheckItemIndex(int itemNo) const {
    if (itemNo < 0 || itemNo >= ItemCount()) throw ERichViewError(errRVItemRangeCheck);
}

const std::string& TCustomRVData::GetItemText(int itemNo) const {
    CheckItemIndex(itemNo);
    return (*FItems)[itemNo].Text;
}

void TCustomRVData::SetItemText(int itemNo, const std::string& text) {
    CheckItemIndex(itemNo);
    Record(itemNo, TRVItemChangeKind::rvicText);
    (*FItems)[itemNo].Text = text;
}

std::u16string TCustomRVData::GetItemTextW(int itemNo) const {
    CheckItemIndex(itemNo);
    const TRVItemEntry& e = (*FItems)[itemNo];
    return ItemTextToWide(e.Text, e.Item->ItemOptions, CodePageOfStyle(e.Item->StyleNo));
}

TCustomRVItemInfo* TCustomRVData::GetItem(int itemNo) const {
    CheckItemIndex(itemNo);
    return (*FItems)[itemNo].Item.get();
}

int TCustomRVData::GetItemStyleNo(int itemNo) const {
    return GetItem(itemNo)->StyleNo;
}
int TCustomRVData::GetItemParaNo(int itemNo) const {
    return GetItem(itemNo)->ParaNo;
}
uint8_t TCustomRVData::ReadItemOptionBits(int itemNo) const {
    return GetItem(itemNo)->ItemOptions;
}
TRVTag TCustomRVData::ReadItemTag(int itemNo) const {
    return GetItem(itemNo)->Tag;
}
void TCustomRVData::SetItemTag(int itemNo, const TRVTag& tag) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    Record(itemNo, TRVItemChangeKind::rvicTag);
    item->Tag = tag;
}

bool TCustomRVData::SetItemExtraIntProperty(int itemNo, int prop, int value) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    int old = 0;
    if (!item->GetExtraIntProperty(prop, old)) return false;
    Record(itemNo, TRVItemChangeKind::rvicExtraIntProperty, prop);
    return item->SetExtraIntProperty(prop, value);
}

int TCustomRVData::GetItemCharCount(int itemNo) const {
    const TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->StyleNo < 0) return 1;
    return GetTextCharLength((*FItems)[itemNo].Text, item->ItemOptions);
}

int TCustomRVData::ItemStartOffset(int itemNo) const {
    return GetItem(itemNo)->StyleNo >= 0 ? 1 : 0;
}

int TCustomRVData::ItemEndOffset(int itemNo) const {
    const TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->StyleNo < 0) return 1;
    return GetTextCharLength((*FItems)[itemNo].Text, item->ItemOptions) + 1;
}

bool TCustomRVData::ItemStartsLine(int itemNo) const {
    return !GetItem(itemNo)->GetJoinsPrevious();
}

bool TCustomRVData::ItemStartsParagraph(int itemNo) const {
    return GetItem(itemNo)->StartsParagraph();
}

bool TCustomRVData::GetPageBreakBefore(int itemNo) const {
    CheckItemIndex(itemNo);
    // The text after a list marker shares the marker's paragraph start.
    if (itemNo > 0 && !GetItem(itemNo)->StartsParagraph() &&
        GetItem(itemNo - 1)->StyleNo == rvsListMarker)
        return GetItem(itemNo - 1)->GetPageBreakBefore();
    return GetItem(itemNo)->GetPageBreakBefore();
}

int TCustomRVData::FindItemIndex(const TCustomRVItemInfo* item) const {
    // From the end: the item asked about is most often the one just appended.
    for (int i = ItemCount() - 1; i >= 0; --i)
        if ((*FItems)[i].Item.get() == item) return i;
    return -1;
}

int TCustomRVData::FindControlItem(const TComponent* control) const {
    if (!control) return -1;
    for (int i = 0; i < ItemCount(); ++i)
        if ((*FItems)[i].Item->OwnsControl(control)) return i;
    return -1;
}

void TCustomRVData::ClampItemIndex(int& index) const {
    index = std::clamp(index, 0, std::max(ItemCount() - 1, 0));
}

int TCustomRVData::GetLineStartItem(int itemNo) const {
    CheckItemIndex(itemNo);
    while (itemNo > 0 && (*FItems)[itemNo].Item->GetJoinsPrevious())
        --itemNo;
    return itemNo;
}

int TCustomRVData::GetParagraphStartItem(int itemNo) const {
    CheckItemIndex(itemNo);
    while (itemNo > 0 && !(*FItems)[itemNo].Item->StartsParagraph())
        --itemNo;
    return itemNo;
}

void TCustomRVData::GetParagraphItemRange(int& first, int& last) const {
    if (ItemCount() == 0) return;
    ClampItemIndex(first);
    ClampItemIndex(last);
    first = GetParagraphStartItem(first);
    while (last + 1 < ItemCount() && !(*FItems)[last + 1].Item->StartsParagraph())
        ++last;
}

int TCustomRVData::GetNextCharOffset(int itemNo, int offset) const {
    const TRVItemEntry& e = (*FItems)[(CheckItemIndex(itemNo), itemNo)];
    if (e.Item->StyleNo < 0 || !e.Item->IsUnicode()) return offset + 1;
    std::u16string w = BytesToWide(std::string_view(e.Text).substr(0, e.Text.size() & ~1u));
    if (offset < 1 || offset > int(w.size())) return offset + 1;
    return int(CharNextW(w, size_t(offset - 1))) + 1;
}

int TCustomRVData::GetPrevCharOffset(int itemNo, int offset) const {
    const TRVItemEntry& e = (*FItems)[(CheckItemIndex(itemNo), itemNo)];
    if (e.Item->StyleNo < 0 || !e.Item->IsUnicode()) return offset - 1;
    std::u16string w = BytesToWide(std::string_view(e.Text).substr(0, e.Text.size() & ~1u));
    if (offset <= 1 || offset > int(w.size()) + 1) return offset - 1;
    return int(CharPrevW(w, size_t(offset - 1))) + 1;
}

bool TCustomRVData::IsDelimiterAt(int itemNo, int offset) const {
    const TRVItemEntry& e = (*FItems)[(CheckItemIndex(itemNo), itemNo)];
    if (e.Item->StyleNo < 0) return false;
    int len = GetTextCharLength(e.Text, e.Item->ItemOptions);
    if (offset < 1 || offset > len) return false;
    char16_t c;
    if (e.Item->IsUnicode())
        c = char16_t(uint8_t(e.Text[size_t(offset - 1) * 2]) |
                     (uint16_t(uint8_t(e.Text[size_t(offset - 1) * 2 + 1])) << 8));
    else
        c = char16_t(uint8_t(e.Text[size_t(offset - 1)]));
    return GetDelimiters().find(c) != std::u16string::npos;
}

void TCustomRVData::RequireItemClass(int itemNo,
                                     const std::function<bool(TCustomRVItemInfo*)>& isClass,
                                     const char*) const {
    if (!isClass(GetItem(itemNo))) throw ERichViewError(errRVTypesMismatch);
}

uint32_t TCustomRVData::CodePageOfStyle(int styleNo) const {
    TRVStyle* style = GetRVStyle();
    if (!style) return 0;
    if (styleNo < 0) return style->DefCodePage;
    int charset = style->TextStyles[styleNo].Charset;
    if (charset == DEFAULT_CHARSET) return style->DefCodePage;
    return CharsetToCodePage(charset);
}

TRVBiDiMode TCustomRVData::GetParaBiDiMode(int paraNo) const {
    TRVStyle* style = GetRVStyle();
    if (style) {
        TRVBiDiMode m = style->ParaStyles[paraNo].BiDiMode;
        if (m != TRVBiDiMode::rvbdUnspecified) return m;
    }
    return GetBiDiMode();
}

TRVBiDiMode TCustomRVData::GetItemBiDiMode(int itemNo) const {
    const TCustomRVItemInfo* item = GetItem(itemNo);
    TRVStyle* style = GetRVStyle();
    if (style && item->StyleNo >= 0) {
        TRVBiDiMode m = style->TextStyles[item->StyleNo].BiDiMode;
        if (m != TRVBiDiMode::rvbdUnspecified) return m;
    }
    return GetParaBiDiMode(item->ParaNo);
}

TRVCPInfo* TCustomRVData::GetItemCheckpointObject(int itemNo) const {
    return GetItem(itemNo)->Checkpoint.get();
}

bool TCustomRVData::CanMergeTextItems(int first, int second) const {
    if (first < 0 || second < 0 || first >= ItemCount() || second >= ItemCount()) return false;
    const TRVItemEntry& a = (*FItems)[first];
    const TRVItemEntry& b = (*FItems)[second];
    if (a.Item->StyleNo < 0 || a.Item->StyleNo != b.Item->StyleNo) return false;
    if (a.Item->IsUnicode() != b.Item->IsUnicode()) return false;
    if (!(a.Item->Tag == b.Item->Tag) || b.Item->Checkpoint) return false;
    if (a.Text.empty() || b.Text.empty()) return false;
    // Joining across a paragraph or line start would lose that break.
    if (!b.Item->GetJoinsPrevious()) return false;
    TRVStyle* style = GetRVStyle();
    if (style && style->TextStyles[a.Item->StyleNo].Protection.Contains(
                     TRVProtectOption::rvprConcateProtect))
        return false;
    return true;
}

void TCustomRVData::BeepIfUseSound() const {
    TRVStyle* style = const_cast<TCustomRVData*>(this)->GetRVStyle();
    if (style && style->UseSound) RVBeep();
}

// ---------------------------------------------------------------- building

bool TCustomRVData::InsertItemObjectAt(int index, std::string text,
                                       std::unique_ptr<TCustomRVItemInfo> owned) {
    index = std::clamp(index, 0, ItemCount());
    TCustomRVItemInfo* item = owned.get();
    item->NotifyInserting(this, text);
    auto& entries = FItems->Entries();
    if (size_t(index) == entries.size())
        entries.push_back(TRVItemEntry{std::move(text), std::move(owned)});
    else
        entries.insert(entries.begin() + index, TRVItemEntry{std::move(text), std::move(owned)});
    if (index == 0 && item->StartsParagraph() == false && ItemCount() == 1) {
        // The first item of a document starts its first paragraph.
        item->ItemOptions = uint8_t(item->ItemOptions & ~(rvioSameAsPrev | rvioBR));
    }
    item->NotifyInserted(this, index);
    if (TRVCPInfo* cp = item->Checkpoint.get()) {
        cp->ItemInfo = item;
        if (!cp->Prev && !cp->Next && FirstCP != cp) {
            LinkCheckpointInOrder(cp);
            ++CPCount;
        }
    }
    if (item->StyleNo == rvsListMarker)
        AddMarkerToList(static_cast<TRVMarkerItemInfo*>(item));
    else
        AddSubDocumentMarkers(item);
    ItemInsertedAt(index);
    if (FRecorder) FRecorder->ItemInserted(*this, index);
    return true;
}

void TCustomRVData::AppendItem(const std::string& text, std::unique_ptr<TCustomRVItemInfo> item) {
    InsertItemObjectAt(ItemCount(), text, std::move(item));
}

namespace {

// Option bits and paragraph of an appended item for a ParaNo argument (-1: same paragraph).
void PlaceAppended(TCustomRVData& data, TCustomRVItemInfo* item, int paraNo) {
    int n = data.ItemCount();
    if (paraNo < 0) {
        if (n == 0) {
            item->ParaNo = 0;
        } else {
            item->ParaNo = data.GetItem(n - 1)->ParaNo;
            if (item->IsFullLine() || data.GetItem(n - 1)->IsFullLine())
                item->SetJoinsPrevious(false);
            else
                item->SetJoinsPrevious(true);
        }
        return;
    }
    item->ParaNo = paraNo;
    if (!data.AddParagraphMode && n > 0 && !item->IsFullLine() &&
        !data.GetItem(n - 1)->IsFullLine())
        item->SetLineBreakBefore(true);
}

} // namespace

void TCustomRVData::AddTextParagraph(const std::string& text, int styleNo, int paraNo,
                                     const TRVTag& tag) {
    TRVStyle* style = GetRVStyle();
    auto item = std::make_unique<TRVTextItemInfo>(this);
    item->StyleNo = styleNo;
    item->Tag = tag;
    std::string s = text;
    int spaces = style ? style->SpacesInTab : 0;
    if (style && style->TextStyles[styleNo].Unicode) {
        s = AnsiToUnicodeCP(s, CodePageOfStyle(styleNo));
        if (spaces > 0) s = ExpandTabsW(s, spaces);
        item->ItemOptions |= rvioUnicode;
    } else if (spaces > 0) {
        s = ExpandTabsA(s, spaces);
    }
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(s, std::move(item));
}

void TCustomRVData::AddTextParagraphW(const std::u16string& text, int styleNo, int paraNo,
                                      const TRVTag& tag) {
    TRVStyle* style = GetRVStyle();
    auto item = std::make_unique<TRVTextItemInfo>(this);
    item->StyleNo = styleNo;
    item->Tag = tag;
    std::string s;
    int spaces = style ? style->SpacesInTab : 0;
    if (style && !style->TextStyles[styleNo].Unicode) {
        s = WideToAnsi(text, CodePageOfStyle(styleNo));
        if (spaces > 0) s = ExpandTabsA(s, spaces);
    } else {
        s = WideToBytes(text);
        if (spaces > 0) s = ExpandTabsW(s, spaces);
        item->ItemOptions |= rvioUnicode;
    }
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(s, std::move(item));
}

void TCustomRVData::AddTextParagraphNoTag(const std::string& text, int styleNo, int paraNo) {
    TRVStyle* style = GetRVStyle();
    auto item = std::make_unique<TRVTextItemInfo>(this);
    item->StyleNo = styleNo;
    std::string s = text;
    int spaces = style ? style->SpacesInTab : 0;
    bool unicode = style && style->TextStyles[styleNo].Unicode;
    if (unicode) {
        item->ItemOptions |= rvioUnicode;
        if (s.size() % 2) s.pop_back(); // a stray odd byte cannot be UTF-16
        if (spaces > 0) s = ExpandTabsW(s, spaces);
    } else if (spaces > 0) {
        s = ExpandTabsA(s, spaces);
    }
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(s, std::move(item));
}

void TCustomRVData::AddBreak(uint8_t width, TRVBreakStyle style, TColor color) {
    auto item = std::make_unique<TRVBreakItemInfo>(this, width, style, color);
    item->ParaNo = 0;
    AppendItem(std::string(), std::move(item));
}

void TCustomRVData::AddPictureItem(const std::string& name, std::unique_ptr<TGraphic> graphic,
                                   int paraNo, TRVVAlign vAlign, const TRVTag& tag) {
    auto item = TRVGraphicItemInfo::CreateWithGraphic(this, std::move(graphic), vAlign);
    item->Tag = tag;
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(name, std::move(item));
}

void TCustomRVData::AddHotPicture(const std::string& name, std::unique_ptr<TGraphic> graphic,
                                  int paraNo, TRVVAlign vAlign, const TRVTag& tag) {
    auto item = std::make_unique<TRVHotGraphicItemInfo>(this);
    item->Image = std::move(graphic);
    item->VAlign = vAlign;
    item->Tag = tag;
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(name, std::move(item));
}

void TCustomRVData::AddControlItem(const std::string& name, TRVComponentPtr control, int paraNo,
                                   TRVVAlign vAlign, const TRVTag& tag) {
    TComponent* shown = control.get();
    auto owned = std::make_unique<TRVControlItemInfo>(this, std::move(control), vAlign);
    TRVControlItemInfo* item = owned.get();
    item->Tag = tag;
    PlaceAppended(*this, item, paraNo);
    AppendItem(name, std::move(owned));
    item->ParentControl(this);
    DoControlAction(0, ItemCount() - 1, shown);
}

void TCustomRVData::AddBullet(const std::string& name, int imageIndex, TCustomImageList* imageList,
                              int imageListTag, int paraNo, const TRVTag& tag) {
    auto item = std::make_unique<TRVBulletItemInfo>(this);
    item->ImageIndex = imageIndex;
    item->ImageList = imageList;
    item->ImageListTag = imageListTag;
    item->Tag = tag;
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(name, std::move(item));
}

void TCustomRVData::AddHotspot(const std::string& name, int imageIndex, int hotImageIndex,
                               TCustomImageList* imageList, int imageListTag, int paraNo,
                               const TRVTag& tag) {
    auto item = std::make_unique<TRVHotspotItemInfo>(this);
    item->ImageIndex = imageIndex;
    item->HotImageIndex = hotImageIndex;
    item->ImageList = imageList;
    item->ImageListTag = imageListTag;
    item->Tag = tag;
    PlaceAppended(*this, item.get(), paraNo);
    AppendItem(name, std::move(item));
}

void TCustomRVData::MoveItemsFrom(TCustomRVData& source) {
    if (&source == this || source.SharesItems()) return;
    auto& src = source.FItems->Entries();
    for (auto& entry : src) {
        TCustomRVItemInfo* item = entry.Item.get();
        if (item->Checkpoint) source.DetachCheckpoint(item->Checkpoint.get(), true);
        if (item->StyleNo == rvsListMarker)
            source.RemoveMarkerFromList(static_cast<TRVMarkerItemInfo*>(item));
        if (!item->StartsParagraph()) {
            // Continuation items take the paragraph they now continue.
            if (ItemCount() > 0) item->ParaNo = GetItem(ItemCount() - 1)->ParaNo;
        }
        FItems->Entries().push_back(TRVItemEntry{std::move(entry.Text), std::move(entry.Item)});
        int index = ItemCount() - 1;
        if (index == 0) item->ItemOptions = uint8_t(item->ItemOptions & ~(rvioSameAsPrev | rvioBR));
        if (TRVCPInfo* cp = item->Checkpoint.get()) {
            cp->ItemInfo = item;
            LinkCheckpointInOrder(cp);
            ++CPCount;
        }
        if (item->StyleNo == rvsListMarker) AddMarkerToList(static_cast<TRVMarkerItemInfo*>(item));
    }
    src.clear();
    source.FirstCP = source.LastCP = nullptr;
}

void TCustomRVData::NotifyAllItemsInserting() {
    for (int i = 0; i < ItemCount(); ++i) {
        TRVItemEntry& e = (*FItems)[i];
        std::string text = e.Text;
        e.Item->NotifyInserting(this, text);
        e.Text = std::move(text);
    }
}

// ---------------------------------------------------------------- removing

void TCustomRVData::ClearCheckpoints() {
    FirstCP = LastCP = nullptr;
    CPCount = 0;
}

void TCustomRVData::ClearAllItems() {
    if (SharesItems()) {
        // The source owns the items and their checkpoints.
        FItems = FOwnItems.get();
        NotAddedCP = nullptr;
        ClearCheckpoints();
        if (FMarkers) FMarkers->Clear();
        return;
    }
    auto& entries = FItems->Entries();
    for (int i = int(entries.size()) - 1; i >= 0; --i) {
        if (entries[size_t(i)].Item) FreeItem(i);
    }
    entries.clear();
    if (FMarkers) FMarkers->Clear();
    FOwnNotAddedCP.reset();
    NotAddedCP = nullptr;
    ClearCheckpoints();
}

void TCustomRVData::FreeItem(int itemNo) {
    TRVItemEntry& e = (*FItems)[itemNo];
    TCustomRVItemInfo* item = e.Item.get();
    if (!item) return;
    DoItemAction(rviaDestroying, item, e.Text, this);
    if (item->GetStateFlag(rvisHasControl)) {
        if (auto* c = dynamic_cast<TRVControlItemInfo*>(item))
            DoControlAction(1, itemNo, c->Control.get());
    }
    if (item->Checkpoint) DetachCheckpoint(item->Checkpoint.get(), true);
    if (item->StyleNo == rvsListMarker) {
        if (TRVMarkerList* markers = GetMarkers(false)) {
            int i = markers->IndexOf(static_cast<TRVMarkerItemInfo*>(item));
            if (i >= 0) markers->Delete(i);
        }
    } else {
        // Markers of the item's sub-documents (table cells) are listed here too.
        RemoveSubDocumentMarkers(item);
    }
    e.Item.reset();
}

void TCustomRVData::ReleaseItemAt(int itemNo) {
    CheckItemIndex(itemNo);
    if (FRecorder && (*FItems)[itemNo].Item) FRecorder->ItemReleasing(*this, itemNo);
    FreeItem(itemNo);
}

void TCustomRVData::DeleteItemRange(int first, int count) {
    if (SharesItems() || count <= 0) return;
    CheckItemIndex(first);
    count = std::min(count, ItemCount() - first);
    if (FRecorder) FRecorder->ItemsDeleting(*this, first, count);
    bool hadMarkers = false;
    for (int i = first; i < first + count; ++i) {
        // An entry whose item was released already is only removed.
        const TCustomRVItemInfo* item = (*FItems)[i].Item.get();
        if (item && item->StyleNo == rvsListMarker) hadMarkers = true;
        if (item && item->StyleNo != rvsListMarker &&
            RemoveSubDocumentMarkers((*FItems)[i].Item.get()))
            hadMarkers = true;
        FreeItem(i);
    }
    auto& entries = FItems->Entries();
    entries.erase(entries.begin() + first, entries.begin() + first + count);
    if (first == 0 && ItemCount() > 0) {
        if (TCustomRVItemInfo* item = (*FItems)[0].Item.get())
            item->ItemOptions = uint8_t(item->ItemOptions & ~(rvioSameAsPrev | rvioBR));
    }
    if (hadMarkers) RenumberMarkers();
}

void TCustomRVData::ShareItemsOf(TCustomRVData& source) {
    ClearAllItems();
    FItems = source.FItems;
    FirstCP = source.FirstCP;
    LastCP = source.LastCP;
    NotAddedCP = source.NotAddedCP;
    CPCount = source.CPCount;
}

void TCustomRVData::SetItemJoinsPrevious(int itemNo, bool value) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    Record(itemNo, TRVItemChangeKind::rvicOptions);
    item->SetJoinsPrevious(value && itemNo > 0);
}

void TCustomRVData::SetItemPageBreakBefore(int itemNo, bool value) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    Record(itemNo, TRVItemChangeKind::rvicOptions);
    item->SetPageBreakBefore(value);
}

bool TCustomRVData::SetItemLineBreakBefore(int itemNo, bool value) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    Record(itemNo, TRVItemChangeKind::rvicOptions);
    return item->SetLineBreakBefore(value);
}

// ---------------------------------------------------------------- checkpoints

TRVCPInfo* TCustomRVData::SetCheckpointInfo(int itemNo, const std::string& name, const TRVTag& tag,
                                            bool raiseEvent) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    TRVCPInfo* cp = item->Checkpoint.get();
    if (!cp) {
        item->Checkpoint = std::make_unique<TRVCPInfo>();
        cp = item->Checkpoint.get();
        cp->ItemInfo = item;
        LinkCheckpointInOrder(cp);
        ++CPCount;
    }
    cp->Name = name;
    cp->Tag = tag;
    cp->RaiseEvent = raiseEvent;
    return cp;
}

void TCustomRVData::SetDocumentEndCheckpoint(const std::string& name, const TRVTag& tag,
                                             bool raiseEvent) {
    if (!NotAddedCP) TakeDocumentEndCheckpoint(std::make_unique<TRVCPInfo>());
    NotAddedCP->Name = name;
    NotAddedCP->Tag = tag;
    NotAddedCP->RaiseEvent = raiseEvent;
}

void TCustomRVData::TakeDocumentEndCheckpoint(std::unique_ptr<TRVCPInfo> cp) {
    if (NotAddedCP) DisposeCheckpoint(NotAddedCP, false, true);
    FOwnNotAddedCP = std::move(cp);
    NotAddedCP = FOwnNotAddedCP.get();
    if (NotAddedCP) ++CPCount;
}

void TCustomRVData::RemoveCheckpoint(int itemNo) {
    TCustomRVItemInfo* item = GetItem(itemNo);
    if (item->Checkpoint) DisposeCheckpoint(item->Checkpoint.get(), true, true);
}

void TCustomRVData::LinkCheckpointInOrder(TRVCPInfo* cp) {
    if (!cp) return;
    int index = FindItemIndex(cp->ItemInfo);
    if (index < 0) return;
    TRVCPInfo* prev = nullptr;
    for (int i = index - 1; i >= 0; --i) {
        TCustomRVItemInfo* item = (*FItems)[i].Item.get();
        if (item && item->Checkpoint && item->Checkpoint.get() != cp) {
            prev = item->Checkpoint.get();
            break;
        }
    }
    cp->Prev = prev;
    cp->Next = prev ? prev->Next : FirstCP;
    if (cp->Next) cp->Next->Prev = cp;
    if (prev)
        prev->Next = cp;
    else
        FirstCP = cp;
    if (!cp->Next) LastCP = cp;
}

void TCustomRVData::DetachCheckpoint(TRVCPInfo* cp, bool decCount) {
    if (!cp) return;
    bool linked = cp->Prev || cp->Next || FirstCP == cp;
    if (cp->Prev)
        cp->Prev->Next = cp->Next;
    else if (FirstCP == cp)
        FirstCP = cp->Next;
    if (cp->Next)
        cp->Next->Prev = cp->Prev;
    else if (LastCP == cp)
        LastCP = cp->Prev;
    cp->Prev = cp->Next = nullptr;
    if (decCount && (linked || cp == NotAddedCP) && CPCount > 0) --CPCount;
}

void TCustomRVData::DisposeCheckpoint(TRVCPInfo* cp, bool unlink, bool decCount) {
    if (!cp) return;
    if (unlink)
        DetachCheckpoint(cp, decCount);
    else if (decCount && CPCount > 0)
        --CPCount;
    // Freed by whichever owner holds it: its item or this document.
    if (NotAddedCP == cp) {
        NotAddedCP = nullptr;
        if (FOwnNotAddedCP.get() == cp) FOwnNotAddedCP.reset();
    } else if (cp->ItemInfo && cp->ItemInfo->Checkpoint.get() == cp) {
        cp->ItemInfo->Checkpoint.reset();
    }
}

int TCustomRVData::GetCheckpointItemNo(const TRVCPInfo* cp) const {
    if (!cp || cp == NotAddedCP) return -1;
    return FindItemIndex(cp->ItemInfo);
}

// ---------------------------------------------------------------- list markers

namespace {
// The listed marker nearest before item BeforeItem of Data in reading order, looking into the
// sub-documents of the items on the way; nullptr when there is none in Data.
TRVMarkerItemInfo* LastListedMarkerBefore(const TCustomRVData& data, int beforeItem,
                                          const TRVMarkerList& markers, int depth) {
    if (depth > 64) return nullptr;
    for (int i = std::min(beforeItem, data.ItemCount()) - 1; i >= 0; --i) {
        TCustomRVItemInfo* item = data.Items()[i].Item.get();
        if (!item) continue;
        if (item->StyleNo == rvsListMarker) {
            auto* m = static_cast<TRVMarkerItemInfo*>(item);
            if (markers.IndexOf(m) >= 0) return m;
            continue;
        }
        int subCount = 0;
        while (item->GetSubRVData(subCount))
            ++subCount;
        for (int k = subCount - 1; k >= 0; --k) {
            const TCustomRVData* sub = item->GetSubRVData(k);
            if (auto* m = LastListedMarkerBefore(*sub, sub->ItemCount(), markers, depth + 1))
                return m;
        }
    }
    return nullptr;
}
} // namespace

void TCustomRVData::AddMarkerToList(TRVMarkerItemInfo* marker) {
    TRVMarkerList* markers = GetMarkers(true);
    if (!markers || markers->IndexOf(marker) >= 0) return;
    // The list runs in reading order through the sub-documents (table cells) that share it, so
    // the new marker goes after the listed one nearest before it, wherever that one lives.
    TRVMarkerItemInfo* prev = nullptr;
    const TCustomRVData* data = this;
    int before = FindItemIndex(marker);
    if (before < 0) before = ItemCount();
    for (int depth = 0; data && depth < 64; ++depth) {
        prev = LastListedMarkerBefore(*data, before, *markers, 0);
        if (prev) break;
        TCustomRVData* parent = data->GetParentData();
        if (!parent || parent->GetMarkers(false) != markers) break;
        // Continue in the container: the sub-documents of the same item before this one, then
        // the items before it.
        int holder = -1, subIndex = -1;
        for (int i = 0; i < parent->ItemCount() && holder < 0; ++i)
            for (int k = 0; const TCustomRVData* sub = parent->GetItem(i)->GetSubRVData(k); ++k)
                if (sub == data) {
                    holder = i;
                    subIndex = k;
                    break;
                }
        if (holder < 0) break;
        TCustomRVItemInfo* item = parent->GetItem(holder);
        for (int k = subIndex - 1; k >= 0 && !prev; --k) {
            const TCustomRVData* sub = item->GetSubRVData(k);
            prev = LastListedMarkerBefore(*sub, sub->ItemCount(), *markers, 1);
        }
        if (prev) break;
        data = parent;
        before = holder;
    }
    const int pos = prev ? markers->IndexOf(prev) + 1 : 0;
    markers->Insert(pos, marker);
    if (FMarkerUpdateCount == 0) markers->RenumberFrom(pos, GetRVStyle());
}

void TCustomRVData::AddSubDocumentMarkers(TCustomRVItemInfo* item) {
    for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
        for (int i = 0; i < sub->ItemCount(); ++i) {
            TCustomRVItemInfo* inner = sub->GetItem(i);
            if (inner->StyleNo == rvsListMarker)
                sub->AddMarkerToList(static_cast<TRVMarkerItemInfo*>(inner));
            else
                sub->AddSubDocumentMarkers(inner);
        }
}

namespace {
bool RemoveSubDocumentMarkersFrom(TRVMarkerList& markers, TCustomRVItemInfo* item) {
    bool removed = false;
    for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
        for (int i = 0; i < sub->ItemCount(); ++i) {
            TCustomRVItemInfo* inner = sub->GetItem(i);
            if (inner->StyleNo == rvsListMarker) {
                int p = markers.IndexOf(static_cast<TRVMarkerItemInfo*>(inner));
                if (p >= 0) {
                    markers.Delete(p);
                    removed = true;
                }
            } else if (RemoveSubDocumentMarkersFrom(markers, inner)) {
                removed = true;
            }
        }
    return removed;
}
} // namespace

bool TCustomRVData::RemoveSubDocumentMarkers(TCustomRVItemInfo* item) {
    TRVMarkerList* markers = GetMarkers(false);
    return markers && markers->Count() > 0 && RemoveSubDocumentMarkersFrom(*markers, item);
}

void TCustomRVData::RemoveMarkerFromList(TRVMarkerItemInfo* marker) {
    TRVMarkerList* markers = GetMarkers(false);
    if (!markers) return;
    int i = markers->IndexOf(marker);
    if (i < 0) return;
    markers->Delete(i);
    markers->RenumberFrom(i, GetRVStyle());
}

void TCustomRVData::RenumberMarkers() {
    if (TRVMarkerList* markers = GetMarkers(false)) markers->RenumberFrom(0, GetRVStyle());
}

namespace {
bool DataContains(const TCustomRVData* data, const TCustomRVItemInfo* target, int depth) {
    if (depth > 64) return false;
    for (int i = 0; i < data->ItemCount(); ++i) {
        TCustomRVItemInfo* item = data->Items()[i].Item.get();
        if (item == target) return true;
        for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
            if (DataContains(sub, target, depth + 1)) return true;
    }
    return false;
}
} // namespace

int TCustomRVData::FindMarkerItemFrom(const TRVMarkerItemInfo* marker, int startItem) const {
    for (int i = std::max(startItem, 0); i < ItemCount(); ++i) {
        TCustomRVItemInfo* item = (*FItems)[i].Item.get();
        if (item == marker) return i;
        for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
            if (DataContains(sub, marker, 1)) return i;
    }
    return -1;
}

int TCustomRVData::FindLastMarkerOfLists(int start, const TRVIntegerList& listNos) const {
    TRVMarkerList* markers = const_cast<TCustomRVData*>(this)->GetMarkers(false);
    if (!markers) return -1;
    for (int i = markers->Count() - 1; i > start; --i)
        if (listNos.IndexOf((*markers)[i]->ListNo) >= 0) return i;
    return -1;
}

void TCustomRVData::SetParagraphMarker(int itemNo, int listNo, int level, int startFrom,
                                       bool useStartFrom) {
    int p = GetParagraphStartItem(itemNo);
    TCustomRVItemInfo* first = GetItem(p);
    if (first->StyleNo == rvsListMarker) {
        auto* m = static_cast<TRVMarkerItemInfo*>(first);
        if (listNo < 0) {
            // Removing the marker: the next item takes over the paragraph start.
            bool pageBreak = m->GetPageBreakBefore();
            if (p + 1 < ItemCount() && !GetItem(p + 1)->StartsParagraph()) {
                TCustomRVItemInfo* next = GetItem(p + 1);
                next->SetJoinsPrevious(false);
                next->SetLineBreakBefore(false);
                next->SetPageBreakBefore(pageBreak);
            }
            DeleteItemRange(p, 1);
            return;
        }
        m->ListNo = listNo;
        m->Level = level;
        m->StartFrom = startFrom;
        m->Reset = useStartFrom;
        RenumberMarkers();
        return;
    }
    if (listNo < 0) return;
    auto m = std::make_unique<TRVMarkerItemInfo>(this, listNo, level, startFrom, useStartFrom);
    m->ParaNo = first->ParaNo;
    m->SetPageBreakBefore(first->GetPageBreakBefore());
    first->SetJoinsPrevious(true);
    InsertItemObjectAt(p, std::string(), std::move(m));
}

int TCustomRVData::GetParagraphMarker(int itemNo, int& listNo, int& level, int& startFrom,
                                      bool& useStartFrom) const {
    int p = GetParagraphStartItem(itemNo);
    TCustomRVItemInfo* first = GetItem(p);
    if (first->StyleNo != rvsListMarker) {
        listNo = -1;
        level = 0;
        startFrom = 1;
        useStartFrom = false;
        return -1;
    }
    auto* m = static_cast<TRVMarkerItemInfo*>(first);
    listNo = m->ListNo;
    level = m->Level;
    startFrom = m->StartFrom;
    useStartFrom = m->Reset;
    return p;
}

// ---------------------------------------------------------------- styles

void TCustomRVData::CollectUsedStyles(TRVIntegerList& usedText, TRVIntegerList& usedPara,
                                      TRVIntegerList& usedList) const {
    for (int i = 0; i < ItemCount(); ++i) {
        TCustomRVItemInfo* item = (*FItems)[i].Item.get();
        item->MarkStylesInUse(usedText, usedPara, usedList);
        for (int k = 0; TCustomRVData* sub = item->GetSubRVData(k); ++k)
            sub->CollectUsedStyles(usedText, usedPara, usedList);
    }
}

void TCustomRVData::RenumberStyles(const TRVIntegerList& textMap, const TRVIntegerList& paraMap,
                                   const TRVIntegerList& listMap) {
    for (int i = 0; i < ItemCount(); ++i)
        (*FItems)[i].Item->RenumberStyles(textMap, paraMap, listMap);
}

void TCustomRVData::BuildRtfColorTable(TRVColorList& colors, int& listLevelCount) const {
    static const TColor fixed[17] = {clWindowText, clBlack, clMaroon,  clGreen,  clOlive, clNavy,
                                     clPurple,     clTeal,  clGray,    clSilver, clRed,   clLime,
                                     clYellow,     clBlue,  clFuchsia, clAqua,   clWhite};
    colors.Clear();
    for (TColor c : fixed)
        colors.AddValue(c);
    listLevelCount = 0;
    TRVStyle* style = GetRVStyle();
    if (!style) return;
    for (int i = 0; i < style->TextStyles.Count(); ++i) {
        const TFontInfo& f = style->TextStyles[i];
        colors.AddColorIfAbsent(f.Color);
        colors.AddColorIfAbsent(f.BackColor);
    }
    for (int i = 0; i < style->ParaStyles.Count(); ++i) {
        const TParaInfo& p = style->ParaStyles[i];
        if (p.Border.Style != TRVBorderStyle::rvbNone) colors.AddColorIfAbsent(p.Border.Color);
        colors.AddColorIfAbsent(p.Background.Color);
    }
    for (int i = 0; i < style->ListStyles.Count(); ++i) {
        const TRVListInfo& l = style->ListStyles[i];
        for (const auto& lvl : l.Levels) {
            colors.AddColorIfAbsent(lvl->Font.Color);
            ++listLevelCount;
        }
    }
}

void TCustomRVData::ReadHyperlink(const std::string& target, const std::string& extras,
                                  int& styleNo, TRVTag& tag, std::string& itemName) {
    if (styleNo == rvsBullet) styleNo = rvsHotspot;
    if (styleNo == rvsPicture) styleNo = rvsHotPicture;
    TCustomRVData* root = GetRootData();
    if (root && root != this) root->ReadHyperlink(target, extras, styleNo, tag, itemName);
}

bool TCustomRVData::URLNeeded(int id, std::string& url) {
    TCustomRVData* root = GetRootData();
    return root && root != this && root->URLNeeded(id, url);
}

bool TCustomRVData::HTMLSaveImage(TCustomRVData* rvData, int itemNo, const std::string& path,
                                  TColor background, std::string& location) {
    TCustomRVData* root = GetRootData();
    return !root || root == this || root->HTMLSaveImage(rvData, itemNo, path, background, location);
}

std::string TCustomRVData::SaveComponentToFile(const std::string& path, TPersistent* component,
                                               TRVSaveFormat format) {
    TCustomRVData* root = GetRootData();
    return root && root != this ? root->SaveComponentToFile(path, component, format)
                                : std::string();
}

std::string TCustomRVData::GetExtraHTMLCode(TRVHTMLSaveArea area, bool css) {
    TCustomRVData* root = GetRootData();
    return root && root != this ? root->GetExtraHTMLCode(area, css) : std::string();
}

std::string TCustomRVData::NextHtmlImageName(const std::string& extension) {
    return "rvimg" + std::to_string(++FHtmlImageCounter) + extension;
}

} // namespace epc
