#pragma once
// A set of enumeration values, written as the components write theirs: Include, Exclude,
// Contains, union (|), intersection (&) and difference (-). Values must lie in 0..63; Bits()
// is the set's stored form (bit n for value n).

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace epc {

template <typename E>
class TSet {
    static_assert(std::is_enum_v<E>, "TSet holds enumeration values");

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values) FBits |= Bit(v);
    }
    static constexpr TSet FromBits(uint64_t bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }
    constexpr uint64_t Bits() const { return FBits; }

    constexpr bool Contains(E v) const { return (FBits & Bit(v)) != 0; }
    constexpr TSet& Include(E v) {
        FBits |= Bit(v);
        return *this;
    }
    constexpr TSet& Exclude(E v) {
        FBits &= ~Bit(v);
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr void Clear() { FBits = 0; }
    constexpr int Count() const {
        int n = 0;
        for (uint64_t b = FBits; b; b &= b - 1) ++n;
        return n;
    }
    // True when every value of other is in this set.
    constexpr bool ContainsAll(TSet other) const { return (FBits & other.FBits) == other.FBits; }
    constexpr bool ContainsAny(TSet other) const { return (FBits & other.FBits) != 0; }

    friend constexpr TSet operator|(TSet a, TSet b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TSet operator&(TSet a, TSet b) { return FromBits(a.FBits & b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr TSet operator|(TSet a, E v) { return a | TSet{v}; }
    friend constexpr TSet operator-(TSet a, E v) { return a - TSet{v}; }
    constexpr TSet& operator|=(TSet b) {
        FBits |= b.FBits;
        return *this;
    }
    constexpr TSet& operator&=(TSet b) {
        FBits &= b.FBits;
        return *this;
    }
    constexpr TSet& operator-=(TSet b) {
        FBits &= ~b.FBits;
        return *this;
    }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr uint64_t Bit(E v) { return uint64_t(1) << static_cast<unsigned>(v); }
    uint64_t FBits = 0;
};

}  // namespace epc
