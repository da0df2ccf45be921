#include "platform/streaming/Filer.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <new>

#include "platform/core/Exceptions.h"
#include "platform/streaming/HexText.h"
#include "tests/platform/support/AllocationLimit.h"
#include "tests/platform/streaming/TestComponents.h"

using namespace epc;
using namespace epc::testing;

namespace {

class Streaming : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestComponents();
        EventLog().clear();
    }
};

std::string Bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list)
        s.push_back(char(b));
    return s;
}

std::string Save(TComponent* c) {
    TMemoryStream stream;
    WriteComponent(stream, c);
    return stream.DataString();
}

void Load(const std::string& bytes, TComponent* c) {
    TStringStream stream(bytes);
    ReadComponent(stream, c);
}

// Writes a stream by hand: a TTestWidget record whose properties the callback writes.
template <class F>
std::string Handmade(F writeProps, const std::string& className = "TTestWidget") {
    TMemoryStream stream;
    TWriter w(stream);
    w.WriteSignature();
    w.WriteStr(className);
    w.WriteStr("W");
    writeProps(w);
    w.WriteListEnd();
    w.WriteListEnd();
    return stream.DataString();
}

void Fill(TTestWidget& w) {
    w.SetName("Main");
    w.SetWidth(40000);
    w.SetHeight(-5);
    w.SetAlign(TAlign::alClient);
    w.SetOptions(TOpts{TOpt::oB, TOpt::oD});
    w.SetVisible(false);
    w.SetColor(clRed);
    w.SetCaption(std::string(300, 'x')); // long enough for the long string kind
    w.SetHint(u"h\u00E9llo \u4E16");
    w.Font()->SetSize(12);
    w.Font()->SetColor(0x123456); // a colour without a name
    w.Font()->SetStyle(TOpts{TOpt::oC});
    w.Points = {0, -1, 128, 40000, -2147483647 - 1};
    w.Blob = std::string("\0\x01\xFF", 3);
    auto* item = static_cast<TTestItem*>(w.Items()->Add());
    item->SetCaption("first");
    w.Items()->Add();
    w.SetTag(-7);
}

void ExpectSame(TTestWidget& a, TTestWidget& b) {
    EXPECT_EQ(a.Name(), b.Name());
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    EXPECT_EQ(a.Align(), b.Align());
    EXPECT_EQ(a.Options(), b.Options());
    EXPECT_EQ(a.Visible(), b.Visible());
    EXPECT_EQ(a.Color(), b.Color());
    EXPECT_EQ(a.Caption(), b.Caption());
    EXPECT_EQ(a.Hint(), b.Hint());
    EXPECT_EQ(a.Font()->Size(), b.Font()->Size());
    EXPECT_EQ(a.Font()->Color(), b.Font()->Color());
    EXPECT_EQ(a.Font()->Style(), b.Font()->Style());
    EXPECT_EQ(a.Points, b.Points);
    EXPECT_EQ(a.Blob, b.Blob);
    EXPECT_EQ(a.Tag(), b.Tag());
    ASSERT_EQ(a.Items()->Count(), b.Items()->Count());
    for (int i = 0; i < a.Items()->Count(); ++i) {
        auto* x = static_cast<TTestItem*>(a.Items()->Items(i));
        auto* y = static_cast<TTestItem*>(b.Items()->Items(i));
        EXPECT_EQ(x->Caption(), y->Caption());
        EXPECT_EQ(x->Width(), y->Width());
    }
}

} // namespace

TEST_F(Streaming, EveryPropertyKindRoundTripsThroughBinaryAndHex) {
    TTestWidget source(nullptr);
    Fill(source);
    std::string bytes = Save(&source);

    TTestWidget fromBinary(nullptr);
    Load(bytes, &fromBinary);
    ExpectSame(source, fromBinary);
    EXPECT_EQ(Save(&fromBinary), bytes); // writing again gives the same bytes

    std::string hex = ComponentToHex(&source);
    EXPECT_EQ(hex, BinToHex(bytes));
    TTestWidget fromHex(nullptr);
    HexToComponent(hex, &fromHex);
    ExpectSame(source, fromHex);
}

