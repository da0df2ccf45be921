#include <gtest/gtest.h>

#include "components/controls/HelpContextMap.h"
#include "components/controls/StrHash.h"
#include "platform/context/PlatformContext.h"
#include "platform/core/Exceptions.h"
#include "platform/streaming/Filer.h"
#include "platform/windows/Window.h"
#include "tests/components/controls/ControlsTestSupport.h"

using namespace epc;
using epc::test::ScratchFolder;
using epc::test::WriteFile;

TEST(StrHash, KnownValuesAndCaseFolding) {
    EXPECT_EQ(StrHash(""), 0);
    EXPECT_EQ(StrHash("A"), 17);
    EXPECT_EQ(StrHash("a"), 17);
    EXPECT_EQ(StrHash("AB"), 17 * 43 + 18);
    EXPECT_EQ(StrHash("IDH_X"), 87105140);
    EXPECT_EQ(StrHash("idh_x"), StrHash("IDH_X"));
    // Wraps at 32 bits: seven times 42 is 43^7 - 1.
    EXPECT_EQ(StrHash("zzzzzzz"), 1235671458);
    // One code from each run of the table.
    EXPECT_EQ(StrHash(std::string(1, char(5))), 213);
    EXPECT_EQ(StrHash(" "), -16);
    EXPECT_EQ(StrHash("!"), 11);
    EXPECT_EQ(StrHash("\""), -14);
    EXPECT_EQ(StrHash("$"), 244);
    EXPECT_EQ(StrHash("("), -8);
    EXPECT_EQ(StrHash("+"), 251);
    EXPECT_EQ(StrHash("-"), -3);
    EXPECT_EQ(StrHash("."), 12);
    EXPECT_EQ(StrHash("/"), -1);
    EXPECT_EQ(StrHash("0"), 10);
    EXPECT_EQ(StrHash("9"), 9);
    EXPECT_EQ(StrHash("["), 11);
    EXPECT_EQ(StrHash("_"), 13);
    EXPECT_EQ(StrHash("`"), 16);
    EXPECT_EQ(StrHash(std::string(1, char(127))), 47);
    EXPECT_EQ(StrHash(std::string(1, char(130))), -174);
    EXPECT_EQ(StrHash(std::string(1, char(150))), 102);
    EXPECT_EQ(StrHash(std::string(1, char(200))), -104);
    EXPECT_EQ(StrHash(std::string(1, char(255))), -49);
}

class HelpContextMapTest : public ::testing::Test {
protected:
    void SetUp() override { Dir = ScratchFolder(); }
    TPlatformContext Context; // one per case: its end frees what the case leaves
    std::filesystem::path Dir;
    THelpContextMap Map{nullptr};
};

TEST_F(HelpContextMapTest, ReadsDefinesAndPairsInsideTheMapSectionOnly) {
    std::string file = WriteFile(Dir / "help.hhp", "[OPTIONS]\n"
                                                   "IDH_BEFORE 99\n"
                                                   "[MAP]\n"
                                                   "#define IDH_A 10\n"
                                                   "#define\tIDH_TAB\t11\n"
                                                   "IDH_B=20\n"
                                                   "  IDH_C 30 ; a comment\n"
                                                   "IDH_D = 40\n"
                                                   "IDH_E\t=\t$1F\n"
                                                   "IDH_F 0x10 # comment\n"
                                                   "; IDH_G 70\n"
                                                   "IDH_NOVALUE\n"
                                                   "\n"
                                                   "[WINDOWS]\n"
                                                   "IDH_AFTER 80\n");
    Map.SetFileName(file);
    EXPECT_EQ(Map.FileName(), file);
    EXPECT_EQ(Map.Count(), 7);
    EXPECT_EQ(Map.LookupContext("IDH_A"), 10);
    EXPECT_EQ(Map.LookupContext("IDH_TAB"), 11);
    EXPECT_EQ(Map.LookupContext("IDH_B"), 20);
    EXPECT_EQ(Map.LookupContext("IDH_C"), 30);
    EXPECT_EQ(Map.LookupContext("IDH_D"), 40);
    EXPECT_EQ(Map.LookupContext("idh_d"), 40);
    EXPECT_EQ(Map.LookupContext("IDH_E"), 31);
    EXPECT_EQ(Map.LookupContext("IDH_F"), 16);
    EXPECT_EQ(Map.LookupContext("IDH_G"), 0);
    EXPECT_EQ(Map.LookupContext("IDH_BEFORE"), 0);
    EXPECT_EQ(Map.LookupContext("IDH_AFTER"), 0);
    EXPECT_EQ(Map.LookupContext(""), 0);
    EXPECT_EQ(Map.LookupContext("IDH_UNKNOWN"), 0);
}

