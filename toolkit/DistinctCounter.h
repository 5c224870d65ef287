// An estimate of how many distinct 64-bit keys a stream holds, in a fixed
// 16 KiB (HyperLogLog over 2^14 registers): each key's strong 64-bit mix
// picks a register by its top 14 bits, which keeps the largest rank (1 +
// leading zeros) of the remaining bits seen. The estimate's relative
// standard error is about 1.04 / 128 = 0.8%; small counts are counted from
// the empty registers, where that is the sharper estimate.

#ifndef TOOLKIT_DISTINCTCOUNTER_H
#define TOOLKIT_DISTINCTCOUNTER_H

#include <cstddef>
#include <cstdint>
#include <vector>

class DistinctCounter {
public:
    static constexpr int kIndexBits = 14;
    static constexpr std::size_t kRegisters = std::size_t(1) << kIndexBits;

    DistinctCounter() : mRank(kRegisters, 0) {}

    void Add(std::uint64_t key) {
        // murmur3's 64-bit finalizer: every key bit reaches every hash bit.
        key ^= key >> 33;
        key *= 0xFF51AFD7ED558CCDULL;
        key ^= key >> 33;
        key *= 0xC4CEB9FE1A85EC53ULL;
        key ^= key >> 33;
        const std::size_t r = static_cast<std::size_t>(key >> (64 - kIndexBits));
        // The low bit set bounds the rank at 64 - kIndexBits + 1.
        const std::uint64_t rest = (key << kIndexBits) | 1u;
        const std::uint8_t rank = static_cast<std::uint8_t>(__builtin_clzll(rest) + 1);
        if (rank > mRank[r]) mRank[r] = rank;
    }

    // The estimated number of distinct keys added so far (0 when none was).
    double Estimate() const;

private:
    std::vector<std::uint8_t> mRank;
};

#endif
