#include "platform/core/Classes.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/core/Exceptions.h"

using namespace epc;

namespace {

struct Log {
    std::vector<std::string> lines;
};

class Probe : public TComponent {
public:
    Probe(TComponent* owner, Log* log, std::string id) : TComponent(owner), FLog(log), FId(std::move(id)) {}
    ~Probe() override {
        if (FLog) FLog->lines.push_back("free " + FId);
    }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (FLog && op == TOperation::opRemove) {
            auto* p = dynamic_cast<Probe*>(c);
            FLog->lines.push_back(FId + " heard remove" + (p ? " of " + p->FId : std::string()));
        }
    }
    Log* FLog;
    std::string FId;
};

}  // namespace

TEST(TComponent, FreeingAnOwnerFreesWhatItOwnsLastFirst) {
    Log log;
    auto* owner = new TComponent(nullptr);
    new Probe(owner, &log, "a");
    new Probe(owner, &log, "b");
    EXPECT_EQ(owner->ComponentCount(), 2);
    delete owner;
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "free b");
    EXPECT_EQ(log.lines[1], "free a");
}

TEST(TComponent, FreeNotificationSubscriberHearsOfTheRemoval) {
    Log log;
    Probe listener(nullptr, &log, "listener");
    auto* target = new Probe(nullptr, nullptr, "target");
    listener.FreeNotification(target);
    delete target;
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines[0], "listener heard remove");
    // The link is gone both ways: freeing the listener later touches nothing freed.
}

TEST(TComponent, SiblingsHearWhenOneLeavesTheOwner) {
    Log log;
    TComponent owner(nullptr);
    auto* a = new Probe(&owner, &log, "a");
    auto* b = new Probe(&owner, &log, "b");
    delete b;
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(owner.Components(0), a);
    // b is mid-destruction when a hears of it, so only the pointer is meaningful.
    bool heard = false;
    for (auto& l : log.lines) heard |= l.rfind("a heard remove", 0) == 0;
    EXPECT_TRUE(heard);
}

TEST(TComponent, NamesAreUniqueWithinAnOwnerAndValid) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName("Button1");
    EXPECT_THROW(b->SetName("button1"), EComponentError);
    EXPECT_THROW(b->SetName("1abc"), EComponentError);
    b->SetName("Button2");
    EXPECT_EQ(owner.FindComponent("BUTTON2"), b);
    EXPECT_THROW(owner.Components(5), EListError);
}

TEST(TComponent, LoadedClearsLoadingAndDestroyingIsMarked) {
    TComponent c(nullptr);
    c.IncludeState(TComponentStateItem::csLoading);
    EXPECT_TRUE(c.Loading());
    c.Loaded();
    EXPECT_FALSE(c.Loading());
    bool destroyingSeen = false;
    struct Watch : TComponent {
        bool* seen;
        Watch(TComponent* o, bool* s) : TComponent(o), seen(s) {}
        ~Watch() override { *seen = Owner() == nullptr || Owner()->Destroying(); }
    };
    auto* owner = new TComponent(nullptr);
    new Watch(owner, &destroyingSeen);
    FreeComponent(owner);
    EXPECT_TRUE(destroyingSeen);
}

namespace {
class Item : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    int value = 0;
    void Assign(TPersistent* source) override {
        if (auto* i = dynamic_cast<Item*>(source)) value = i->value;
        else TCollectionItem::Assign(source);
    }
};
}  // namespace

TEST(TCollection, AddsInsertsDeletesAndNotifiesAfterUpdates) {
    int updates = 0;
    TCollection c("Item", [](TCollection* col) { return new Item(col); });
    c.OnUpdate = [&](TCollection*, TCollectionItem*) { ++updates; };
    auto* first = static_cast<Item*>(c.Add());
    first->value = 1;
    auto* second = static_cast<Item*>(c.Insert(0));
    second->value = 2;
    EXPECT_EQ(c.Items(0), second);
    EXPECT_EQ(first->Index(), 1);
    EXPECT_NE(first->ID(), second->ID());
    int before = updates;
    c.BeginUpdate();
    c.Add();
    c.Delete(2);
    EXPECT_EQ(updates, before);
    c.EndUpdate();
    EXPECT_EQ(updates, before + 1);

    TCollection copy("Item", [](TCollection* col) { return new Item(col); });
    copy.Assign(&c);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(static_cast<Item*>(copy.Items(0))->value, 2);
    EXPECT_THROW(c.Items(7), EListError);
    delete c.Items(0);
    EXPECT_EQ(c.Count(), 1);
}

TEST(TStringList, HoldsObjectsSortsAndFinds) {
    TStringList list;
    TObject a, b;
    list.AddObject("pear", &a);
    list.AddObject("Apple", &b);
    EXPECT_EQ(list.IndexOf("PEAR"), 0);
    EXPECT_EQ(list.IndexOfObject(&b), 1);
    list.SetSorted(true);
    EXPECT_EQ(list.Strings(0), "Apple");
    EXPECT_EQ(list.Objects(0), &b);
    EXPECT_EQ(list.Add("apple"), 0);  // duplicates ignored by default
    EXPECT_EQ(list.Count(), 2);
    list.SetDuplicates(TDuplicates::dupError);
    EXPECT_THROW(list.Add("APPLE"), EListError);
    EXPECT_THROW(list.Insert(0, "x"), EListError);
    EXPECT_THROW(list.Strings(2), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
}

TEST(TStringList, TextValuesAndChangeEvents) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    list.SetText("a=1\r\nb=2\nc\rd");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Values("B"), "2");
    EXPECT_EQ(list.Names(0), "a");
    list.SetValues("a", "9");
    EXPECT_EQ(list.Strings(0), "a=9");
    EXPECT_EQ(list.Text(), "a=9\r\nb=2\r\nc\r\nd\r\n");
    TStringStream s("x\r\ny");
    list.LoadFromStream(s);
    EXPECT_EQ(list.Count(), 2);
}

TEST(TPersistent, AssignWithoutSupportRaisesConvertError) {
    TStringList list;
    TComponent c(nullptr);
    try {
        list.Assign(&c);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TStringList");
    }
}

TEST(Assert, RaisesWithItsMessage) {
    try {
        Assert(false, "Invalid node");
        FAIL();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "Invalid node");
    }
    EXPECT_NO_THROW(Assert(true, "x"));
}
