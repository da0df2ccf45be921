// Tree streams read from arbitrary bytes: a load either succeeds or raises the tree's load
// error, the nodes it keeps have exact totals, and what it kept saves and loads back alike.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "components/tree/BaseVirtualTree.h"
#include "components/tree/VirtualStringTree.h"
#include "platform/core/Exceptions.h"

using namespace epc;

namespace {

struct FuzzTree : TBaseVirtualTree {
    FuzzTree() : TBaseVirtualTree(nullptr) {
        SetNodeDataSize(4);
        OnSaveNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            int32_t v = *t->NodeData<int32_t>(n);
            if (v != 0) s.WriteInt32(v);
        };
        OnLoadNode = [](TBaseVirtualTree* t, PVirtualNode n, TStream& s) {
            int32_t v = 0;
            if (s.Read(&v, 4) == 4) *t->NodeData<int32_t>(n) = v;
        };
        auto* o = TreeOptions();
        o->SetSelectionOptions(o->SelectionOptions() | tree_options::toMultiSelect);
    }
};

struct Sums {
    Cardinal Count;
    Cardinal Height;
};

// Recounts the totals of a subtree without recursion and stops the run when a stored one
// disagrees.
Sums Check(PVirtualNode top) {
    std::vector<std::pair<PVirtualNode, Sums>> stack{{top, {1, top->NodeHeight}}};
    PVirtualNode run = top->FirstChild;
    while (true) {
        if (run) {
            stack.push_back({run, {1, run->NodeHeight}});
            run = run->FirstChild;
            continue;
        }
        auto [node, sums] = stack.back();
        stack.pop_back();
        if (node->TotalCount != sums.Count || node->TotalHeight != sums.Height) std::abort();
        if (stack.empty()) return sums;
        auto& parent = stack.back();
        parent.second.Count += sums.Count;
        if (parent.first->States.Contains(nsExpanded) && node->States.Contains(nsVisible))
            parent.second.Height += sums.Height;
        run = node->NextSibling;
    }
}

// Not a memory stream: the tree reads it through its operations, not in place.
class TPlainStream : public TStream {
public:
    explicit TPlainStream(const std::string& bytes) : FInner(bytes) {}
    int64_t Read(void* buffer, int64_t count) override { return FInner.Read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override {
        return FInner.Write(buffer, count);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        return FInner.Seek(offset, origin);
    }

private:
    TStringStream FInner;
};

// A string tree keeping the captions it reads.
struct FuzzStringTree : TVirtualStringTree {
    FuzzStringTree() : TVirtualStringTree(nullptr) {
        OnNewText = [this](TBaseVirtualTree*, PVirtualNode, TColumnIndex,
                           const std::u16string& text) { Captions.push_back(text); };
    }
    std::vector<std::u16string> Captions;
};

std::string Save(TBaseVirtualTree& tree) {
    TMemoryStream s;
    tree.SaveToStream(s);
    return s.DataString();
}

} // namespace

void EpcFuzzSeeds(std::vector<std::string>& seeds) {
    FuzzTree tree;
    PVirtualNode a = tree.AddChild(nullptr);
    PVirtualNode b = tree.AddChild(a);
    tree.AddChild(b);
    tree.AddChild(a);
    tree.SetExpanded(a, true);
    *tree.NodeData<int32_t>(b) = 77;
    tree.AddToSelection(b);
    tree.AddChild(nullptr);
    seeds.push_back(Save(tree));
    // Captions of both layouts: the main text, and counted texts of earlier builds.
    const std::string header("\x45\x20\x56\x00\x54\x00\x02\x00\x20\x00\x46\x20\x02\0\0\0", 16);
    const std::string base("\x02\0\0\0\x11\0\0\0\0\0\0\0\x12\0\0\0\x81\0\x32\0\0\0\0\0\0", 25);
    const std::string caption("\x03\0\0\0\x04\0\0\0a\0b\0", 12);
    const std::string counted("\x03\0\0\0\x06\0\0\0\x01\0\0\0c\0", 14);
    auto node = [&](const std::string& chunk) {
        const char size = char(base.size() + chunk.size());
        return std::string("\x01\0\0\0", 4) + size + std::string(3, '\0') + base + chunk;
    };
    seeds.push_back(header + node(caption) + node(counted));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzTree tree;
    TStringStream stream(std::string(reinterpret_cast<const char*>(data), size));
    try {
        tree.LoadFromStream(stream);
    } catch (const EVirtualTreeError&) {
    }
    tree.FlushTotals();
    Check(tree.RootNode());
    if (tree.TotalCount() > size / 8) std::abort();
    std::string saved = Save(tree);
    // Read in place or through the stream's operations, the same bytes give the same nodes.
    FuzzTree other;
    TPlainStream plain(std::string(reinterpret_cast<const char*>(data), size));
    try {
        other.LoadFromStream(plain);
    } catch (const EVirtualTreeError&) {
    }
    if (Save(other) != saved) std::abort();
    // The string tree reads captions of either layout, or raises its load error.
    FuzzStringTree strings;
    TStringStream captions(std::string(reinterpret_cast<const char*>(data), size));
    try {
        strings.LoadFromStream(captions);
    } catch (const EVirtualTreeError&) {
    }
    for (const std::u16string& text : strings.Captions)
        if (text.size() > size / 2) std::abort();
    FuzzTree copy;
    TStringStream again(saved);
    copy.LoadFromStream(again);
    if (copy.TotalCount() != tree.TotalCount() || Save(copy) != saved) std::abort();
    return 0;
}
