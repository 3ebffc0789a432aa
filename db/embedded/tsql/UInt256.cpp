#include "db/embedded/tsql/UInt256.h"

#include <bit>

namespace db::tsql {

namespace {

constexpr std::uint64_t powersOf10[20] = {1ull,
                                          10ull,
                                          100ull,
                                          1000ull,
                                          10000ull,
                                          100000ull,
                                          1000000ull,
                                          10000000ull,
                                          100000000ull,
                                          1000000000ull,
                                          10000000000ull,
                                          100000000000ull,
                                          1000000000000ull,
                                          10000000000000ull,
                                          100000000000000ull,
                                          1000000000000000ull,
                                          10000000000000000ull,
                                          100000000000000000ull,
                                          1000000000000000000ull,
                                          10000000000000000000ull};

constexpr std::uint64_t base32 = 1ull << 32;

} // namespace

UInt256 UInt256::product(UInt128 left, UInt128 right) {
    const std::uint64_t a0 = std::uint64_t(left), a1 = std::uint64_t(left >> 64);
    const std::uint64_t b0 = std::uint64_t(right), b1 = std::uint64_t(right >> 64);
    const UInt128 p00 = UInt128(a0) * b0;
    const UInt128 p01 = UInt128(a0) * b1;
    const UInt128 p10 = UInt128(a1) * b0;
    const UInt128 p11 = UInt128(a1) * b1;

    UInt256 result;
    result.limbs_[0] = std::uint64_t(p00);
    // The middle column gathers three 64-bit parts; its carry goes into the third limb.
    const UInt128 middle = (p00 >> 64) + std::uint64_t(p01) + std::uint64_t(p10);
    result.limbs_[1] = std::uint64_t(middle);
    const UInt128 high = (middle >> 64) + (p01 >> 64) + (p10 >> 64) + std::uint64_t(p11);
    result.limbs_[2] = std::uint64_t(high);
    result.limbs_[3] = std::uint64_t((high >> 64) + (p11 >> 64));
    return result;
}

bool UInt256::multiplyBy(std::uint64_t factor) {
    UInt128 carry = 0;
    for (auto& limb : limbs_) {
        const UInt128 part = UInt128(limb) * factor + carry;
        limb = std::uint64_t(part);
        carry = part >> 64;
    }
    return carry == 0;
}

bool UInt256::multiplyByPowerOf10(int exponent) {
    while (exponent > 0) {
        const int step = exponent < 19 ? exponent : 19;
        if (!multiplyBy(powersOf10[step]))
            return false;
        exponent -= step;
    }
    return true;
}

bool UInt256::add(const UInt256& other) {
    std::uint64_t carry = 0;
    for (int i = 0; i < 4; ++i) {
        const UInt128 sum = UInt128(limbs_[i]) + other.limbs_[i] + carry;
        limbs_[i] = std::uint64_t(sum);
        carry = std::uint64_t(sum >> 64);
    }
    return carry == 0;
}

void UInt256::subtract(const UInt256& other) {
    std::uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t subtrahend = other.limbs_[i] + borrow;
        const bool wraps = subtrahend < borrow || limbs_[i] < subtrahend;
        limbs_[i] -= subtrahend;
        borrow = wraps ? 1 : 0;
    }
}

std::uint64_t UInt256::divideBy(std::uint64_t divisor) {
    UInt128 remainder = 0;
    for (int i = 3; i >= 0; --i) {
        const UInt128 current = (remainder << 64) | limbs_[i];
        limbs_[i] = std::uint64_t(current / divisor);
        remainder = current % divisor;
    }
    return std::uint64_t(remainder);
}

int UInt256::divideByPowerOf10(int exponent) {
    if (exponent <= 0)
        return 0;
    int remaining = exponent - 1;
    while (remaining > 0) {
        const int step = remaining < 19 ? remaining : 19;
        divideBy(powersOf10[step]);
        remaining -= step;
    }
    return int(divideBy(10));
}

int UInt256::compare(const UInt256& other) const {
    for (int i = 3; i >= 0; --i) {
        if (limbs_[i] != other.limbs_[i])
            return limbs_[i] < other.limbs_[i] ? -1 : 1;
    }
    return 0;
}

