#include <cstring>
#include <random>

#include "TreeTestSupport.h"

using namespace epc;
using namespace epc::tree_options;
using epc::testing::CheckTotals;
using epc::testing::ChildIndices;

namespace {

// A tree whose nodes carry one int32 of user data, saved and loaded by the node events.
struct StreamTree : TBaseVirtualTree {
    StreamTree() : TBaseVirtualTree(nullptr) {
        SetNodeDataSize(4);
        OnSaveNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            int32_t v = *t->NodeData<int32_t>(n);
            if (v != 0) s.WriteInt32(v);
        };
        OnLoadNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            *t->NodeData<int32_t>(n) = s.ReadInt32();
        };
        auto* o = TreeOptions();
        o->SetSelectionOptions(o->SelectionOptions() | toMultiSelect);
    }
};

void BuildRandom(StreamTree& tree, std::mt19937& rng, int count) {
    std::vector<PVirtualNode> nodes;
    for (int i = 0; i < count; ++i) {
        PVirtualNode parent =
            nodes.empty() || rng() % 4 == 0 ? nullptr : nodes[rng() % nodes.size()];
        PVirtualNode n = tree.AddChild(parent);
        tree.InitNode(n);
        *tree.NodeData<int32_t>(n) = rng() % 3 == 0 ? 0 : int32_t(rng());
        tree.SetNodeHeight(n, 10 + rng() % 40);
        n->Align = uint8_t(rng());
        n->CheckType = TCheckType(rng() % 5);
        n->CheckState = TCheckState(rng() % 6);
        nodes.push_back(n);
    }
    for (PVirtualNode n : nodes) {
        if (rng() % 2) tree.SetExpanded(n, true);
        if (rng() % 7 == 0) tree.SetVisible(n, false);
        if (rng() % 5 == 0) tree.AddToSelection(n);
    }
}

void ExpectSame(TBaseVirtualTree& a, PVirtualNode na, TBaseVirtualTree& b, PVirtualNode nb) {
    ASSERT_EQ(na->ChildCount, nb->ChildCount);
    if (na != a.RootNode()) {
        EXPECT_EQ(na->NodeHeight, nb->NodeHeight);
        EXPECT_EQ(na->States.Bits & 0xFDE9, nb->States.Bits & 0xFDE9);
        EXPECT_EQ(na->Align, nb->Align);
        EXPECT_EQ(na->CheckState, nb->CheckState);
        EXPECT_EQ(na->CheckType, nb->CheckType);
        EXPECT_EQ(na->TotalHeight, nb->TotalHeight);
        EXPECT_EQ(*a.NodeData<int32_t>(na), *b.NodeData<int32_t>(nb));
    }
    for (PVirtualNode ca = na->FirstChild, cb = nb->FirstChild; ca;
         ca = ca->NextSibling, cb = cb->NextSibling) {
        EXPECT_EQ(ca->Index, cb->Index);
        ExpectSame(a, ca, b, cb);
    }
}

std::string Saved(TBaseVirtualTree& tree, PVirtualNode node = nullptr) {
    TMemoryStream s;
    tree.SaveToStream(s, node);
    return s.DataString();
}

int LoadError(TBaseVirtualTree& tree, const std::string& bytes, std::string* message = nullptr) {
    TStringStream s(bytes);
    try {
        tree.LoadFromStream(s);
    } catch (const EVirtualTreeError& e) {
        if (message) *message = e.Message();
        return e.HelpContext();
    }
    return 0;
}

