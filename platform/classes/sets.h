#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

// A set of the elements of an enumeration whose ordinals lie in 0..63, as the
// class library's "set of" types: [csLoading, csReading].
template <typename E>
requires std::is_enum_v<E>
class TSet
{
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> elements)
    {
        for (E e : elements)
            bits_ |= Bit(e);
    }
    static constexpr TSet FromBits(uint64_t bits)
    {
        TSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr uint64_t Bits() const { return bits_; }

    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TSet &Include(E e) { return bits_ |= Bit(e), *this; }
    constexpr TSet &Exclude(E e) { return bits_ &= ~Bit(e), *this; }

    constexpr TSet &operator+=(TSet other) { return bits_ |= other.bits_, *this; }
    constexpr TSet &operator-=(TSet other) { return bits_ &= ~other.bits_, *this; }
    constexpr TSet &operator*=(TSet other) { return bits_ &= other.bits_, *this; }
    friend constexpr TSet operator+(TSet a, TSet b) { return a += b; }
    friend constexpr TSet operator-(TSet a, TSet b) { return a -= b; }
    friend constexpr TSet operator*(TSet a, TSet b) { return a *= b; }
    friend constexpr bool operator==(TSet a, TSet b) = default;

private:
    static constexpr uint64_t Bit(E e) { return uint64_t(1) << static_cast<unsigned>(e); }
    uint64_t bits_ = 0;
};
