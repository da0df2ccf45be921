#include "platform/core/Streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/core/Exceptions.h"

namespace epc {

int64_t TStream::Size() {
    int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    int64_t left = count;
    std::vector<uint8_t> buffer(size_t(std::min<int64_t>(left, 1 << 16)) + 1);
    while (left > 0) {
        int64_t n = std::min<int64_t>(left, int64_t(buffer.size()));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

void TStream::WriteInt32(int32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    WriteBuffer(b, 4);
}

int32_t TStream::ReadInt32() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                   (uint32_t(b[3]) << 24));
}

uint8_t TStream::ReadByte() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= int64_t(FData.size())) return 0;
    int64_t n = std::min<int64_t>(count, int64_t(FData.size()) - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = FPosition + count;
    if (end > int64_t(FData.size())) {
        if (end > int64_t(FData.capacity())) FData.reserve(size_t(std::max<int64_t>(end, int64_t(FData.capacity()) * 2)));
        FData.resize(size_t(end));
    }
    std::memcpy(FData.data() + FPosition, buffer, size_t(count));
    FPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? FPosition
                                                      : int64_t(FData.size());
    // A position before the start is not allowed; past the end reads nothing.
    FPosition = std::max<int64_t>(0, base + offset);
    return FPosition;
}

void TMemoryStream::SetSize(int64_t newSize) {
    FData.resize(size_t(std::max<int64_t>(0, newSize)));
    if (FPosition > int64_t(FData.size())) FPosition = int64_t(FData.size());
}

void TMemoryStream::Clear() {
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    int64_t size = stream.Size();
    // A stream that cannot tell its size (a failed seek) has none to copy.
    if (size < 0) throw EReadError(SReadError);
    FData.assign(size_t(size), 0);
    FPosition = 0;
    if (size) stream.ReadBuffer(FData.data(), size);
}

void TMemoryStream::SaveToStream(TStream& stream) {
    if (!FData.empty()) stream.WriteBuffer(FData.data(), int64_t(FData.size()));
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

TStringStream::TStringStream(const std::string& data) {
    if (!data.empty()) WriteBuffer(data.data(), int64_t(data.size()));
    SetPosition(0);
}

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : FFileName(fileName) {
    const char* how;
    if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
        how = "w+b";
    } else {
        switch (mode & 3) {
        case fmOpenWrite:
        case fmOpenReadWrite: how = "r+b"; break;
        default: how = "rb"; break;
        }
    }
    FFile = std::fopen(fileName.c_str(), how);
    std::string reason;
    if (!FFile) {
        reason = std::strerror(errno);
    } else {
        // A folder opens for reading, and a device or a pipe has no size to seek to: a file
        // stream is a regular file or nothing.
        struct stat st;
        if (fstat(fileno(FFile), &st) != 0)
            reason = std::strerror(errno);
        else if (S_ISDIR(st.st_mode))
            reason = std::strerror(EISDIR);
        else if (!S_ISREG(st.st_mode))
            reason = "Not a regular file";
        if (!reason.empty()) {
            std::fclose(FFile);
            FFile = nullptr;
        }
    }
    if (!FFile) {
        if ((mode & 0xFF00) == fmCreate)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream() {
    if (FFile) std::fclose(FFile);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return int64_t(std::fread(buffer, 1, size_t(count), FFile));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return int64_t(std::fwrite(buffer, 1, size_t(count), FFile));
}

int64_t TFileStream::Size() {
    std::fflush(FFile);
    struct stat st;
    if (fstat(fileno(FFile), &st) != 0 || st.st_size < 0)
        throw EReadError("Stream size cannot be read");
    return int64_t(st.st_size);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                    : SEEK_END;
    if (fseeko(FFile, offset, whence) != 0) return -1;
    return ftello(FFile);
}

void TFileStream::SetSize(int64_t newSize) {
    std::fflush(FFile);
    if (ftruncate(fileno(FFile), newSize) != 0) throw EStreamError("Stream size cannot be changed");
    if (Position() > newSize) SetPosition(newSize);
}

}  // namespace epc