// A stream that is not a memory stream: the tree reads it through its operations only.
class TPlainStream : public TStream {
public:
    explicit TPlainStream(std::string bytes) : FBytes(std::move(bytes)) {}
    int64_t Read(void* buffer, int64_t count) override { return FInner.Read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override {
        return FInner.Write(buffer, count);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        return FInner.Seek(offset, origin);
    }

private:
    std::string FBytes;
    TStringStream FInner{FBytes};
};

struct TLoadOutcome {
    int Error;
    Cardinal Count;
    std::string Saved;
    int64_t Position;
};

TLoadOutcome LoadThrough(TStream& stream) {
    StreamTree tree;
    TLoadOutcome outcome{0, 0, {}, 0};
    try {
        tree.LoadFromStream(stream);
    } catch (const EVirtualTreeError& e) {
        outcome.Error = e.HelpContext();
    }
    CheckTotals(tree);
    outcome.Count = tree.TotalCount();
    outcome.Saved = Saved(tree);
    outcome.Position = outcome.Error == 0 ? stream.Position() : -1;
    return outcome;
}

// Loads the bytes from a memory stream (read in place) and from a plain stream; both must end
// alike.
void ExpectLoadsAlike(const std::string& bytes, int error, Cardinal count) {
    TStringStream memory(bytes);
    TPlainStream plain(bytes);
    TLoadOutcome a = LoadThrough(memory);
    TLoadOutcome b = LoadThrough(plain);
    EXPECT_EQ(a.Error, error);
    EXPECT_EQ(a.Count, count);
    EXPECT_EQ(b.Error, a.Error);
    EXPECT_EQ(b.Count, a.Count);
    EXPECT_EQ(b.Saved, a.Saved);
    EXPECT_EQ(b.Position, a.Position);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + size_t(i)] = char(v >> (8 * i));
}

uint32_t GetU32Of(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(uint8_t(s[at + size_t(i)])) << (8 * i);
    return v;
}

} // namespace

TEST(TreeStream, RandomTreesRoundTrip) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        StreamTree a;
        BuildRandom(a, rng, int(rng() % 300));
        std::string bytes = Saved(a);
        StreamTree b;
        TStringStream in(bytes);
        b.LoadFromStream(in);
        EXPECT_EQ(b.TotalCount(), a.TotalCount());
        EXPECT_EQ(b.RootTotalHeight(), a.RootTotalHeight());
        EXPECT_EQ(b.VisibleCount(), a.VisibleCount());
        EXPECT_EQ(b.SelectedCount(), a.SelectedCount());
        ExpectSame(a, a.RootNode(), b, b.RootNode());
        EXPECT_EQ(CheckTotals(b), b.VisibleCount());
        EXPECT_EQ(Saved(b), bytes) << "seed " << seed;
    }
}

TEST(TreeStream, EmptyTreeAndAbsentUserChunk) {
    StreamTree tree;
    std::string empty = Saved(tree);
    EXPECT_EQ(empty, std::string("\x45\x20\x56\x00\x54\x00\x02\x00\x20\x00\x46\x20\0\0\0\0", 16));
    PVirtualNode n = tree.AddChild(nullptr);
    tree.InitNode(n);
    // No user data: node chunk = anchor + base chunk header + 17 bytes, nothing else.
    EXPECT_EQ(Saved(tree).size(), 16u + 8 + 8 + 17);
    *tree.NodeData<int32_t>(n) = 7;
    EXPECT_EQ(Saved(tree).size(), 16u + 8 + 8 + 17 + 8 + 4);
    // One node alone: count 1.
    std::string one = Saved(tree, n);
    EXPECT_EQ(uint8_t(one[12]), 1);
}