TEST_F(Streaming, IntegersTakeTheSmallestFormAndSignExtendOnRead) {
    struct Case {
        int64_t value;
        std::string bytes;
    } cases[] = {
        {0, Bytes({2, 0x00})},
        {-1, Bytes({2, 0xFF})},
        {127, Bytes({2, 0x7F})},
        {-128, Bytes({2, 0x80})},
        {128, Bytes({3, 0x80, 0x00})},
        {-129, Bytes({3, 0x7F, 0xFF})},
        {40000, Bytes({4, 0x40, 0x9C, 0x00, 0x00})},
        {-40000, Bytes({4, 0xC0, 0x63, 0xFF, 0xFF})},
        {int64_t(1) << 40, Bytes({19, 0, 0, 0, 0, 0, 1, 0, 0})},
    };
    for (const Case& c : cases) {
        TMemoryStream stream;
        TWriter(stream).WriteInteger(c.value);
        EXPECT_EQ(stream.DataString(), c.bytes) << c.value;
        TStringStream in(c.bytes);
        EXPECT_EQ(TReader(in).ReadInt64(), c.value);
    }
    TStringStream big(Bytes({19, 0, 0, 0, 0, 0, 1, 0, 0}));
    EXPECT_THROW(TReader(big).ReadInteger(), EReadError);
}

TEST_F(Streaming, RecordLayoutUsesDottedPathsAndColourNames) {
    TTestWidget w(nullptr);
    w.SetName("A");
    w.SetWidth(1);
    w.SetColor(clRed);
    w.Font()->SetColor(0x123456);
    std::string s = Save(&w);
    std::string expected = "TPF0" + Bytes({11}) + "TTestWidget" + Bytes({1}) + "A" + Bytes({5}) +
                           "Width" + Bytes({2, 1}) + //
                           Bytes({5}) + "Color" + Bytes({7, 5}) + "clRed" + Bytes({10}) +
                           "Font.Color" + Bytes({4, 0x56, 0x34, 0x12, 0}) + Bytes({5}) + "Items" +
                           Bytes({14, 0}) + // empty collection
                           Bytes({0, 0});
    EXPECT_EQ(BinToHex(s), BinToHex(expected));
}

TEST_F(Streaming, DefaultsAreNotWrittenAndMissingPropertiesKeepTheirValues) {
    TTestWidget fresh(nullptr);
    std::string s = Save(&fresh);
    for (const char* name : {"Height", "Align", "Options", "Visible", "Color", "Caption", "Hint",
                             "Font.", "Tag", "Points", "Blob", "Buddy", "OnClick"})
        EXPECT_EQ(s.find(name), std::string::npos) << name;
    EXPECT_NE(s.find("Width"), std::string::npos); // no default: always written

    TTestWidget target(nullptr);
    target.SetHeight(99);
    target.SetCaption("keep");
    target.Font()->SetSize(30);
    Load(s, &target);
    EXPECT_EQ(target.Height(), 99);
    EXPECT_EQ(target.Caption(), "keep");
    EXPECT_EQ(target.Font()->Size(), 30);
}

