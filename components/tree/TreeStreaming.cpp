// Writing nodes to a stream and reading them back: a 12-byte header (plus a node count in
// version 2) followed by nested chunks. The reader checks every count and size it reads
// against the bytes that are really there, so a damaged stream raises a load error instead of
// building nodes it does not hold.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <typeinfo>
#include <utility>

#include "components/tree/BaseVirtualTree.h"
#include "platform/core/ScopeGuard.h"

namespace epc {

using namespace tree_options;

namespace {

struct TUpdateLock {
    explicit TUpdateLock(TBaseVirtualTree& tree) : Tree(tree) { Tree.LockUpdates(); }
    ~TUpdateLock() { Tree.UnlockUpdates(); }
    TBaseVirtualTree& Tree;
};

constexpr uint8_t Magic[6] = {0x45, 0x20, 0x56, 0x00, 0x54, 0x00};
constexpr uint8_t Tail[2] = {0x46, 0x20};
constexpr int NodeChunk = 1;
constexpr int BaseChunk = 2;
constexpr int UserChunk = 4;
constexpr int ChunkHeaderSize = 8;
// Count, height, states byte, align, check state, check type and one unused byte.
constexpr int BaseChunkSize1 = 13;
constexpr int BaseChunkSize2 = 17;
// States that never travel: checking, cut or copy, deleting, owns initial data.
constexpr uint16_t SavedStatesMask = 0xFDE9;
// Each level of nesting is a call level of the reader; deeper streams are refused rather
// than run out of stack.
constexpr int MaxLoadDepth = 2048;

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

[[noreturn]] void NotEnoughData() {
    ShowError("Unable to load tree structure, not enough data available.", hcTFStreamTooSmall);
}

[[noreturn]] void AnchorMissing() {
    ShowError("Stream data corrupt. A node's anchor chunk is missing.", hcTFCorruptStream1);
}

[[noreturn]] void UnexpectedData() {
    ShowError("Stream data corrupt. Unexpected data after node's end position.",
              hcTFCorruptStream2);
}

} // namespace

// A read-only window on the bytes of a plain memory stream, with the stream's positions. While
// such a stream is loaded, the chunk readers and the load handlers get this in its place: they
// read it as any stream, and the reader's own reads of a few bytes are plain loads rather than
// calls. Handlers that change the stream they read from are followed (Follow): the view's own
// operations and the reader after every chunk look at the stream's bytes anew.
class TTreeReadView final : public TStream {
public:
    explicit TTreeReadView(TMemoryStream& source)
        : FSource(source), FData(source.Memory()), FSize(source.TMemoryStream::Size()) {
        FPosition = source.TMemoryStream::Seek(0, TSeekOrigin::soCurrent);
    }

    int64_t Read(void* buffer, int64_t count) override {
        Follow();
        if (count <= 0 || FPosition >= FSize) return 0;
        const int64_t n = std::min(count, FSize - FPosition);
        const uint8_t* from = FData + FPosition;
        // Load handlers mostly read a few bytes at a time: those are copied without a call,
        // as two words that may overlap.
        auto* to = static_cast<uint8_t*>(buffer);
        if (n >= 4 && n <= 8) {
            uint32_t head, tail;
            std::memcpy(&head, from, 4);
            std::memcpy(&tail, from + n - 4, 4);
            std::memcpy(to, &head, 4);
            std::memcpy(to + n - 4, &tail, 4);
        } else {
            std::memcpy(to, from, size_t(n));
        }
        FPosition += n;
        return n;
    }
    // Loading never writes to the stream it reads.
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        Follow();
        const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                             : origin == TSeekOrigin::soCurrent ? FPosition
                                                                : FSize;
        FPosition = std::max<int64_t>(0, base + offset);
        return FPosition;
    }
    int64_t Size() override {
        Follow();
        return FSize;
    }

