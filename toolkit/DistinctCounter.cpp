#include "toolkit/DistinctCounter.h"

#include <cmath>

void DistinctCounter::Keep(std::uint64_t mixed) {
    if (mixed == 0) {
        mKeptZero = true;
        return;
    }
    // The low bits of a mix pick its home slot: uniform, whatever the
    // threshold (which bounds the top bits).
    std::size_t i = static_cast<std::size_t>(mixed) & (kSlots - 1);
    while (mSlots[i] != 0) {
        if (mSlots[i] == mixed) return;
        i = (i + 1) & (kSlots - 1);
    }
    mSlots[i] = mixed;
    if (++mKept > kCapacity) Halve();
}

void DistinctCounter::Halve() {
    // Keeps halving until the kept mixes fit again (once, nearly always).
    while (mKept > kCapacity) {
        ++mShift;
        mThreshold >>= 1;
        std::vector<std::uint64_t> kept;
        kept.reserve(mKept);
        for (const std::uint64_t s : mSlots)
            if (s != 0 && s <= mThreshold) kept.push_back(s);
        mSlots.assign(kSlots, 0);
        mKept = 0;
        for (const std::uint64_t s : kept) {
            std::size_t i = static_cast<std::size_t>(s) & (kSlots - 1);
            while (mSlots[i] != 0) i = (i + 1) & (kSlots - 1);
            mSlots[i] = s;
            ++mKept;
        }
    }
}

double DistinctCounter::Estimate() const {
    const double kept = static_cast<double>(mKept + (mKeptZero ? 1 : 0));
    return std::ldexp(kept, static_cast<int>(mShift));
}