TEST_F(HelpContextMapTest, SpaceAndEqualsSeparatorsGiveTheSamePair) {
    std::string spaced = WriteFile(Dir / "a.h", "[MAP]\n#define IDH_SAME 7\n");
    std::string equals = WriteFile(Dir / "b.h", "[MAP]\nIDH_SAME=7\n");
    std::string both = WriteFile(Dir / "c.h", "[MAP]\nIDH_SAME = 7\n");
    TContextPairs a, b, c;
    Map.ParseMapFile(spaced, false, a);
    Map.ParseMapFile(equals, false, b);
    Map.ParseMapFile(both, false, c);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(a[0], std::make_pair(StrHash("IDH_SAME"), 7));
}

TEST_F(HelpContextMapTest, IncludesAreReadRelativeToTheIncludingFile) {
    std::filesystem::create_directories(Dir / "sub");
    WriteFile(Dir / "sub" / "inner.h", "#define IDH_INNER 5\nIDH_DEEP 6\n");
    WriteFile(Dir / "sub" / "part.h", "IDH_PART 4\n#include inner.h\n");
    std::string top = WriteFile(Dir / "top.hhp", "[MAP]\nIDH_TOP 3\n#include sub/part.h\n"
                                                 "#include missing.h\nIDH_LAST 8\n");
    Map.SetFileName(top);
    EXPECT_EQ(Map.Count(), 5);
    EXPECT_EQ(Map.LookupContext("IDH_INNER"), 5);
    EXPECT_EQ(Map.LookupContext("IDH_PART"), 4);
    EXPECT_EQ(Map.LookupContext("IDH_LAST"), 8);
    ASSERT_EQ(MessageBoxLog().size(), 1u);
    EXPECT_EQ(MessageBoxLog()[0].Text, "Include file \"missing.h\" not found!");
}

TEST_F(HelpContextMapTest, FilesIncludingThemselvesAreReadOnce) {
    WriteFile(Dir / "self.h", "IDH_SELF 1\n#include self.h\n#include other.h\n");
    WriteFile(Dir / "other.h", "IDH_OTHER 2\n#include ./self.h\n#include other.h\n");
    std::string top = WriteFile(Dir / "top.hpj", "[MAP]\n#include self.h\n#include top.hpj\n");
    Map.SetFileName(top);
    EXPECT_EQ(Map.Count(), 2);
    EXPECT_EQ(Map.LookupContext("IDH_SELF"), 1);
    EXPECT_EQ(Map.LookupContext("IDH_OTHER"), 2);
    // A file included twice side by side (not recursively) is read both times.
    WriteFile(Dir / "twice.hpj", "[MAP]\n#include other.h\n#include other.h\n");
    Map.SetFileName((Dir / "twice.hpj").string());
    EXPECT_EQ(Map.Count(), 4);
}