    int64_t Tell() const { return FPosition; }
    void MoveTo(int64_t pos) { FPosition = pos; }
    // Count bytes at Pos, checked against the bytes there.
    const uint8_t* At(int64_t pos, int64_t count) const {
        if (pos < 0 || count > FSize - pos) NotEnoughData();
        return FData + pos;
    }
    void Follow() {
        if (FSource.Memory() == FData && FSource.TMemoryStream::Size() == FSize) return;
        FData = FSource.Memory();
        FSize = FSource.TMemoryStream::Size();
    }
    // Hands the position back to the stream.
    void Finish() { FSource.TMemoryStream::Seek(FPosition, TSeekOrigin::soBeginning); }

private:
    TMemoryStream& FSource;
    const uint8_t* FData = nullptr;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

namespace {

// Reading goes through these: a memory stream's view (non-null) directly, any other stream
// through its own operations.
int64_t Tell(TStream& stream, TTreeReadView* view) {
    return view ? view->Tell() : stream.Position();
}

void MoveTo(TStream& stream, TTreeReadView* view, int64_t pos) {
    if (view)
        view->MoveTo(pos);
    else
        stream.SetPosition(pos);
}

// Count bytes at Pos, the stream's position. A view's bytes are used where they lie and its
// position is left alone (Pos + Count is where it would be; the caller moves it there before
// anything else reads from it); other streams read into Buffer.
const uint8_t* ReadAt(TStream& stream, TTreeReadView* view, int64_t pos, uint8_t* buffer,
                      int64_t count) {
    if (view) return view->At(pos, count);
    if (stream.Read(buffer, count) != count) NotEnoughData();
    return buffer;
}

// Reads a chunk header that must lie, with the bytes it announces, before Limit.
// Pos is the stream's position, known to the caller (asking the stream costs a call per field).
void ReadChunkHeader(TStream& stream, TTreeReadView* view, int64_t pos, int64_t limit, int& id,
                     int& size) {
    if (limit - pos < ChunkHeaderSize) NotEnoughData();
    uint8_t buffer[ChunkHeaderSize];
    const uint8_t* header = ReadAt(stream, view, pos, buffer, ChunkHeaderSize);
    id = int32_t(GetU32(header));
    size = int32_t(GetU32(header + 4));
    if (size < 0 || size > limit - pos - ChunkHeaderSize) NotEnoughData();
}

// Reads the anchor of a node chunk (id 1) that has to start here.
int64_t ReadAnchor(TStream& stream, TTreeReadView* view, int64_t pos, int64_t limit) {
    if (limit - pos < ChunkHeaderSize) AnchorMissing();
    int id = 0;
    int size = 0;
    ReadChunkHeader(stream, view, pos, limit, id, size);
    if (id != NodeChunk) AnchorMissing();
    return pos + ChunkHeaderSize + size;
}

void WriteChunkHeader(TStream& stream, int id, int size) {
    uint8_t header[ChunkHeaderSize];
    PutU32(header, uint32_t(id));
    PutU32(header + 4, uint32_t(size));
    stream.WriteBuffer(header, ChunkHeaderSize);
}

// A loaded node whose children have their totals: its own totals, the flags that follow from
// its children, and its selection moved to Selected (when given) for the tree's list.
void FinishLoadedNode(PVirtualNode node, std::vector<PVirtualNode>* selected) {
    Cardinal count = 1;
    Cardinal height = node->NodeHeight;
    bool anyVisible = false;
    const bool expanded = Has(node, nsExpanded);
    for (PVirtualNode c = node->FirstChild; c; c = c->NextSibling) {
        count += c->TotalCount;
        if (Has(c, nsVisible)) {
            anyVisible = true;
            if (expanded) height += c->TotalHeight;
        }
    }
    node->TotalCount = count;
    node->TotalHeight = height;
    if (node->ChildCount > 0) {
        node->States.Include(nsHasChildren);
        node->States.Set(nsAllChildrenHidden, !anyVisible);
    }
    if (selected && Has(node, nsSelected)) {
        node->States.Exclude(nsSelected);
        selected->push_back(node);
    }
}

} // namespace

// ---- Writing
// -------------------------------------------------------------------------------------------

// The bytes of one SaveToStream call, as a stream that starts where the target stream stood.
// A plain memory stream is written in place at its end (its bytes grow ahead of the writer and
// are cut back at the end); any other target gets the bytes, collected in a memory stream, in
// one write. Save handlers write to it as to any stream, at the target's positions; the tree's own
// writer appends and fills in chunk sizes without calls.
class TTreeWriteBuffer final : public TStream {
public:
    explicit TTreeWriteBuffer(TStream& target) : FTarget(target) {
        const std::type_info& kind = typeid(target);
        if ((kind == typeid(TMemoryStream) || kind == typeid(TStringStream)) &&
            target.Position() == target.Size()) {
            FStore = static_cast<TMemoryStream*>(&target);
            FBase = FStore->TMemoryStream::Size();
        } else {
            FOwnStore = std::make_unique<TMemoryStream>();
            FStore = FOwnStore.get();
            FBase = target.Position();
        }
        Reach(0);
    }
    // A save that failed leaves what it wrote, as writing straight to the target would.
    ~TTreeWriteBuffer() override {
        if (!FFinished && !FOwnStore) FStore->TMemoryStream::SetSize(FBase + FLength);
    }