TEST(TreeStream, SavingWritesWhereTheStreamStandsAsNodeByNodeWriting) {
    StreamTree tree;
    std::mt19937 rng(3);
    BuildRandom(tree, rng, 80);
    // A handler that writes a placeholder, seeks back to fill it in and sees the target's
    // positions; another that writes nothing for some nodes.
    std::vector<int64_t> positions;
    tree.OnSaveNode = [&](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
        const int32_t v = *t->NodeData<int32_t>(n);
        if (v % 2 == 0) return;
        const int64_t at = s.Position();
        positions.push_back(at);
        s.WriteInt32(0);
        s.WriteInt32(v);
        s.SetPosition(at);
        s.WriteInt32(4);
        s.Seek(0, TSeekOrigin::soEnd);
    };
    TMemoryStream whole;
    whole.WriteString("before");
    tree.SaveToStream(whole);
    const std::vector<int64_t> saving = positions;
    ASSERT_FALSE(saving.empty());

    positions.clear();
    TMemoryStream single;
    single.WriteString("before");
    single.WriteString(whole.DataString().substr(6, 16));
    for (PVirtualNode run = tree.FirstNode(); run; run = tree.NextSiblingOf(run))
        tree.WriteNode(single, run);
    EXPECT_EQ(positions, saving);
    EXPECT_EQ(whole.DataString(), single.DataString());
    // Every handler position lies inside the bytes written, after the prefix.
    for (int64_t at : saving) {
        EXPECT_GE(at, 6 + 16);
        EXPECT_EQ(whole.DataString().substr(size_t(at), 4), std::string("\x04\0\0\0", 4));
    }
    EXPECT_EQ(whole.Position(), whole.Size());

    // Another kind of stream gets the same bytes.
    TPlainStream plain("");
    plain.WriteString("before");
    tree.SaveToStream(plain);
    EXPECT_EQ(plain.Position(), whole.Size());
    std::string back(size_t(whole.Size()), '\0');
    plain.SetPosition(0);
    plain.ReadBuffer(back.data(), int64_t(back.size()));
    EXPECT_EQ(back, whole.DataString());

    // Saved over the start of a longer stream, the bytes beyond stay.
    TMemoryStream over;
    over.WriteString(std::string(size_t(whole.Size()) + 10, 'x'));
    over.SetPosition(6);
    tree.SaveToStream(over);
    EXPECT_EQ(over.Position(), whole.Size());
    EXPECT_EQ(over.DataString().substr(6), whole.DataString().substr(6) + std::string(10, 'x'));

    // A handler that fails leaves what was written before it, and nothing beyond.
    tree.OnSaveNode = [](TBaseVirtualTree*, PVirtualNode, TStream& s) {
        s.WriteInt32(1);
        throw EWriteError("full");
    };
    TMemoryStream failed;
    EXPECT_THROW(tree.SaveToStream(failed), EWriteError);
    TMemoryStream direct;
    direct.WriteString(failed.DataString().substr(0, 16));
    EXPECT_THROW(tree.WriteNode(direct, tree.FirstNode()), EWriteError);
    EXPECT_EQ(failed.DataString(), direct.DataString());
}

TEST(TreeStream, SelectionWithoutMultiSelectIsDropped) {
    StreamTree a;
    PVirtualNode n = a.AddChild(nullptr);
    a.AddToSelection(n);
    std::string bytes = Saved(a);
    StreamTree b;
    auto* o = b.TreeOptions();
    o->SetSelectionOptions(o->SelectionOptions() - toMultiSelect);
    TStringStream in(bytes);
    b.LoadFromStream(in);
    EXPECT_EQ(b.SelectedCount(), 0u);
    EXPECT_FALSE(b.FirstNode()->States.Contains(nsSelected));
}

TEST(TreeStream, HeaderErrors) {
    StreamTree tree;
    std::string good = Saved(tree);
    EXPECT_EQ(LoadError(tree, good.substr(0, 11)), hcTFStreamTooSmall);
    std::string bad = good;
    bad[0] = 'X';
    EXPECT_EQ(LoadError(tree, bad), hcTFWrongStreamFormat);
    bad = good;
    bad[11] = 0;
    EXPECT_EQ(LoadError(tree, bad), hcTFWrongStreamFormat);
    bad = good;
    bad[8] = 'z'; // written, never compared
    EXPECT_EQ(LoadError(tree, bad), 0);
    bad = good;
    bad[6] = 3;
    std::string msg;
    EXPECT_EQ(LoadError(tree, bad, &msg), hcTFWrongStreamVersion);
    EXPECT_EQ(msg, "Unable to load tree structure, the version is unknown.");
    bad[6] = 0;
    EXPECT_EQ(LoadError(tree, bad), hcTFWrongStreamVersion);
}

