#pragma once
// The framework's base classes: persistent objects, components with the owner rule and
// notifications, collections, and a string list with objects.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/Set.h"
#include "platform/core/Streams.h"
#include "platform/core/Types.h"

namespace epc {

class TFiler;  // component streaming

class TPersistent : public TObject {
public:
    std::string ClassName() const override { return "TPersistent"; }
    // Copies Source into this object. The default asks Source to AssignTo this object, which
    // raises EConvertError "Cannot assign a <source> to a <this>" when neither knows the other.
    virtual void Assign(TPersistent* source);
    // Lets a class stream data that is not a published property.
    virtual void DefineProperties(TFiler* filer) {}
    virtual TPersistent* GetOwner() const { return nullptr; }
    virtual std::string GetNamePath() const { return ClassName(); }

protected:
    virtual void AssignTo(TPersistent* dest);
};

enum class TComponentStateItem {
    csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating,
    csFixups, csFreeNotification, csInline, csDesignInstance
};
using TComponentState = TSet<TComponentStateItem>;

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return int(FComponents.size()); }
    TComponent* Components(int index) const;
    int ComponentIndex() const;

    const std::string& Name() const { return FName; }
    // Raises EComponentError for an invalid identifier or a name taken within the owner.
    virtual void SetName(const std::string& newName);
    intptr_t Tag() const { return FTag; }
    void SetTag(intptr_t value) { FTag = value; }

    TComponentState ComponentState() const { return FComponentState; }
    // For readers and owners that bracket work on the component (loading, reading, writing).
    void IncludeState(TComponentStateItem item) { FComponentState.Include(item); }
    void ExcludeState(TComponentStateItem item) { FComponentState.Exclude(item); }
    bool Loading() const { return FComponentState.Contains(TComponentStateItem::csLoading); }
    bool Destroying() const { return FComponentState.Contains(TComponentStateItem::csDestroying); }

    // Asks to hear (through Notification with opRemove) when AComponent is freed, and the
    // other way round.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    TComponent* FindComponent(const std::string& name) const;
    // Frees every owned component, last first.
    void DestroyComponents();
    // Marks this component and those it owns as being destroyed. Called before destruction
    // begins so that derived destructors and listeners can tell.
    void BeginDestroy();

    // Called after the component has been read from a stream (or by code that builds
    // components and wants the same finishing step): clears csLoading.
    virtual void Loaded();

    // Streaming hooks: the children written with a component and its parent relation.
    virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {}
    virtual bool HasParent() const { return false; }
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* value) {}

    TPersistent* GetOwner() const override { return FOwner; }
    std::string GetNamePath() const override { return FName; }

    virtual void Notification(TComponent* component, TOperation operation);

protected:
    TComponentState FComponentState;

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void RemoveNotification(TComponent* component);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::string FName;
    intptr_t FTag = 0;
};

// Frees a component the way an owner does: marks it as being destroyed first.
void FreeComponent(TComponent* component);

class TCollection;

class TCollectionItem : public TPersistent {
public:
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;
    std::string ClassName() const override { return "TCollectionItem"; }

    TCollection* Collection() const { return FCollection; }
    void SetCollection(TCollection* value);
    int ID() const { return FID; }
    int Index() const;
    virtual void SetIndex(int value);
    virtual std::string DisplayName() const { return ClassName(); }
    TPersistent* GetOwner() const override;

protected:
    // Tells the collection that this item (or, with allItems, every item) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TPersistent {
public:
    using TItemFactory = std::function<TCollectionItem*(TCollection*)>;

    // itemClassName names the item class in streams; factory makes one item of it.
    TCollection(std::string itemClassName, TItemFactory factory, TPersistent* owner = nullptr);
    ~TCollection() override;
    std::string ClassName() const override { return "TCollection"; }

    int Count() const { return int(FItems.size()); }
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    TCollectionItem* FindItemID(int id) const;
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    const std::string& ItemClassName() const { return FItemClassName; }
    void Assign(TPersistent* source) override;
    TPersistent* GetOwner() const override { return FOwner; }

    // Fires after a change when no update is pending: item is the changed one, or null for all.
    std::function<void(TCollection*, TCollectionItem*)> OnUpdate;

protected:
    virtual void Update(TCollectionItem* item);
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void MoveItem(int from, int to);
    void DestroyItems();

    std::string FItemClassName;
    TItemFactory FFactory;
    TPersistent* FOwner;
    std::vector<TCollectionItem*> FItems;
    int FNextID = 0;
    int FUpdateCount = 0;
    bool FClearing = false;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// A list of byte strings, each with an optional object (not owned unless OwnsObjects).
class TStringList : public TPersistent {
public:
    TStringList() = default;
    ~TStringList() override;
    std::string ClassName() const override { return "TStringList"; }

    int Count() const { return int(FItems.size()); }
    const std::string& Strings(int index) const;
    void SetStrings(int index, const std::string& s);
    TObject* Objects(int index) const;
    void SetObjects(int index, TObject* object);

    int Add(const std::string& s) { return AddObject(s, nullptr); }
    int AddObject(const std::string& s, TObject* object);
    void Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }
    void InsertObject(int index, const std::string& s, TObject* object);
    void Delete(int index);
    void Clear();
    void Move(int from, int to);
    void Exchange(int a, int b);
    int IndexOf(const std::string& s) const;
    int IndexOfObject(const TObject* object) const;
    int IndexOfName(const std::string& name) const;
    // Binary search in a sorted list: true and the index when found, else the insertion index.
    bool Find(const std::string& s, int& index) const;
    void Sort();
    void CustomSort(const std::function<int(TStringList*, int, int)>& compare);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool value) { FOwnsObjects = value; }

    // Lines joined with CR LF after each; SetText splits at CR LF, LF or CR.
    std::string Text() const;
    void SetText(const std::string& text);
    std::string Names(int index) const;
    std::string Values(const std::string& name) const;
    std::string ValueFromIndex(int index) const;
    void SetValues(const std::string& name, const std::string& value);

    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

    void BeginUpdate();
    void EndUpdate();
    void Assign(TPersistent* source) override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

private:
    struct Item {
        std::string s;
        TObject* object;
    };
    int CompareStrings(const std::string& a, const std::string& b) const;
    void Changing();
    void Changed();
    void CheckIndex(int index, bool allowEnd = false) const;
    void FreeObject(TObject* object);

    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
    TDuplicates FDuplicates = TDuplicates::dupIgnore;
    int FUpdateCount = 0;
};

}  // namespace epc