    int64_t Read(void* buffer, int64_t count) override {
        if (count <= 0 || FPosition >= FLength) return 0;
        const int64_t n = std::min(count, FLength - FPosition);
        std::memcpy(buffer, FData + FPosition, size_t(n));
        FPosition += n;
        return n;
    }
    int64_t Write(const void* buffer, int64_t count) override {
        if (count <= 0) return 0;
        const int64_t end = FPosition + count;
        if (end > FLength) {
            // A gap left by seeking past the end reads as zeros.
            const int64_t old = FLength;
            Reach(end);
            if (FPosition > old) std::memset(FData + old, 0, size_t(FPosition - old));
        }
        std::memcpy(FData + FPosition, buffer, size_t(count));
        FPosition = end;
        return count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        const int64_t base = origin == TSeekOrigin::soBeginning ? 0
                             : origin == TSeekOrigin::soCurrent ? FBase + FPosition
                                                                : FBase + FLength;
        // What lies before the save's start is the target's, out of reach here.
        FPosition = std::max<int64_t>(0, base + offset - FBase);
        return FBase + FPosition;
    }
    int64_t Size() override { return FBase + FLength; }
    void SetSize(int64_t newSize) override {
        const int64_t length = std::max<int64_t>(0, newSize - FBase);
        if (length > FLength) {
            const int64_t old = FLength;
            Reach(length);
            std::memset(FData + old, 0, size_t(length - old));
        }
        FLength = length;
        FPosition = std::min(FPosition, FLength);
    }