TEST_F(Streaming, UnknownPropertiesAndSetNamesAreSkipped) {
    std::string s = Handmade([](TWriter& w) {
        w.WritePropName("NoInt");
        w.WriteInteger(5);
        w.WritePropName("NoStr");
        w.WriteString(std::string(400, 'q'));
        w.WritePropName("NoWide");
        w.WriteWideString(u"abc");
        w.WritePropName("NoList");
        w.WriteListBegin();
        w.WriteListBegin();
        w.WriteIdent("x");
        w.WriteListEnd();
        w.WriteBoolean(true);
        w.WriteListEnd();
        w.WritePropName("NoSet");
        w.WriteSet(3, {"a", "b"});
        w.WritePropName("NoBin");
        w.WriteBinary("zz");
        w.WritePropName("NoColl");
        w.WriteValue(TValueType::vaCollection);
        w.WriteInteger(3); // an item with its stored order
        w.WriteListBegin();
        w.WritePropName("P");
        w.WriteIdent("Q");
        w.WriteListEnd();
        w.WriteListEnd();
        w.WritePropName("Font.Nope");
        w.WriteInteger(1);
        w.WritePropName("Nope.Size");
        w.WriteInteger(1);
        w.WritePropName("Font.");
        w.WriteString("odd name");
        w.WritePropName("OnClick"); // events are never applied
        w.WriteIdent("Handler");
        w.WritePropName("Options");
        w.WriteValue(TValueType::vaSet);
        w.WriteStr("oB");
        w.WriteStr("oZ");
        w.WriteStr("oD");
        w.WriteStr("");
        w.WritePropName("Width");
        w.WriteInteger(77);
    });
    TTestWidget w(nullptr);
    Load(s, &w);
    EXPECT_EQ(w.Width(), 77);
    EXPECT_EQ(w.Options(), (TOpts{TOpt::oB, TOpt::oD}));
}

TEST_F(Streaming, LegacySetPropertyIsReadThroughACustomReader) {
    std::string s = Handmade([](TWriter& w) {
        w.WritePropName("OldOptions");
        w.WriteValue(TValueType::vaSet);
        w.WriteStr("voC");
        w.WriteStr("voUnknown");
        w.WriteStr("");
    });
    TTestWidget w(nullptr);
    Load(s, &w);
    EXPECT_EQ(w.Options(), TOpts{TOpt::oC});
    EXPECT_EQ(Save(&w).find("OldOptions"), std::string::npos); // never written
}

TEST_F(Streaming, ChildrenAreCreatedOwnedParentedAndLoadedBeforeTheirParent) {
    TTestWidget root(nullptr);
    root.SetName("Root");
    root.SetWidth(1);
    auto* a = new TTestPanel(&root);
    a->SetName("A");
    a->SetBevel(3);
    a->SetParentComponent(&root);
    auto* b = new TTestWidget(&root);
    b->SetName("B");
    b->SetParentComponent(a);
    b->SetBuddy(a);
    b->SetWidth(9);
    std::string s = Save(&root);

    TStringStream in(s);
    std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
    auto* r = dynamic_cast<TTestWidget*>(made.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Name(), "Root");
    ASSERT_EQ(r->ComponentCount(), 2);
    auto* ra = dynamic_cast<TTestPanel*>(r->FindComponent("A"));
    auto* rb = dynamic_cast<TTestWidget*>(r->FindComponent("B"));
    ASSERT_TRUE(ra && rb);
    EXPECT_EQ(ra->Bevel(), 3);
    EXPECT_EQ(ra->ParentWidget(), r);
    EXPECT_EQ(rb->ParentWidget(), ra);
    EXPECT_EQ(rb->Buddy(), ra);
    EXPECT_EQ(rb->Width(), 9);
    EXPECT_TRUE(rb->SeenLoading());
    EXPECT_EQ(EventLog(), (std::vector<std::string>{"Loaded B", "Loaded A", "Loaded Root"}));
    for (TComponent* c : {static_cast<TComponent*>(r), static_cast<TComponent*>(ra),
                          static_cast<TComponent*>(rb)}) {
        EXPECT_FALSE(c->ComponentState().Contains(TComponentStateItem::csLoading));
        EXPECT_FALSE(c->ComponentState().Contains(TComponentStateItem::csReading));
    }
    EXPECT_EQ(Save(r), s);

    // Reading again into the same root reuses the children found by name.
    TStringStream again(s);
    ReadComponent(again, r);
    EXPECT_EQ(r->ComponentCount(), 2);
}

