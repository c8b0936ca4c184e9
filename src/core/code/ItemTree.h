#pragma once
// A tree of view items, as the instruction view shows a trigger: one top
// item whose children stand for the root blocks, and below an item of a
// container node one child item per child node. The GUI's instruction model
// implements it; tests use a fake.

namespace bram {

class IItemTree {
public:
    using Item = const void*; // null means none

    virtual ~IItemTree() = default;
    virtual Item GetTopItem() const = 0;
    virtual Item GetSelectedItem() const = 0;
    virtual Item GetFirstChild(Item item) const = 0;
    virtual Item GetNextSibling(Item item) const = 0;
};

} // namespace bram