void UInt256::divide(const UInt256& dividend, const UInt256& divisor, UInt256& quotient,
                     UInt256& remainder) {
    // Schoolbook long division in base 2^32 (Knuth's algorithm D): 32-bit digits let every
    // estimate and product be computed in 64 bits.
    std::uint32_t u[9] = {};
    std::uint32_t v[8] = {};
    for (int i = 0; i < 4; ++i) {
        u[2 * i] = std::uint32_t(dividend.limbs_[i]);
        u[2 * i + 1] = std::uint32_t(dividend.limbs_[i] >> 32);
        v[2 * i] = std::uint32_t(divisor.limbs_[i]);
        v[2 * i + 1] = std::uint32_t(divisor.limbs_[i] >> 32);
    }
    int m = 8;
    while (m > 0 && u[m - 1] == 0)
        --m;
    int n = 8;
    while (n > 0 && v[n - 1] == 0)
        --n;

    quotient = UInt256();
    if (dividend.compare(divisor) < 0) {
        remainder = dividend;
        return;
    }
    std::uint32_t q[8] = {};
    if (n == 1) {
        std::uint64_t rest = 0;
        for (int j = m - 1; j >= 0; --j) {
            const std::uint64_t current = (rest << 32) | u[j];
            q[j] = std::uint32_t(current / v[0]);
            rest = current % v[0];
        }
        remainder = UInt256(rest);
    } else {
        const int shift = std::countl_zero(v[n - 1]);
        std::uint32_t vn[8] = {};
        std::uint32_t un[9] = {};
        for (int i = n - 1; i > 0; --i)
            vn[i] = (v[i] << shift) | (shift ? v[i - 1] >> (32 - shift) : 0);
        vn[0] = v[0] << shift;
        un[m] = shift ? u[m - 1] >> (32 - shift) : 0;
        for (int i = m - 1; i > 0; --i)
            un[i] = (u[i] << shift) | (shift ? u[i - 1] >> (32 - shift) : 0);
        un[0] = u[0] << shift;

        for (int j = m - n; j >= 0; --j) {
            const std::uint64_t top = (std::uint64_t(un[j + n]) << 32) | un[j + n - 1];
            std::uint64_t estimate = top / vn[n - 1];
            std::uint64_t rest = top % vn[n - 1];
            while (estimate >= base32 || estimate * vn[n - 2] > ((rest << 32) | un[j + n - 2])) {
                --estimate;
                rest += vn[n - 1];
                if (rest >= base32)
                    break;
            }
            std::uint64_t carry = 0;
            std::int64_t borrow = 0;
            for (int i = 0; i < n; ++i) {
                const std::uint64_t part = estimate * vn[i] + carry;
                carry = part >> 32;
                const std::int64_t difference =
                    std::int64_t(un[i + j]) - borrow - std::int64_t(part & 0xffffffffu);
                un[i + j] = std::uint32_t(difference);
                borrow = difference < 0 ? 1 : 0;
            }
            const std::int64_t difference = std::int64_t(un[j + n]) - borrow - std::int64_t(carry);
            un[j + n] = std::uint32_t(difference);
            q[j] = std::uint32_t(estimate);
            if (difference < 0) {
                // The estimate was one too large: add the divisor back.
                --q[j];
                std::uint64_t sumCarry = 0;
                for (int i = 0; i < n; ++i) {
                    const std::uint64_t sum = std::uint64_t(un[i + j]) + vn[i] + sumCarry;
                    un[i + j] = std::uint32_t(sum);
                    sumCarry = sum >> 32;
                }
                un[j + n] += std::uint32_t(sumCarry);
            }
        }
        std::uint32_t r[8] = {};
        for (int i = 0; i < n; ++i)
            r[i] = (un[i] >> shift) | (shift ? un[i + 1] << (32 - shift) : 0);
        for (int i = 0; i < 4; ++i)
            remainder.limbs_[i] = (std::uint64_t(r[2 * i + 1]) << 32) | r[2 * i];
    }
    for (int i = 0; i < 4; ++i)
        quotient.limbs_[i] = (std::uint64_t(q[2 * i + 1]) << 32) | q[2 * i];
}

} // namespace db::tsql
