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

// A folder opens for reading and a device has no size: neither is a file stream, whatever the
// mode, and loading one into memory fails as opening it does.
TEST(TFileStream, OnlyRegularFilesOpen) {
    const auto dir = std::filesystem::temp_directory_path() / "epc_streams_folder";
    std::filesystem::create_directories(dir);
    for (const std::string& name :
         {dir.string(), std::string("."), std::string("/"), std::string("/dev/null")}) {
        try {
            TFileStream f(name, fmOpenRead);
            ADD_FAILURE() << name << " opened";
        } catch (const EFOpenError& e) {
            EXPECT_NE(e.Message().find("Cannot open file \"" + name + "\""), std::string::npos);
        }
        EXPECT_THROW(TFileStream(name, fmOpenReadWrite), EFOpenError) << name;
        TMemoryStream m;
        EXPECT_THROW(m.LoadFromFile(name), EFOpenError) << name;
    }
    EXPECT_THROW(TFileStream(dir.string(), fmCreate), EFCreateError);
    std::filesystem::remove_all(dir);
}

TEST(TFileStream, SizeIsTheFileSizeWherePositionStands) {
    auto path = std::filesystem::temp_directory_path() / "epc_streams_size.bin";
    TFileStream f(path.string(), fmCreate);
    f.WriteString("hello");
    f.SetPosition(2);
    EXPECT_EQ(f.Size(), 5);
    EXPECT_EQ(f.Position(), 2);
    std::filesystem::remove(path);
}

// A stream that cannot tell its size fails to load instead of sizing the memory by the failure.
TEST(TMemoryStream, LoadingAStreamWithoutASizeFails) {
    struct NoSize : TMemoryStream {
        int64_t Size() override { return -1; }
    } source;
    TMemoryStream m;
    EXPECT_THROW(m.LoadFromStream(source), EReadError);
}