TEST_F(HelpContextMapTest, BadNumberNamesFileAndLineAndKeepsTheOldMap) {
    std::string good = WriteFile(Dir / "good.h", "[MAP]\nIDH_GOOD 1\n");
    WriteFile(Dir / "inc.h", "IDH_OK 2\nIDH_BAD 12ab\n");
    std::string bad = WriteFile(Dir / "bad.h", "[MAP]\nIDH_FIRST 9\n#include inc.h\n");
    Map.SetFileName(good);
    try {
        Map.SetFileName(bad);
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        std::string msg = e.what();
        EXPECT_NE(msg.find("'12ab' is not a valid integer value"), std::string::npos) << msg;
        EXPECT_NE(msg.find("inc.h"), std::string::npos) << msg;
        EXPECT_NE(msg.find("line 2"), std::string::npos) << msg;
    }
    EXPECT_EQ(Map.FileName(), good);
    EXPECT_EQ(Map.Count(), 1);
    EXPECT_EQ(Map.LookupContext("IDH_GOOD"), 1);
    EXPECT_EQ(Map.LookupContext("IDH_FIRST"), 0);
    // Numbers out of 32 bits are bad too.
    std::string big = WriteFile(Dir / "big.h", "[MAP]\nIDH_BIG 2147483648\n");
    EXPECT_THROW(Map.SetFileName(big), EConvertError);
    std::string sign = WriteFile(Dir / "sign.h", "[MAP]\nIDH_NEG -2147483648\nIDH_HEX $FFFFFFFF\n");
    Map.SetFileName(sign);
    EXPECT_EQ(Map.LookupContext("IDH_NEG"), INT32_MIN);
    EXPECT_EQ(Map.LookupContext("IDH_HEX"), -1);
}

TEST_F(HelpContextMapTest, MissingFileRaisesAndRecordsStaySorted) {
    try {
        Map.SetFileName((Dir / "none.h").string());
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "File " + (Dir / "none.h").string() + " not found.");
    }
    std::string text = "[MAP]\n";
    for (int i = 0; i < 200; ++i)
        text += "IDH_N" + std::to_string(i) + " " + std::to_string(i + 1) + "\n";
    Map.SetFileName(WriteFile(Dir / "many.h", text));
    ASSERT_EQ(Map.Count(), 200);
    const std::string& data = Map.Data();
    for (int i = 1; i < Map.Count(); ++i) {
        int32_t a, b;
        std::memcpy(&a, data.data() + (i - 1) * 8, 4);
        std::memcpy(&b, data.data() + i * 8, 4);
        EXPECT_LE(a, b);
    }
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(Map.LookupContext("idh_n" + std::to_string(i)), i + 1);
}

namespace {

// Catches the custom properties a component defines.
class TCaptureFiler : public TFiler {
public:
    explicit TCaptureFiler(TStream& s) : TFiler(s) {}
    void DefineProperty(const std::string&, TReaderProc, TWriterProc, bool) override {}
    void DefineBinaryProperty(const std::string& name, TStreamProc read, TStreamProc write,
                              bool hasData) override {
        this->Name = name;
        this->Read = std::move(read);
        this->Write = std::move(write);
        this->HasData = hasData;
    }
    std::string Name;
    TStreamProc Read, Write;
    bool HasData = false;
};

} // namespace

TEST_F(HelpContextMapTest, StoredDataIsWrittenWhenPresentAndReadBackSorted) {
    TMemoryStream unused;
    TCaptureFiler empty(unused);
    Map.DefineProperties(&empty);
    EXPECT_EQ(empty.Name, "FileData");
    EXPECT_FALSE(empty.HasData);

    Map.SetFileName(WriteFile(Dir / "m.h", "[MAP]\nIDH_A 1\nIDH_B 2\nIDH_C 3\n"));
    TCaptureFiler filer(unused);
    Map.DefineProperties(&filer);
    EXPECT_TRUE(filer.HasData);
    TMemoryStream stored;
    filer.Write(stored);
    EXPECT_EQ(stored.Size(), 24);

    // Records out of order and a torn last record, as a damaged form might hold.
    std::string bytes = stored.DataString();
    std::string damaged = bytes.substr(16, 8) + bytes.substr(0, 16) + "\x01\x02\x03";
    TStringStream in(damaged);
    THelpContextMap copy(nullptr);
    TCaptureFiler reader(unused);
    copy.DefineProperties(&reader);
    reader.Read(in);
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.LookupContext("IDH_A"), 1);
    EXPECT_EQ(copy.LookupContext("IDH_B"), 2);
    EXPECT_EQ(copy.LookupContext("IDH_C"), 3);
}
