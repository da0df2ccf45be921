#include "platform/core/Classes.h"

#include <algorithm>

#include "platform/core/Exceptions.h"
#include "platform/core/Strings.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

// ---- TPersistent -------------------------------------------------------------------------

void TPersistent::Assign(TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " +
                        (dest ? dest->ClassName() : std::string("nil")));
}

// ---- TComponent --------------------------------------------------------------------------

namespace {
bool IsValidIdent(const std::string& s) {
    if (s.empty()) return false;
    auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (!alpha(s[0])) return false;
    for (char c : s)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}
}  // namespace

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    BeginDestroy();
    // Tell everyone who asked; each may unsubscribe while being told.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        auto& back = other->FFreeNotifies;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::BeginDestroy() {
    if (Destroying()) return;
    FComponentState.Include(TComponentStateItem::csDestroying);
    for (TComponent* c : FComponents) c->BeginDestroy();
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EListError(FormatMessage(SListIndexError, index));
    return FComponents[size_t(index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner) return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TComponent::SetName(const std::string& newName) {
    if (newName == FName) return;
    if (!newName.empty() && !IsValidIdent(newName))
        throw EComponentError("'" + newName + "' is not a valid component name");
    if (!newName.empty() && FOwner) {
        TComponent* other = FOwner->FindComponent(newName);
        if (other && other != this)
            throw EComponentError("A component named " + newName + " already exists");
    }
    FName = newName;
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    FComponentState.Include(TComponentStateItem::csFreeNotification);
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end()) {
        FFreeNotifies.push_back(component);
        component->FreeNotification(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    RemoveNotification(component);
    if (component) component->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* component) {
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component),
                        FFreeNotifies.end());
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component) return;
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    if (!component->FName.empty()) {
        TComponent* other = FindComponent(component->FName);
        if (other) throw EComponentError("A component named " + component->FName +
                                         " already exists");
    }
    Insert(component);
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->FOwner != this) return;
    Notification(component, TOperation::opRemove);
    Remove(component);
}

void TComponent::Insert(TComponent* component) {
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::Remove(TComponent* component) {
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component),
                      FComponents.end());
    component->FOwner = nullptr;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* instance = FComponents.back();
        Remove(instance);
        delete instance;
    }
}

void TComponent::Loaded() { FComponentState.Exclude(TComponentStateItem::csLoading); }

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
    // Owned components hear of what happens among their siblings, newest first.
    for (size_t i = FComponents.size(); i-- > 0;) {
        if (i < FComponents.size()) FComponents[i]->Notification(component, operation);
    }
}

void FreeComponent(TComponent* component) {
    if (!component) return;
    component->BeginDestroy();
    delete component;
}

// ---- TCollection -------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
    if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* value) {
    if (FCollection == value) return;
    if (FCollection) FCollection->RemoveItem(this);
    if (value) value->InsertItem(this);
}

int TCollectionItem::Index() const {
    if (!FCollection) return -1;
    auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : int(it - items.begin());
}

void TCollectionItem::SetIndex(int value) {
    int cur = Index();
    if (cur >= 0 && cur != value) {
        FCollection->MoveItem(cur, value);
        Changed(true);
    }
}

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

void TCollectionItem::Changed(bool allItems) {
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(std::string itemClassName, TItemFactory factory, TPersistent* owner)
    : FItemClassName(std::move(itemClassName)), FFactory(std::move(factory)), FOwner(owner) {}

TCollection::~TCollection() {
    FClearing = true;
    DestroyItems();
}

// Last first, each detached before it goes so that its destructor does not look the list up.
void TCollection::DestroyItems() {
    while (!FItems.empty()) {
        TCollectionItem* item = FItems.back();
        FItems.pop_back();
        item->FCollection = nullptr;
        delete item;
    }
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(FormatMessage(SListIndexError, index));
    return FItems[size_t(index)];
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = FFactory ? FFactory(this) : new TCollectionItem(this);
    if (item->FCollection != this) item->SetCollection(this);
    Changed();
    return item;
}

TCollectionItem* TCollection::Insert(int index) {
    BeginUpdate();
    auto endUpdate = Finally([this] { EndUpdate(); });
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index) {
    TCollectionItem* item = Items(index);
    delete item;  // its destructor removes it and notifies
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    FClearing = true;
    DestroyItems();
    FClearing = false;
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (TCollectionItem* item : FItems)
        if (item->FID == id) return item;
    return nullptr;
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TCollection*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    BeginUpdate();
    auto endUpdate = Finally([this] { EndUpdate(); });
    Clear();
    for (TCollectionItem* item : src->FItems) Add()->Assign(item);
}

void TCollection::Update(TCollectionItem* item) {
    if (OnUpdate) OnUpdate(this, item);
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
}

void TCollection::RemoveItem(TCollectionItem* item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    item->FCollection = nullptr;
    if (!FClearing) Changed();
}

void TCollection::MoveItem(int from, int to) {
    if (to < 0) to = 0;
    if (to >= Count()) to = Count() - 1;
    TCollectionItem* item = FItems[size_t(from)];
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, item);
}

// ---- TStringList -------------------------------------------------------------------------

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    if (FOwnsObjects)
        for (auto& item : FItems) delete item.object;
}