TEST_F(Streaming, RegisteredCustomPropertiesServeTheClassAndItsDescendants) {
    // Notes kept outside the objects, stored as "Note" by a proc registered for the class.
    static std::map<TPersistent*, int> notes;
    notes.clear();
    RegisterDefineProperties("TTestWidget", [](TPersistent* instance, TFiler* filer) {
        filer->DefineProperty(
            "Note", [instance](TReader& r) { notes[instance] = r.ReadInteger(); },
            [instance](TWriter& w) { w.WriteInteger(notes[instance]); },
            notes.count(instance) != 0);
    });
    TTestWidget root(nullptr);
    root.SetName("Root");
    root.Points = {5}; // the class's own custom property comes first
    auto* panel = new TTestPanel(&root);
    panel->SetName("P");
    panel->SetParentComponent(&root);
    notes[&root] = 300;
    notes[panel] = -2;
    std::string s = Save(&root);
    EXPECT_LT(s.find("Points"), s.find("Note"));

    notes.clear();
    TStringStream in(s);
    std::unique_ptr<TComponent> made(ReadComponent(in, nullptr));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(notes[made.get()], 300);
    EXPECT_EQ(notes[made->FindComponent("P")], -2);
    // Without a registration the property is unknown and skipped.
    RegisterDefineProperties("TTestWidget", nullptr);
    notes.clear();
    TTestWidget plain(nullptr);
    Load(s, &plain);
    EXPECT_TRUE(notes.empty());
}

TEST_F(Streaming, CollectionReplacesTheItemsItHeld) {
    TTestWidget source(nullptr);
    static_cast<TTestItem*>(source.Items()->Add())->SetWidth(7);
    TTestWidget target(nullptr);
    for (int i = 0; i < 3; ++i)
        target.Items()->Add();
    Load(Save(&source), &target);
    ASSERT_EQ(target.Items()->Count(), 1);
    EXPECT_EQ(static_cast<TTestItem*>(target.Items()->Items(0))->Width(), 7);
}

TEST_F(Streaming, BadStreamsRaiseReadErrors) {
    TTestWidget source(nullptr);
    Fill(source);
    TTestWidget child(&source);
    child.SetName("Kid");
    child.SetParentComponent(&source);
    std::string good = Save(&source);

    // Every truncation fails cleanly, whether reading into a given or a new component.
    for (size_t n = 0; n < good.size(); ++n) {
        TTestWidget target(nullptr);
        EXPECT_THROW(Load(good.substr(0, n), &target), EReadError) << n;
        EXPECT_FALSE(target.ComponentState().Contains(TComponentStateItem::csLoading));
        TStringStream in(good.substr(0, n));
        EXPECT_THROW(ReadComponent(in, nullptr), EReadError) << n;
    }

    auto message = [](const std::string& bytes) {
        try {
            TStringStream in(bytes);
            std::unique_ptr<TComponent> c(ReadComponent(in, nullptr));
        } catch (EReadError& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(message("TPF1" + good.substr(4)), "Invalid stream format");
    EXPECT_EQ(message(Handmade([](TWriter&) {}, "TNoSuchClass")), "Class TNoSuchClass not found");
    EXPECT_EQ(message(Handmade([](TWriter& w) {
                  w.WritePropName("Width");
                  w.WriteString("wide");
              })),
              "Error reading W.Width: Invalid property value");
    EXPECT_EQ(message(Handmade([](TWriter& w) {
                  w.WritePropName("Align");
                  w.WriteIdent("alSideways");
              })),
              "Error reading W.Align: Invalid property value");
    EXPECT_EQ(message(Handmade([](TWriter& w) {
                  w.WritePropName("Height");
                  w.WriteInteger(70000); // beyond the 16-bit property
              })),
              "Error reading W.Height: Invalid property value");
    EXPECT_EQ(message(Handmade([](TWriter& w) {
                  w.WritePropName("Color");
                  w.WriteIdent("clPlaid");
              })),
              "Error reading W.Color: Invalid property value");
    EXPECT_EQ(message(Handmade([](TWriter& w) {
                  w.WritePropName("Items");
                  w.WriteValue(TValueType::vaCollection);
                  w.WriteListBegin();
                  w.WritePropName("Width");
                  w.WriteBoolean(true);
              })),
              "Error reading W.Items[0].Width: Invalid property value");
    EXPECT_EQ(message(Handmade([](TWriter& w) {
                  w.WritePropName("Skip");
                  w.WriteValue(TValueType(42));
              })),
              "Invalid stream format");

    // A child of an unknown class: the parent made so far is freed with it (no leak).
    TMemoryStream stream;
    TWriter w(stream);
    w.WriteSignature();
    w.WriteStr("TTestWidget");
    w.WriteStr("P");
    w.WriteListEnd();
    w.WriteStr("TTestWidget");
    w.WriteStr("Ok");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteStr("TGhost");
    w.WriteStr("G");
    EXPECT_EQ(message(stream.DataString()), "Class TGhost not found");
}

// A component that runs out of memory building what it read (a Tag of 1: the language's own
// allocation failure).
namespace {
class TGreedyLoad : public TComponent {
public:
    using TComponent::TComponent;
    std::string ClassName() const override { return "TGreedyLoad"; }
    void Loaded() override {
        TComponent::Loaded();
        if (Tag() == 1) throw std::bad_alloc();
        throw EOutOfMemory("Out of memory");
    }
};
} // namespace

TEST_F(Streaming, RunningOutOfMemoryInLoadedIsAReadErrorAndFreesWhatWasMade) {
    RegisterPublishedClass("TGreedyLoad", "TComponent");
    if (!IsClassRegistered("TGreedyLoad")) RegisterClass<TGreedyLoad>("TGreedyLoad");
    for (int tag : {0, 1}) {
        const std::string bytes = Handmade(
            [tag](TWriter& w) {
                w.WritePropName("Tag");
                w.WriteInteger(tag);
            },
            "TGreedyLoad");
        TComponent owner(nullptr);
        TStringStream in(bytes);
        try {
            ReadComponent(in, nullptr, &owner);
            ADD_FAILURE() << "read without error";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), "Error reading W: Out of memory");
        }
        EXPECT_EQ(owner.ComponentCount(), 0) << tag;
    }
}