    // Offsets in the buffer; the writer keeps to its end.
    int64_t End() const { return FLength; }
    // Count bytes added at the end, for the caller to fill.
    uint8_t* Append(int64_t count) {
        const int64_t at = FLength;
        Reach(at + count);
        FPosition = FLength;
        return FData + at;
    }
    void PatchU32(int64_t at, uint32_t value) { PutU32(FData + at, value); }
    void CutTo(int64_t length) {
        FLength = length;
        FPosition = length;
    }
    // Room for Nodes nodes of anchor and base chunk; once the buffer overflows, the bytes per
    // node written so far say how much the rest needs, so that it grows about once.
    void Expect(Cardinal nodes) {
        FExpectedNodes = nodes;
        const int64_t length = FLength;
        Reach(16 + int64_t(nodes) * (2 * ChunkHeaderSize + BaseChunkSize2));
        FLength = length;
    }
    void NodeStarted() { ++FStartedNodes; }
    // Leaves the target holding the bytes, positioned after them.
    void Finish() {
        FFinished = true;
        const int64_t end = FBase + FLength;
        if (FOwnStore) {
            if (FLength > 0) FTarget.WriteBuffer(FData, FLength);
            return;
        }
        FStore->TMemoryStream::SetSize(end);
        FStore->TMemoryStream::Seek(end, TSeekOrigin::soBeginning);
    }

private:
    // Makes Length bytes writable; bytes beyond the old length are for the caller to fill.
    void Reach(int64_t length) {
        if (length > FCapacity) {
            int64_t predicted = 0;
            if (FStartedNodes > 0 && FExpectedNodes > FStartedNodes)
                predicted = length / int64_t(FStartedNodes) * int64_t(FExpectedNodes) * 9 / 8;
            FCapacity = std::max<int64_t>({length, FCapacity * 2, predicted, 4096});
            FStore->TMemoryStream::SetSize(FBase + FCapacity);
            FData = FStore->Memory() + FBase;
        }
        FLength = length;
    }
    TStream& FTarget;
    TMemoryStream* FStore = nullptr;
    std::unique_ptr<TMemoryStream> FOwnStore;
    uint8_t* FData = nullptr;
    int64_t FBase = 0;
    int64_t FCapacity = -1;
    int64_t FLength = 0;
    int64_t FPosition = 0;
    bool FFinished = false;
    Cardinal FExpectedNodes = 0;
    Cardinal FStartedNodes = 0;
};

void TBaseVirtualTree::SaveToStream(TStream& stream, PVirtualNode node) {
    auto writer = std::make_unique<TTreeWriteBuffer>(stream);
    TTreeWriteBuffer& buffer = *writer;
    buffer.Expect(node && node != FRoot.get() ? node->TotalCount : FRoot->TotalCount - 1);
    TTreeWriteBuffer* const outer = std::exchange(FWriteBuffer, writer.get());
    auto restore = Finally([&] { FWriteBuffer = outer; });
    uint8_t* header = buffer.Append(16);
    std::memcpy(header, Magic, 6);
    header[6] = 2;
    header[7] = 0;
    header[8] = 0x20;
    header[9] = 0;
    std::memcpy(header + 10, Tail, 2);
    if (node && node != FRoot.get()) {
        PutU32(header + 12, 1);
        WriteNode(buffer, node);
    } else {
        PutU32(header + 12, FRoot->ChildCount);
        for (PVirtualNode run = FRoot->FirstChild; run; run = run->NextSibling)
            WriteNode(buffer, run);
    }
    buffer.Finish();
}

void TBaseVirtualTree::FinishChunkHeader(TStream& stream, int64_t startPos, int64_t endPos) {
    uint8_t size[4];
    PutU32(size, uint32_t(endPos - startPos - ChunkHeaderSize));
    stream.SetPosition(startPos + 4);
    stream.WriteBuffer(size, 4);
    stream.SetPosition(endPos);
}

TTreeWriteBuffer* TBaseVirtualTree::WritingInPlace(TStream& stream) const {
    return FWriteBuffer == &stream ? FWriteBuffer : nullptr;
}

void TBaseVirtualTree::WriteNode(TStream& stream, PVirtualNode node) {
    if (FOptions->MiscOptions().Contains(toInitOnSave)) {
        if (!Has(node, nsInitialized)) InitNode(node);
        if (Has(node, nsHasChildren) && node->ChildCount == 0) InitChildren(node);
    }
    if (TTreeWriteBuffer* buffer = WritingInPlace(stream)) {
        buffer->NodeStarted();
        const int64_t start = buffer->End();
        PutU32(buffer->Append(ChunkHeaderSize), NodeChunk);
        WriteChunks(stream, node);
        buffer->PatchU32(start + 4, uint32_t(buffer->End() - start - ChunkHeaderSize));
        return;
    }
    int64_t start = stream.Position();
    WriteChunkHeader(stream, NodeChunk, 0);
    WriteChunks(stream, node);
    FinishChunkHeader(stream, start, stream.Position());
}

void TBaseVirtualTree::WriteChunks(TStream& stream, PVirtualNode node) {
    const bool withChildren = Has(node, nsInitialized);
    TTreeWriteBuffer* buffer = WritingInPlace(stream);
    const int64_t start = buffer ? buffer->End() : stream.Position();
    uint8_t local[ChunkHeaderSize + BaseChunkSize2];
    uint8_t* base = buffer ? buffer->Append(sizeof local) : local;
    PutU32(base, BaseChunk);
    PutU32(base + 4, BaseChunkSize2);
    // The count says how many child chunks follow, so a reader can check them.
    PutU32(base + 8, withChildren ? node->ChildCount : 0);
    PutU32(base + 12, node->NodeHeight);
    const uint16_t states = uint16_t(node->States.Bits & SavedStatesMask);
    base[16] = uint8_t(states);
    base[17] = uint8_t(states >> 8);
    base[18] = node->Align;
    base[19] = node->CheckState;
    base[20] = node->CheckType;
    PutU32(base + 21, 0);
    if (!buffer) stream.WriteBuffer(local, sizeof local);
    if (withChildren && node->FirstChild) {
        for (PVirtualNode run = node->FirstChild; run; run = run->NextSibling)
            WriteNode(stream, run);
        if (buffer)
            buffer->PatchU32(start + 4, uint32_t(buffer->End() - start - ChunkHeaderSize));
        else
            FinishChunkHeader(stream, start, stream.Position());
    }

    // The user data chunk; its header is taken back when the handler writes nothing.
    const int64_t userStart = buffer ? buffer->End() : stream.Position();
    if (buffer)
        PutU32(buffer->Append(ChunkHeaderSize), UserChunk);
    else
        WriteChunkHeader(stream, UserChunk, 0);
    DoSaveUserData(node, stream);
    if (buffer) {
        // A handler may have moved about in the buffer: its end is what it holds.
        const int64_t userEnd = buffer->End();
        buffer->Seek(0, TSeekOrigin::soEnd);
        if (userEnd == userStart + ChunkHeaderSize)
            buffer->CutTo(userStart);
        else
            buffer->PatchU32(userStart + 4, uint32_t(userEnd - userStart - ChunkHeaderSize));
        return;
    }
    const int64_t userEnd = stream.Position();
    if (userEnd == userStart + ChunkHeaderSize) {
        stream.SetSize(stream.Size() - ChunkHeaderSize);
        stream.SetPosition(userStart);
    } else {
        FinishChunkHeader(stream, userStart, userEnd);
    }
}

// ---- Reading
// -------------------------------------------------------------------------------------------

void TBaseVirtualTree::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TBaseVirtualTree::LoadFromStream(TStream& stream) {
    if (IsReadOnly()) return;
    Clear();
    InsertNodes(stream, FRoot.get(), TVTNodeAttachMode::amAddChildLast);
    DoNodeCopied(nullptr);
}

std::vector<PVirtualNode> TBaseVirtualTree::InsertFromStream(TStream& stream, PVirtualNode target,
                                                             TVTNodeAttachMode mode) {
    if (IsReadOnly()) return {};
    std::vector<PVirtualNode> added = InsertNodes(stream, target, mode);
    for (PVirtualNode node : added)
        DoNodeCopied(node);
    return added;
}

std::vector<PVirtualNode> TBaseVirtualTree::InsertNodes(TStream& stream, PVirtualNode target,
                                                        TVTNodeAttachMode mode) {
    using M = TVTNodeAttachMode;
    std::vector<PVirtualNode> added;
    if (mode == M::amNoWhere) return added;
    if (!target) target = FRoot.get();
    if (target == FRoot.get()) {
        if (mode == M::amInsertBefore) mode = M::amAddChildFirst;
        if (mode == M::amInsertAfter) mode = M::amAddChildLast;
    }
    const int64_t size = stream.Size();
    uint8_t header[12];
    if (stream.Read(header, 12) != 12) NotEnoughData();
    if (std::memcmp(header, Magic, 6) != 0 || std::memcmp(header + 10, Tail, 2) != 0)
        ShowError("Unable to load tree structure, the format is wrong.", hcTFWrongStreamFormat);
    const int version = header[6] | header[7] << 8;
    if (version != 1 && version != 2)
        ShowError("Unable to load tree structure, the version is unknown.", hcTFWrongStreamVersion);

    TUpdateLock lock(*this);
    uint64_t count = UINT64_MAX;
    if (version == 2) {
        uint8_t bytes[4];
        ReadAt(stream, nullptr, 12, bytes, 4);
        count = GetU32(bytes);
    }
    const bool asChildren = mode == M::amAddChildFirst || mode == M::amAddChildLast;
    if (asChildren && target != FRoot.get() && !target->States.Contains(nsInitialized))
        InitNode(target);
    // A load handler may insert another stream: the outer reading goes on as it was after.
    const int64_t outerLimit = FReadLimit;
    const int outerDepth = FReadDepth;
    TTreeReadView* const outerView = FReadView;
    std::vector<PVirtualNode>* const outerSelection = FLoadSelection;
    FReadLimit = size;
    FReadDepth = 0;
    // Only streams known not to change how they read are read in place.
    const std::type_info& kind = typeid(stream);
    std::optional<TTreeReadView> view;
    if (kind == typeid(TMemoryStream) || kind == typeid(TStringStream))
        view.emplace(static_cast<TMemoryStream&>(stream));
    TStream& in = view ? static_cast<TStream&>(*view) : stream;
    FReadView = view ? &*view : nullptr;
    auto forget = Finally([&] {
        FReadLimit = outerLimit;
        FReadDepth = outerDepth;
        FReadView = outerView;
        FLoadSelection = outerSelection;
        if (view) view->Finish();
    });

    // The new nodes are spliced in one after another behind After; what they add to the
    // parent's totals, its shown rows and the selection is handed over once, at the end (also
    // when reading fails, for the nodes read so far).
    PVirtualNode parent = asChildren ? target : target->Parent;
    PVirtualNode after = mode == M::amAddChildLast    ? target->LastChild
                         : mode == M::amAddChildFirst ? nullptr
                         : mode == M::amInsertBefore  ? target->PrevSibling
                                                      : target;
    bool rowsShown = true;
    for (PVirtualNode run = parent; run != FRoot.get(); run = run->Parent)
        if (!Has(run, nsExpanded) || !Has(run, nsVisible)) {
            rowsShown = false;
            break;
        }
    int64_t addedCount = 0;
    int64_t addedHeight = 0;
    Cardinal addedRows = 0;
    bool anyVisible = false;
    std::vector<PVirtualNode> selected;
    FLoadSelection = &selected;
    auto commit = Finally([&] {
        if (added.empty()) return;
        ++FStructureVersion;
        parent->States.Include(nsHasChildren);
        if (anyVisible) parent->States.Exclude(nsAllChildrenHidden);
        Cardinal index = after->Index;
        for (PVirtualNode run = after->NextSibling; run; run = run->NextSibling)
            run->Index = ++index;
        AdjustTotalCount(parent, int(addedCount), true);
        if (Has(parent, nsExpanded)) AdjustTotalHeight(parent, int(addedHeight), true);
        if (rowsShown) FVisibleCount += addedRows;
        if (FOptions->SelectionOptions().Contains(toMultiSelect) && !selected.empty())
            InternalAddToSelection(selected, false);
    });
    while (count > 0 && Tell(in, FReadView) < size) {
        --count;
        // The anchor is checked before the node is made, so no node exists without its chunk.
        int64_t pos = Tell(in, FReadView);
        ReadAnchor(in, FReadView, pos, size);
        MoveTo(in, FReadView, pos);
        PVirtualNode node = MakeNewNode();
        node->Parent = parent;
        // Each node is finished as its chunks end; after a failure the partly read subtree is
        // finished here.
        bool complete = false;
        auto link = Finally([&] {
            if (!complete) FinishLoadedSubtree(node, selected);
            node->Index = after ? after->Index + 1 : 0;
            node->PrevSibling = after;
            node->NextSibling = after ? after->NextSibling : parent->FirstChild;
            if (node->NextSibling)
                node->NextSibling->PrevSibling = node;
            else
                parent->LastChild = node;
            if (after)
                after->NextSibling = node;
            else
                parent->FirstChild = node;
            ++parent->ChildCount;
            after = node;
            added.push_back(node);
            addedCount += node->TotalCount;
            if (Has(node, nsVisible)) {
                anyVisible = true;
                addedHeight += node->TotalHeight;
                if (rowsShown)
                    addedRows += 1 + (Has(node, nsExpanded) ? CountVisibleChildren(node) : 0);
            }
        });
        ReadNode(in, version, node);
        complete = true;
    }
    return added;
}

void TBaseVirtualTree::ReadNode(TStream& stream, int version, PVirtualNode node) {
    TTreeReadView* view = ReadingInPlace(stream);
    const int64_t pos = Tell(stream, view);
    int64_t end = ReadAnchor(stream, view, pos, FReadLimit);
    // An empty node chunk reads nothing more: the stream has to be past its anchor already.
    if (view) view->MoveTo(pos + ChunkHeaderSize);
    ReadNodeChunks(stream, version, node, pos + ChunkHeaderSize, end);
}

void TBaseVirtualTree::ReadNodeChunks(TStream& stream, int version, PVirtualNode node, int64_t pos,
                                      int64_t end) {
    TTreeReadView* view = ReadingInPlace(stream);
    ++FReadDepth;
    int64_t outerLimit = FReadLimit;
    auto restore = Finally([&] {
        --FReadDepth;
        FReadLimit = outerLimit;
    });
    while (pos < end) {
        FReadLimit = end;
        // Bytes too few for one more chunk are stray data, not a chunk cut short.
        if (end - pos < ChunkHeaderSize) UnexpectedData();
        int id = 0;
        int size = 0;
        ReadChunkHeader(stream, view, pos, end, id, size);
        if (view) view->MoveTo(pos + ChunkHeaderSize);
        ReadChunk(stream, version, node, id, size);
        if (view) view->Follow();
        pos = Tell(stream, view);
    }
    if (pos != end) UnexpectedData();
    FinishLoadedNode(node, FLoadSelection);
}

bool TBaseVirtualTree::ReadChunk(TStream& stream, int version, PVirtualNode node, int chunkId,
                                 int chunkSize) {
    TTreeReadView* view = ReadingInPlace(stream);
    const int64_t start = Tell(stream, view);
    const int64_t end = start + chunkSize;
    if (end > FReadLimit) NotEnoughData();
    switch (chunkId) {
    case BaseChunk: {
        const int baseSize = version == 1 ? BaseChunkSize1 : BaseChunkSize2;
        if (chunkSize < baseSize) NotEnoughData();
        uint8_t buffer[BaseChunkSize2];
        const uint8_t* base = ReadAt(stream, view, start, buffer, baseSize);
        const uint32_t childCount = GetU32(base);
        node->NodeHeight = Word(std::min<uint32_t>(GetU32(base + 4), 0xFFFF));
        const uint8_t* rest = base + 8;
        if (version == 1) {
            node->States = (rest[0] & 0x80) ? TVirtualNodeStates{nsSelected, nsVisible}
                                            : TVirtualNodeStates{nsVisible};
            ++rest;
        } else {
            node->States.Bits = uint16_t((rest[0] | rest[1] << 8) & SavedStatesMask);
            // Transient or derived flags are rebuilt, never taken from the stream.
            node->States.Exclude(nsClearing);
            node->States.Exclude(nsAllChildrenHidden);
            rest += 2;
        }
        node->Align = rest[0];
        node->CheckState = rest[1] <= csMixedPressed ? TCheckState(rest[1]) : csUncheckedNormal;
        node->CheckType = rest[2] <= ctButton ? TCheckType(rest[2]) : ctNone;
        int64_t pos = start + baseSize;
        for (uint32_t i = 0; i < childCount; ++i) {
            if (FReadDepth >= MaxLoadDepth) AnchorMissing();
            int64_t childEnd = ReadAnchor(stream, view, pos, end);
            PVirtualNode child = MakeNewNode();
            // Linked by hand: the totals of the whole subtree are summed once it is read.
            LinkAsLastChild(node, child);
            ++node->ChildCount;
            ReadNodeChunks(stream, version, child, pos + ChunkHeaderSize, childEnd);
            pos = childEnd;
        }
        if (pos != end) UnexpectedData();
        if (view) view->MoveTo(end);
        return true;
    }
    case UserChunk: {
        if (chunkSize <= 0) return false;
        DoLoadUserData(node, stream);
        const int64_t after = Tell(stream, view);
        if (after != end) MoveTo(stream, view, end);
        return after != start;
    }
    default:
        MoveTo(stream, view, end);
        return false;
    }
}

TTreeReadView* TBaseVirtualTree::ReadingInPlace(TStream& stream) const {
    return FReadView && static_cast<TStream*>(FReadView) == &stream ? FReadView : nullptr;
}

void TBaseVirtualTree::SkipNode(TStream& stream) {
    int64_t end = ReadAnchor(stream, nullptr, stream.Position(), stream.Size());
    stream.SetPosition(end);
}

void TBaseVirtualTree::FinishLoadedSubtree(PVirtualNode top, std::vector<PVirtualNode>& selected) {
    // Post-order without recursion: a node's totals are summed once all its children have
    // theirs.
    PVirtualNode run = top;
    while (true) {
        if (run->FirstChild) {
            run = run->FirstChild;
            continue;
        }
        while (true) {
            FinishLoadedNode(run, &selected);
            if (run == top) return;
            if (run->NextSibling) {
                run = run->NextSibling;
                break;
            }
            run = run->Parent;
        }
    }
}

} // namespace epc