TEST(TreeStream, DamagedChunksKeepWhatWasRead) {
    StreamTree a;
    PVirtualNode p = a.AddChild(nullptr);
    a.AddChild(p);
    a.AddChild(p);
    a.AddChild(nullptr);
    std::string good = Saved(a); // p(anchor @16, base @24, data @32, kids @49..), second top
    StreamTree b;

    // The parent claims three children but holds two: the anchor of the third is missing.
    std::string bad = good;
    Put32(bad, 32, 3);
    std::string msg;
    EXPECT_EQ(LoadError(b, bad, &msg), hcTFCorruptStream1);
    EXPECT_EQ(msg, "Stream data corrupt. A node's anchor chunk is missing.");
    EXPECT_EQ(b.TotalCount(), 3u); // p with its two children stay, nothing made for the third
    EXPECT_EQ(CheckTotals(b), b.VisibleCount());

    // A count of four billion children never builds more nodes than the bytes hold.
    Put32(bad, 32, 0xFFFFFFFFu);
    EXPECT_EQ(LoadError(b, bad), hcTFCorruptStream1);
    EXPECT_EQ(b.TotalCount(), 3u);

    // Fewer children than chunks: the rest of the base chunk is unexpected.
    bad = good;
    Put32(bad, 32, 1);
    EXPECT_EQ(LoadError(b, bad), hcTFCorruptStream2);
    EXPECT_EQ(b.TotalCount(), 2u);
    CheckTotals(b);

    // A node chunk size running past the stream.
    bad = good;
    Put32(bad, 20, 100000);
    EXPECT_EQ(LoadError(b, bad), hcTFStreamTooSmall);
    EXPECT_EQ(b.TotalCount(), 0u);

    // A base chunk running past its node chunk.
    bad = good;
    Put32(bad, 28, uint32_t(good.size()));
    EXPECT_EQ(LoadError(b, bad), hcTFStreamTooSmall);

    // A negative size.
    bad = good;
    Put32(bad, 20, 0xFFFFFFF0u);
    EXPECT_EQ(LoadError(b, bad), hcTFStreamTooSmall);

    // Anchor id wrong.
    bad = good;
    Put32(bad, 16, 9);
    EXPECT_EQ(LoadError(b, bad), hcTFCorruptStream1);
    EXPECT_EQ(b.TotalCount(), 0u);

    // A truncated stream keeps the complete top-level nodes.
    EXPECT_EQ(LoadError(b, good.substr(0, good.size() - 3)), hcTFStreamTooSmall);
    EXPECT_EQ(b.TotalCount(), 3u);
    CheckTotals(b);
}

TEST(TreeStream, ExtraBytesInNodeChunkAndUnknownChunks) {
    StreamTree a;
    a.AddChild(nullptr);
    std::string good = Saved(a);
    // Grow the node chunk by three stray bytes.
    std::string bad = good + "abc";
    Put32(bad, 20, uint32_t(good.size() - 24 + 3));
    StreamTree b;
    std::string msg;
    EXPECT_EQ(LoadError(b, bad, &msg), hcTFCorruptStream2);
    EXPECT_EQ(msg, "Stream data corrupt. Unexpected data after node's end position.");
    EXPECT_EQ(b.TotalCount(), 1u);
    // An unknown chunk of 3 bytes is skipped.
    std::string unknown = good + std::string("\x63\0\0\0\x03\0\0\0xyz", 11);
    Put32(unknown, 20, uint32_t(good.size() - 24 + 11));
    EXPECT_EQ(LoadError(b, unknown), 0);
    EXPECT_EQ(b.TotalCount(), 1u);
}

TEST(TreeStream, VersionOneReadsSelectedAndVisible) {
    // Version 1: no count; base chunks of 13 bytes with a states byte.
    std::string s("\x45\x20\x56\x00\x54\x00\x01\x00\x20\x00\x46\x20", 12);
    auto node = [](uint8_t states, uint32_t height) {
        std::string n("\x01\0\0\0\x15\0\0\0\x02\0\0\0\x0D\0\0\0", 16);
        n += std::string("\0\0\0\0", 4);
        n += char(height) + std::string("\0\0\0", 3);
        n += char(states);
        n += std::string("\x32\x02\x02\0", 4); // the 13th byte is unused
        return n;
    };
    s += node(0x80, 30) + node(0x00, 40);
    StreamTree b;
    TStringStream in(s);
    b.LoadFromStream(in);
    ASSERT_EQ(b.TotalCount(), 2u);
    PVirtualNode first = b.FirstNodeNoInit();
    EXPECT_TRUE(first->States.Contains(nsSelected));
    EXPECT_EQ(first->NodeHeight, 30);
    EXPECT_EQ(first->CheckState, csCheckedNormal);
    EXPECT_FALSE(first->NextSibling->States.Contains(nsSelected));
    EXPECT_EQ(b.RootTotalHeight(), 70u);
    EXPECT_EQ(b.SelectedCount(), 1u);
}

