#pragma once
// Byte streams: the abstract stream, a growable memory stream, a file stream and a string
// stream. Read returns what was available (short at the end); ReadBuffer and WriteBuffer raise
// when the whole count cannot be moved.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/core/Types.h"

namespace epc {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    std::string ClassName() const override { return "TStream"; }

    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t newSize);

    // Raise EReadError "Stream read error" / EWriteError "Stream write error" when short.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (all of it from its start when count is 0); returns the
    // number copied.
    int64_t CopyFrom(TStream& source, int64_t count);

    // Little-endian helpers.
    void WriteString(const std::string& bytes) { WriteBuffer(bytes.data(), int64_t(bytes.size())); }
    void WriteInt32(int32_t v);
    void WriteByte(uint8_t v) { WriteBuffer(&v, 1); }
    int32_t ReadInt32();
    uint8_t ReadByte();
};

class TMemoryStream : public TStream {
public:
    std::string ClassName() const override { return "TMemoryStream"; }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return int64_t(FData.size()); }
    void SetSize(int64_t newSize) override;

    uint8_t* Memory() { return FData.data(); }
    const uint8_t* Memory() const { return FData.data(); }
    void Clear();
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    // The stream's bytes as a string (for tests and for bodies held in strings).
    std::string DataString() const { return std::string(FData.begin(), FData.end()); }

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// A memory stream made from, and readable as, a byte string.
class TStringStream : public TMemoryStream {
public:
    explicit TStringStream(const std::string& data = std::string());
    std::string ClassName() const override { return "TStringStream"; }
};

enum : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

class TFileStream : public TStream {
public:
    // Raises EFOpenError 'Cannot open file "name". reason' or EFCreateError likewise, also for
    // a name that is not a regular file (a folder, a device, a pipe).
    TFileStream(const std::string& fileName, uint16_t mode);
    ~TFileStream() override;
    std::string ClassName() const override { return "TFileStream"; }

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    // The file's size; EReadError when it cannot be read.
    int64_t Size() override;
    void SetSize(int64_t newSize) override;
    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    std::FILE* FFile = nullptr;
};

}  // namespace epc