// Nine bytes that declare a string of nearly 2 GB: the reader refuses before allocating, so
// under a 1 MB ceiling it raises its own error rather than running out of memory.
TEST_F(Streaming, DeclaredLengthsBeyondTheStreamRaiseBeforeAllocating) {
    auto declaring = [](TValueType kind) {
        return Bytes({int(kind), 0xF0, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c', 'd'});
    };
    TAllocationLimit limit(1 << 20);
    for (TValueType kind : {TValueType::vaLString, TValueType::vaUTF8String,
                            TValueType::vaWString, TValueType::vaBinary}) {
        std::string bytes = declaring(kind);
        ASSERT_EQ(bytes.size(), 9u);
        TStringStream a(bytes), b(bytes), c(bytes);
        if (kind == TValueType::vaBinary) {
            EXPECT_THROW(TReader(a).ReadBinary(), EReadError);
        } else {
            EXPECT_THROW(TReader(a).ReadString(), EReadError) << int(kind);
            EXPECT_THROW(TReader(b).ReadWideString(), EReadError) << int(kind);
        }
        EXPECT_THROW(TReader(c).SkipValue(), EReadError) << int(kind);
    }
    // A length that fits what is left is read.
    TStringStream fits(Bytes({int(TValueType::vaLString), 4, 0, 0, 0, 'a', 'b', 'c', 'd'}));
    EXPECT_EQ(TReader(fits).ReadString(), "abcd");
}

TEST_F(Streaming, DeepNestingIsRejectedWithoutExhaustingTheStack) {
    std::string lists = Handmade([](TWriter& w) {
        w.WritePropName("Deep");
        for (int i = 0; i < 100000; ++i)
            w.WriteListBegin();
        for (int i = 0; i < 100000; ++i)
            w.WriteListEnd();
    });
    TTestWidget w1(nullptr);
    EXPECT_THROW(Load(lists, &w1), EReadError);

    TMemoryStream stream;
    TWriter w(stream);
    w.WriteSignature();
    for (int i = 0; i < 10000; ++i) {
        w.WriteStr("TTestWidget");
        w.WriteStr("");
        w.WriteListEnd();
    }
    TStringStream in(stream.DataString());
    EXPECT_THROW(ReadComponent(in, nullptr), EReadError);
}

// A record naming a component read before places it under the record's parent; under itself
// or one of its own descendants it would make a parent cycle, and the read fails instead.
TEST_F(Streaming, RecordsNeverPutAComponentInsideItself) {
    auto stream = [](const std::vector<std::pair<std::string, int>>& records) {
        // Each record: a name and how many records end after it (its own children's end
        // markers and those of the records it closes).
        TMemoryStream out;
        TWriter w(out);
        w.WriteSignature();
        w.WriteStr("TTestWidget");
        w.WriteStr("Root");
        w.WriteListEnd();
        for (const auto& [name, ends] : records) {
            w.WriteStr("TTestWidget");
            w.WriteStr(name);
            w.WriteListEnd();
            for (int i = 0; i < ends; ++i)
                w.WriteListEnd();
        }
        w.WriteListEnd();
        return out.DataString();
    };
    for (auto records : {std::vector<std::pair<std::string, int>>{{"C", 0}, {"D", 0}, {"C", 3}},
                         std::vector<std::pair<std::string, int>>{{"C", 0}, {"C", 2}}}) {
        TTestWidget root(nullptr);
        TStringStream in(stream(records));
        try {
            ReadComponent(in, &root);
            ADD_FAILURE() << "a parent cycle loaded";
        } catch (const EReadError& e) {
            EXPECT_EQ(
                e.Message(),
                "Error reading C: C cannot be placed inside itself or inside what it contains");
        }
        EXPECT_EQ(root.ComponentCount(), 0);
        EXPECT_TRUE(root.Children().empty());
    }
    // Named again beside where it was, it moves.
    TTestWidget root(nullptr);
    TStringStream in(stream({{"C", 1}, {"D", 0}, {"C", 2}}));
    ReadComponent(in, &root);
    auto* c = dynamic_cast<TTestWidget*>(root.FindComponent("C"));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->ParentWidget(), root.FindComponent("D"));
}

TEST_F(Streaming, HexTextIsUpperCaseAndReadsEitherCase) {
    EXPECT_EQ(BinToHex(Bytes({0x00, 0xAB, 0x7F})), "00AB7F");
    EXPECT_EQ(HexToBin("00aB7f"), Bytes({0x00, 0xAB, 0x7F}));
    EXPECT_THROW(HexToBin("ABC"), EReadError);
    EXPECT_THROW(HexToBin("0G"), EReadError);
    EXPECT_THROW(HexToBin("AB\r\n"), EReadError);
    std::string out = "kept";
    EXPECT_FALSE(TryHexToBin("XY", out));
    EXPECT_EQ(out, "kept");
    TTestWidget w(nullptr);
    EXPECT_THROW(HexToComponent("5450463", &w), EReadError);
}

TEST_F(Streaming, CustomPropertyCarriesNestedComponentRecords) {
    TTestCarrier source(nullptr);
    source.Values = {3, -5, 70000};
    std::string s = Save(&source);

    TTestCarrier target(nullptr);
    Load(s, &target);
    EXPECT_EQ(target.Values, source.Values);
    EXPECT_EQ(target.ComponentCount(), 1); // the companion was reused, not duplicated
    EXPECT_EQ(EventLog(), std::vector<std::string>{"Loaded Cell"});

    source.ExtraCount = 1;
    TTestCarrier bad(nullptr);
    try {
        Load(Save(&source), &bad);
        ADD_FAILURE() << "no error";
    } catch (EReadError& e) {
        EXPECT_EQ(e.Message(), "Wrong end of cells list"); // the property's own message
    }
}