void TStringList::CheckIndex(int index, bool allowEnd) const {
    if (index < 0 || index > Count() || (index == Count() && !allowEnd))
        throw EListError(FormatMessage(SListIndexError, index));
}

void TStringList::FreeObject(TObject* object) {
    if (FOwnsObjects) delete object;
}

const std::string& TStringList::Strings(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)].s;
}

void TStringList::SetStrings(int index, const std::string& s) {
    if (FSorted) throw EListError("Operation not allowed on sorted list");
    CheckIndex(index);
    Changing();
    FItems[size_t(index)].s = s;
    Changed();
}

TObject* TStringList::Objects(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)].object;
}

void TStringList::SetObjects(int index, TObject* object) {
    CheckIndex(index);
    Changing();
    TObject* old = FItems[size_t(index)].object;
    FItems[size_t(index)].object = object;
    if (old != object) FreeObject(old);
    Changed();
}

int TStringList::AddObject(const std::string& s, TObject* object) {
    int index;
    if (!FSorted) {
        index = Count();
    } else if (Find(s, index)) {
        switch (FDuplicates) {
        case TDuplicates::dupIgnore: return index;
        case TDuplicates::dupError: throw EListError("String list does not allow duplicates");
        case TDuplicates::dupAccept: break;
        }
    }
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, object});
    Changed();
    return index;
}

void TStringList::InsertObject(int index, const std::string& s, TObject* object) {
    if (FSorted) throw EListError("Operation not allowed on sorted list");
    CheckIndex(index, true);
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    TObject* object = FItems[size_t(index)].object;
    FItems.erase(FItems.begin() + index);
    FreeObject(object);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    std::vector<Item> old;
    old.swap(FItems);
    for (auto& item : old) FreeObject(item.object);
    Changed();
}

void TStringList::Move(int from, int to) {
    if (from == to) return;
    CheckIndex(from);
    CheckIndex(to);
    Changing();
    Item item = FItems[size_t(from)];
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, item);
    Changed();
}

void TStringList::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    Changing();
    std::swap(FItems[size_t(a)], FItems[size_t(b)]);
    Changed();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
    if (FCaseSensitive) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return CompareText(a, b);
}

int TStringList::IndexOf(const std::string& s) const {
    if (FSorted) {
        int index;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(FItems[size_t(i)].s, s) == 0) return i;
    return -1;
}

int TStringList::IndexOfObject(const TObject* object) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)].object == object) return i;
    return -1;
}

std::string TStringList::Names(int index) const {
    const std::string& s = Strings(index);
    auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

int TStringList::IndexOfName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = FItems[size_t(i)].s;
        auto eq = s.find('=');
        if (eq != std::string::npos && CompareStrings(s.substr(0, eq), name) == 0) return i;
    }
    return -1;
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& s = Strings(index);
    auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

std::string TStringList::Values(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(const std::string& name, const std::string& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i < 0) {
        Add(name + "=" + value);
    } else {
        Changing();
        FItems[size_t(i)].s = name + "=" + value;
        Changed();
    }
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(FItems[size_t(mid)].s, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != TDuplicates::dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(), [this](const Item& a, const Item& b) {
        return CompareStrings(a.s, b.s) < 0;
    });
    Changed();
}

void TStringList::CustomSort(const std::function<int(TStringList*, int, int)>& compare) {
    if (FSorted || Count() < 2) return;
    Changing();
    // Sort an index permutation, then apply it, so compare sees the list as it was.
    std::vector<int> order(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i) order[size_t(i)] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare(this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(FItems.size());
    for (int i : order) sorted.push_back(FItems[size_t(i)]);
    FItems.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (FSorted == value) return;
    if (value) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (FCaseSensitive == value) return;
    FCaseSensitive = value;
    if (FSorted) Sort();
}

std::string TStringList::Text() const {
    std::string out;
    for (const auto& item : FItems) {
        out += item.s;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(const std::string& text) {
    BeginUpdate();
    auto endUpdate = Finally([this] { EndUpdate(); });
    Clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
        Add(text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
}

void TStringList::LoadFromStream(TStream& stream) {
    int64_t size = stream.Size() - stream.Position();
    std::string text(size_t(std::max<int64_t>(0, size)), '\0');
    int64_t got = text.empty() ? 0 : stream.Read(text.data(), int64_t(text.size()));
    text.resize(size_t(got));
    SetText(text);
}

void TStringList::SaveToStream(TStream& stream) const { stream.WriteString(Text()); }

void TStringList::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TStringList::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

void TStringList::BeginUpdate() {
    if (FUpdateCount++ == 0) Changing();
}

void TStringList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TStringList::Changing() {
    if (FUpdateCount == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TStringList::Assign(TPersistent* source) {
    auto* src = dynamic_cast<TStringList*>(source);
    if (!src) {
        TPersistent::Assign(source);
        return;
    }
    if (src == this) return;
    BeginUpdate();
    auto endUpdate = Finally([this] { EndUpdate(); });
    Clear();
    for (const auto& item : src->FItems) AddObject(item.s, FOwnsObjects ? nullptr : item.object);
}

}  // namespace epc
