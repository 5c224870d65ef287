// How many distinct 64-bit keys a stream holds, exactly up to kCapacity of
// them and estimated beyond, in a fixed 256 KiB (adaptive sampling). Each
// key is mixed by a bijection (Mix), and the counter keeps every distinct
// mix at or below a threshold: all of them at first.
// When more than kCapacity are kept, the threshold halves and the mixes
// above it go, so the kept ones are a sample of the keys at a rate of one in
// a power of two, the same for every copy of a key. The estimate is the
// number kept divided by the rate: exact while nothing has been dropped;
// after, between kCapacity / 2 and kCapacity are kept, for a standard error
// of 0.8 to 1.1% (bench/estimate.cpp: 0.9% RMS and 4.0% at worst over
// 18,344 configurations of k and thinning on real, random and de Bruijn
// sources).
//
// A caller on a hot path mixes its key once (Mix), asks whether the
// counter takes it at all (Takes: false for nearly every key once the rate
// is low, so a further test can be left to the keys it takes), and adds it
// mixed (AddMixed).
//
// The table is a mapping of its own (MapPages) rather than a heap block: the
// blocks of the source index that follows the counter would otherwise come
// from the heap, which they fragment (a source file then cost more than its
// pipe).

#ifndef TOOLKIT_DISTINCTCOUNTER_H
#define TOOLKIT_DISTINCTCOUNTER_H

#include <cstddef>
#include <cstdint>

#include "toolkit/HugePages.h"

class DistinctCounter {
public:
    static constexpr std::size_t kCapacity = std::size_t(1) << 14;

    // Throws std::bad_alloc when the table cannot be mapped.
    DistinctCounter();

    // A bijection whose top bits, which decide the sample, depend on every
    // key bit in a way no arithmetic pattern of the keys follows: a
    // multiply, a fold of the top half into the bottom one, and a second
    // multiply (all by odd constants); a last fold brings the top bits down
    // to the low bits, which place a kept mix. A single multiply (its top
    // bits a linear function of the key) sampled the k-mers of de Bruijn
    // sources unevenly: estimates up to 7.9% off, against 4.0% at worst
    // with this mix, for 10 to 15% more time in the file pass.
    static std::uint64_t Mix(std::uint64_t key) {
        key *= kMul1;
        key ^= key >> 32;
        key *= kMul2;
        return key ^ (key >> 32);
    }
    // The key of a mix: Mix undone step by step (a fold by 32 bits is its own
    // inverse), which shows Mix to be a bijection, so that distinct keys
    // give distinct mixes. Tests build keys of chosen mixes with it.
    static std::uint64_t Unmix(std::uint64_t mixed) {
        mixed ^= mixed >> 32;
        mixed *= Inverse(kMul2);
        mixed ^= mixed >> 32;
        return mixed * Inverse(kMul1);
    }
    // True when a key of this mix is kept at the present rate.
    bool Takes(std::uint64_t mixed) const { return mixed <= mThreshold; }
    void AddMixed(std::uint64_t mixed) {
        if (mixed <= mThreshold) Keep(mixed);
    }
    void Add(std::uint64_t key) { AddMixed(Mix(key)); }

    // True while every key added is kept: the estimate is then the count.
    bool Exact() const { return mShift == 0; }
    // The distinct keys added so far, estimated once keys were dropped: at
    // most 2^64 or so, far beyond any count of keys added when the mixes of
    // the keys are all small (a crafted input), so a caller bounds it before
    // converting it to an integer.
    double Estimate() const;

private:
    static constexpr std::uint64_t kMul1 = 0x9E3779B97F4A7C15ULL;  // 2^64 over the golden ratio
    static constexpr std::uint64_t kMul2 = 0xD6E8FEB86659FD93ULL;
    // The inverse of an odd m modulo 2^64, by Newton's iteration (each step
    // doubles the bits that are right; m is right in its low three).
    static constexpr std::uint64_t Inverse(std::uint64_t m) {
        std::uint64_t x = m;
        for (int i = 0; i < 5; ++i) x *= 2 - m * x;
        return x;
    }
    // Twice the capacity, so that the table is at most half full.
    static constexpr std::size_t kSlots = 2 * kCapacity;
    void Keep(std::uint64_t mixed);
    // Puts a nonzero mix in mSlots unless it is there; true when it was not.
    bool Place(std::uint64_t mixed);
    // Halves the rate until the kept mixes fit: drops those above the new
    // threshold, in place.
    void Halve();

    MappedPages mTable;      // the memory of mSlots
    std::uint64_t* mSlots;   // kSlots kept mixes, linear probing; 0: free
    std::size_t mKept = 0;   // mixes in mSlots
    bool mKeptZero = false;  // the mix 0, which a free slot cannot tell
    // The rate is one in 2^mShift. A halving needs more than kCapacity
    // distinct nonzero mixes at or below the threshold, so the threshold
    // stays above kCapacity / 2 and mShift below 52.
    unsigned mShift = 0;
    std::uint64_t mThreshold = ~std::uint64_t(0);
};

#endif
