#include "platform/streaming/PropertyRegistry.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/platform/streaming/TestComponents.h"

using namespace epc;
using namespace epc::testing;

namespace {
class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestComponents(); }
};
} // namespace

TEST_F(Registry, PropertiesAreSetAndReadByNameIncludingInheritedOnes) {
    TTestPanel p(nullptr);
    SetOrdProp(&p, "width", 5); // names ignore case
    EXPECT_EQ(p.Width(), 5);
    EXPECT_EQ(GetOrdProp(&p, "Width"), 5);
    SetOrdProp(&p, "Bevel", 4);
    EXPECT_EQ(p.Bevel(), 4);
    SetOrdProp(&p, "Tag", 11); // declared by TComponent
    EXPECT_EQ(p.Tag(), 11);
    SetOrdProp(&p, "Options", TOpts{TOpt::oC}.Bits());
    EXPECT_EQ(p.Options(), TOpts{TOpt::oC});
    SetOrdProp(&p, "Visible", 0);
    EXPECT_FALSE(p.Visible());
    SetOrdProp(&p, "Color", clNone);
    EXPECT_EQ(GetOrdProp(&p, "Color"), clNone);

    SetEnumProp(&p, "Align", "ALTOP");
    EXPECT_EQ(p.Align(), TAlign::alTop);
    EXPECT_EQ(GetEnumProp(&p, "Align"), "alTop");
    SetOrdProp(&p, "Align", 3);
    EXPECT_EQ(GetEnumProp(&p, "Align"), "alClient");

    SetStrProp(&p, "Caption", "text");
    EXPECT_EQ(GetStrProp(&p, "Caption"), "text");
    SetStrProp(&p, "Hint", "wide"); // converted for a wide property
    EXPECT_EQ(p.Hint(), u"wide");
    SetStrProp(&p, "Name", "Named");
    EXPECT_EQ(p.Name(), "Named");
    EXPECT_EQ(GetObjectProp(&p, "Font"), p.Font());
}

TEST_F(Registry, UnknownNamesWrongKindsAndBadValuesRaise) {
    TTestWidget w(nullptr);
    EXPECT_THROW(SetOrdProp(&w, "Nope", 1), EPropertyError);
    EXPECT_THROW(GetOrdProp(&w, "Font.Size"), EPropertyError); // not a path
    EXPECT_THROW(SetOrdProp(&w, "Caption", 1), EPropertyError);
    EXPECT_THROW(GetStrProp(&w, "Width"), EPropertyError);
    EXPECT_THROW(SetEnumProp(&w, "Align", "alNowhere"), EPropertyError);
    EXPECT_THROW(SetOrdProp(&w, "Align", 4), EPropertyError); // past the last value
    EXPECT_THROW(SetOrdProp(nullptr, "Width", 1), EPropertyError);
    EXPECT_EQ(w.Align(), TAlign::alNone);
    try {
        SetOrdProp(&w, "Missing", 1);
    } catch (EPropertyError& e) {
        EXPECT_EQ(e.Message(), "Unknown property: \"Missing\"");
    }
}

TEST_F(Registry, PropertyListRunsFromTheFarthestAncestorInDeclaredOrder) {
    std::vector<std::string> names;
    for (const TPropInfo* p : GetPropList("TTestPanel"))
        names.push_back(p->Name);
    std::vector<std::string> expected = {"Name",    "Tag",     "Width", "Height",  "Align",
                                         "Options", "Visible", "Color", "Caption", "Hint",
                                         "Font",    "Items",   "Buddy", "OnClick", "Bevel"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(InheritsFromClass("TTestPanel", "TComponent"));
    EXPECT_FALSE(InheritsFromClass("TTestWidget", "TTestPanel"));
    EXPECT_EQ(GetPropInfo("TNoClass", "Width"), nullptr);
}

TEST_F(Registry, OnlyRegisteredClassesAreCreatedByName) {
    std::unique_ptr<TComponent> c(CreateComponentByClassName("ttestpanel", nullptr));
    EXPECT_EQ(c->ClassName(), "TTestPanel");
    EXPECT_THROW(CreateComponentByClassName("TTestFont", nullptr), EClassNotFound);
    RegisterClass<TTestWidget>("TTemporary");
    EXPECT_TRUE(IsClassRegistered("TTemporary"));
    UnRegisterClass("TTemporary");
    EXPECT_FALSE(IsClassRegistered("TTemporary"));
}
