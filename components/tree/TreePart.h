#pragma once
// Base of the collaborators a tree holds by value (keyboard, painter, scroller, header frame):
// each works on the tree it belongs to and is never copied.

namespace epc {

class TBaseVirtualTree;

class TVTTreePart {
protected:
    explicit TVTTreePart(TBaseVirtualTree& tree) : FTree(tree) {}
    TVTTreePart(const TVTTreePart&) = delete;
    TVTTreePart& operator=(const TVTTreePart&) = delete;
    ~TVTTreePart() = default;

    TBaseVirtualTree& FTree;
};

} // namespace epc
