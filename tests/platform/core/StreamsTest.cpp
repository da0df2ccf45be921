#include "platform/core/Streams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/core/Exceptions.h"

using namespace epc;

TEST(TMemoryStream, ReadingPastTheEndReadsShort) {
    TMemoryStream m;
    m.WriteString("abc");
    m.SetPosition(1);
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf, 2), "bc");
    EXPECT_EQ(m.Read(buf, 8), 0);
    m.SetPosition(100);
    EXPECT_EQ(m.Read(buf, 1), 0);
    m.SetPosition(2);
    EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
    m.Seek(-10, TSeekOrigin::soCurrent);
    EXPECT_EQ(m.Position(), 0);
}

TEST(TMemoryStream, WritesGrowAndIntegersAreLittleEndian) {
    TMemoryStream m;
    m.WriteInt32(0x01020304);
    EXPECT_EQ(m.DataString(), std::string("\x04\x03\x02\x01", 4));
    m.SetPosition(6);
    m.WriteByte(9);
    EXPECT_EQ(m.Size(), 7);
    m.SetPosition(0);
    EXPECT_EQ(m.ReadInt32(), 0x01020304);
    TStringStream s("xyz");
    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(s, 0), 3);
    EXPECT_EQ(copy.DataString(), "xyz");
}

TEST(TFileStream, MissingFileRaisesOpenErrorNamingIt) {
    try {
        TFileStream f("/nonexistent/dir/file.bin", fmOpenRead);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("Cannot open file \"/nonexistent/dir/file.bin\""),
                  std::string::npos);
    }
    EXPECT_THROW(TFileStream("/nonexistent/dir/new.bin", fmCreate), EFCreateError);
}

TEST(TFileStream, SavesAndLoads) {
    auto path = std::filesystem::temp_directory_path() / "epc_streams_test.bin";
    {
        TMemoryStream m;
        m.WriteString("hello");
        m.SaveToFile(path.string());
    }
    TMemoryStream back;
    back.LoadFromFile(path.string());
    EXPECT_EQ(back.DataString(), "hello");
    std::filesystem::remove(path);
}