TEST(TreeStream, DeepNestingIsRefused) {
    // 5000 levels, each node chunk holding the next one.
    const int depth = 5000;
    // Built from the inside out.
    std::string inner;
    for (int i = depth - 1; i >= 0; --i) {
        std::string data(17, '\0');
        Put32(data, 0, inner.empty() ? 0 : 1);
        Put32(data, 4, 16);
        data[8] = char(0x81);
        std::string base = std::string("\x02\0\0\0\0\0\0\0", 8) + data + inner;
        Put32(base, 4, uint32_t(base.size() - 8));
        inner = std::string("\x01\0\0\0\0\0\0\0", 8) + base;
        Put32(inner, 4, uint32_t(inner.size() - 8));
    }
    std::string s("\x45\x20\x56\x00\x54\x00\x02\x00\x20\x00\x46\x20\x01\0\0\0", 16);
    StreamTree b;
    EXPECT_EQ(LoadError(b, s + inner), hcTFCorruptStream1);
    EXPECT_EQ(b.TotalCount(), 2048u);
    CheckTotals(b);
}

TEST(TreeStream, MemoryAndOtherStreamsLoadAlike) {
    StreamTree a;
    std::mt19937 rng(7);
    BuildRandom(a, rng, 60);
    std::string good = Saved(a);
    ExpectLoadsAlike(good, 0, a.TotalCount());
    // Cut at every length in steps: what was read before the cut stays, alike in both.
    for (size_t cut = 0; cut < good.size(); cut += 37) {
        TStringStream memory(good.substr(0, cut));
        TPlainStream plain(good.substr(0, cut));
        TLoadOutcome x = LoadThrough(memory);
        TLoadOutcome y = LoadThrough(plain);
        EXPECT_EQ(x.Error, y.Error) << cut;
        EXPECT_EQ(x.Count, y.Count) << cut;
        EXPECT_EQ(x.Saved, y.Saved) << cut;
    }
    // Damaged counts and sizes.
    StreamTree small;
    PVirtualNode p = small.AddChild(nullptr);
    small.AddChild(p);
    small.AddChild(p);
    std::string two = Saved(small);
    std::string bad = two;
    Put32(bad, 32, 3);
    ExpectLoadsAlike(bad, hcTFCorruptStream1, 3);
    bad = two;
    Put32(bad, 32, 1);
    ExpectLoadsAlike(bad, hcTFCorruptStream2, 2);
    bad = two;
    Put32(bad, 28, uint32_t(two.size()));
    ExpectLoadsAlike(bad, hcTFStreamTooSmall, 1);
}

TEST(TreeStream, EmptyNodeChunksAreNodesWithDefaults) {
    // Version 1 has no count: the reader must move past each empty chunk, not read it again.
    std::string v1("\x45\x20\x56\x00\x54\x00\x01\x00\x20\x00\x46\x20", 12);
    const std::string empty("\x01\0\0\0\0\0\0\0", 8);
    ExpectLoadsAlike(v1 + empty + empty, 0, 2);
    std::string v2("\x45\x20\x56\x00\x54\x00\x02\x00\x20\x00\x46\x20\x02\0\0\0", 16);
    ExpectLoadsAlike(v2 + empty + empty, 0, 2);
    // An empty child chunk inside a base chunk.
    std::string data(17, '\0');
    Put32(data, 0, 1);
    Put32(data, 4, 16);
    std::string base = std::string("\x02\0\0\0\x19\0\0\0", 8) + data + empty;
    std::string node = std::string("\x01\0\0\0\0\0\0\0", 8) + base;
    Put32(node, 4, uint32_t(base.size()));
    v2[12] = 1;
    ExpectLoadsAlike(v2 + node, 0, 2);
}

