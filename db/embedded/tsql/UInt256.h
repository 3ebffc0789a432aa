#pragma once

#include <cstdint>

namespace db::tsql {

__extension__ typedef unsigned __int128 UInt128;

// An unsigned 256-bit integer: the exact intermediate of decimal products and quotients whose
// operands or results do not fit 128 bits (a 38-digit mantissa times 10^38 needs 253 bits).
// Only the operations the decimal arithmetic needs; none of them allocates.
class UInt256 {
public:
    constexpr UInt256() = default;
    constexpr UInt256(UInt128 value)
        : limbs_{std::uint64_t(value), std::uint64_t(value >> 64), 0, 0} {}

    static UInt256 product(UInt128 left, UInt128 right);

    bool isZero() const { return (limbs_[0] | limbs_[1] | limbs_[2] | limbs_[3]) == 0; }
    bool fitsUInt128() const { return (limbs_[2] | limbs_[3]) == 0; }
    UInt128 toUInt128() const { return (UInt128(limbs_[1]) << 64) | limbs_[0]; }

    // Each returns false, leaving the value undefined, when the result needs more than 256 bits.
    bool multiplyBy(std::uint64_t factor);
    bool multiplyByPowerOf10(int exponent);
    bool add(const UInt256& other);
    // Requires *this >= other.
    void subtract(const UInt256& other);

    // Divides in place and returns the remainder.
    std::uint64_t divideBy(std::uint64_t divisor);
    // Divides by 10^exponent, dropping the digits; the first dropped digit is returned so that the
    // caller can round half away from zero.
    int divideByPowerOf10(int exponent);
    // Quotient and remainder of any two values; divisor must not be zero.
    static void divide(const UInt256& dividend, const UInt256& divisor, UInt256& quotient,
                       UInt256& remainder);

    int compare(const UInt256& other) const;

private:
    std::uint64_t limbs_[4] = {0, 0, 0, 0}; // least significant first
};

} // namespace db::tsql