TEST(TreeStream, LoadHandlerReadingPastItsChunk) {
    // A handler that reads more than its chunk holds: the reader goes on at the chunk's end.
    StreamTree a;
    PVirtualNode p = a.AddChild(nullptr);
    *a.NodeData<int32_t>(p) = 5;
    *a.NodeData<int32_t>(a.AddChild(nullptr)) = 6;
    std::string good = Saved(a);
    for (int kind = 0; kind < 2; ++kind) {
        StreamTree b;
        b.OnLoadNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            uint8_t bytes[12];
            int64_t got = s.Read(bytes, 12);
            ASSERT_GE(got, 4);
            std::memcpy(t->NodeData<int32_t>(n), bytes, 4);
        };
        TStringStream memory(good);
        TPlainStream plain(good);
        TStream& in = kind == 0 ? static_cast<TStream&>(memory) : plain;
        b.LoadFromStream(in);
        ASSERT_EQ(b.TotalCount(), 2u);
        EXPECT_EQ(*b.NodeData<int32_t>(b.FirstNodeNoInit()), 5);
        EXPECT_EQ(*b.NodeData<int32_t>(b.FirstNodeNoInit()->NextSibling), 6);
    }
}

namespace {

// Three top-level nodes: the first with two children (expanded), the second hidden, the third
// selected; user data 1 to 5.
std::string ThreeNodes() {
    StreamTree a;
    PVirtualNode p = a.AddChild(nullptr);
    *a.NodeData<int32_t>(p) = 1;
    *a.NodeData<int32_t>(a.AddChild(p)) = 2;
    *a.NodeData<int32_t>(a.AddChild(p)) = 3;
    a.SetExpanded(p, true);
    PVirtualNode hidden = a.AddChild(nullptr);
    *a.NodeData<int32_t>(hidden) = 4;
    a.SetVisible(hidden, false);
    PVirtualNode chosen = a.AddChild(nullptr);
    *a.NodeData<int32_t>(chosen) = 5;
    a.AddToSelection(chosen);
    return Saved(a);
}

std::vector<int32_t> ChildTags(StreamTree& tree, PVirtualNode parent) {
    std::vector<int32_t> tags;
    for (PVirtualNode c = parent->FirstChild; c; c = c->NextSibling)
        tags.push_back(*tree.NodeData<int32_t>(c));
    return tags;
}

} // namespace

TEST(TreeStream, InsertingAmongSiblingsKeepsIndicesTotalsAndRows) {
    using M = TVTNodeAttachMode;
    const std::string bytes = ThreeNodes();
    struct Case {
        M Mode;
        bool AtSibling;
        std::vector<int32_t> Order;
    };
    const Case cases[] = {
        {M::amInsertBefore, true, {10, 1, 4, 5, 11, 12}},
        {M::amInsertAfter, true, {10, 11, 1, 4, 5, 12}},
        {M::amAddChildFirst, false, {1, 4, 5, 10, 11, 12}},
        {M::amAddChildLast, false, {10, 11, 12, 1, 4, 5}},
    };
    for (const Case& c : cases)
        for (int shown = 0; shown < 3; ++shown) {
            // The parent expanded, collapsed, or expanded under a collapsed one.
            StreamTree b;
            PVirtualNode top = b.AddChild(nullptr);
            PVirtualNode parent = b.AddChild(top);
            for (int32_t tag = 10; tag <= 12; ++tag)
                *b.NodeData<int32_t>(b.AddChild(parent)) = tag;
            *b.NodeData<int32_t>(parent) = 99;
            b.SetExpanded(top, shown != 2);
            b.SetExpanded(parent, shown != 1);
            PVirtualNode target = c.AtSibling ? parent->FirstChild->NextSibling : parent;
            TStringStream in(bytes);
            std::vector<PVirtualNode> added = b.InsertFromStream(in, target, c.Mode);
            ASSERT_EQ(added.size(), 3u);
            EXPECT_EQ(ChildTags(b, parent), c.Order) << int(c.Mode) << " " << shown;
            EXPECT_EQ(ChildIndices(parent), (std::vector<Cardinal>{0, 1, 2, 3, 4, 5}));
            EXPECT_EQ(parent->ChildCount, 6u);
            EXPECT_EQ(b.TotalCount(), 2u + 3 + 5);
            EXPECT_EQ(CheckTotals(b), b.VisibleCount()) << int(c.Mode) << " " << shown;
            EXPECT_EQ(b.SelectedCount(), 1u);
            EXPECT_EQ(*b.NodeData<int32_t>(b.FirstSelectedNode()), 5);
            EXPECT_FALSE(parent->States.Contains(nsAllChildrenHidden));
        }
}

TEST(TreeStream, FailedInsertBeforeSiblingsLeavesThemNumbered) {
    // The third top-level node's anchor is damaged: the first two stay, ahead of the sibling.
    std::string bytes = ThreeNodes();
    StreamTree probe;
    TStringStream whole(bytes);
    probe.LoadFromStream(whole);
    const size_t third = bytes.size() - (Saved(probe, probe.LastChildNoInit(nullptr)).size() - 16);
    Put32(bytes, third, 7);
    StreamTree b;
    PVirtualNode parent = b.AddChild(nullptr);
    for (int32_t tag = 10; tag <= 11; ++tag)
        *b.NodeData<int32_t>(b.AddChild(parent)) = tag;
    b.SetExpanded(parent, true);
    TStringStream in(bytes);
    EXPECT_THROW(b.InsertFromStream(in, parent->LastChild, TVTNodeAttachMode::amInsertBefore),
                 EVirtualTreeError);
    EXPECT_EQ(ChildTags(b, parent), (std::vector<int32_t>{10, 1, 4, 11}));
    EXPECT_EQ(ChildIndices(parent), (std::vector<Cardinal>{0, 1, 2, 3}));
    EXPECT_EQ(b.TotalCount(), 1u + 4 + 2);
    EXPECT_EQ(CheckTotals(b), b.VisibleCount());
}

TEST(TreeStream, LoadHandlerSeesTheStreamAndMayGrowIt) {
    // Handlers get the chunk at the stream's position with the stream's size; one that makes the
    // stream move its bytes elsewhere does not leave the reader on the old ones.
    const std::string bytes = ThreeNodes();
    TStringStream in(bytes);
    StreamTree b;
    std::vector<int64_t> positions;
    b.OnLoadNode = [&](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
        EXPECT_GE(s.Size(), int64_t(bytes.size()));
        positions.push_back(s.Position());
        // Grows the stream it reads from far past its reserve, then reads.
        in.Seek(0, TSeekOrigin::soEnd);
        std::string padding(size_t(1) << 16, 'x');
        in.WriteString(padding);
        *t->NodeData<int32_t>(n) = s.ReadInt32();
    };
    b.LoadFromStream(in);
    ASSERT_EQ(b.TotalCount(), 5u);
    EXPECT_EQ(positions.size(), 5u);
    // Each time a user data chunk of four bytes starts there.
    for (int64_t p : positions) {
        EXPECT_EQ(GetU32Of(bytes, size_t(p) - 8), 4u) << p;
        EXPECT_EQ(GetU32Of(bytes, size_t(p) - 4), 4u) << p;
    }
    PVirtualNode first = b.FirstNodeNoInit();
    EXPECT_EQ(ChildTags(b, b.RootNode()), (std::vector<int32_t>{1, 4, 5}));
    EXPECT_EQ(ChildTags(b, first), (std::vector<int32_t>{2, 3}));
}

TEST(TreeStream, LoadHandlerInsertingAnotherStream) {
    // While the first node loads, its handler adds a stream of one node at the end; the outer
    // load then goes on as before, its selection included.
    StreamTree single;
    *single.NodeData<int32_t>(single.AddChild(nullptr)) = 42;
    const std::string inner = Saved(single);
    const std::string outer = ThreeNodes();
    StreamTree b;
    bool inserted = false;
    b.OnLoadNode = [&](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
        *t->NodeData<int32_t>(n) = s.ReadInt32();
        if (inserted) return;
        inserted = true;
        TStringStream more(inner);
        t->InsertFromStream(more, nullptr, TVTNodeAttachMode::amAddChildLast);
    };
    TStringStream in(outer);
    b.LoadFromStream(in);
    EXPECT_EQ(ChildTags(b, b.RootNode()), (std::vector<int32_t>{1, 4, 5, 42}));
    EXPECT_EQ(ChildIndices(b.RootNode()), (std::vector<Cardinal>{0, 1, 2, 3}));
    EXPECT_EQ(b.TotalCount(), 6u);
    EXPECT_EQ(CheckTotals(b), b.VisibleCount());
    ASSERT_EQ(b.SelectedCount(), 1u);
    EXPECT_EQ(*b.NodeData<int32_t>(b.FirstSelectedNode()), 5);
}
