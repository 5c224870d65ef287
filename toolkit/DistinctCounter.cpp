#include "toolkit/DistinctCounter.h"

#include <cmath>

void DistinctCounter::Keep(std::uint64_t mixed) {
    if (mixed == 0) {
        mKeptZero = true;
        return;
    }
    if (Place(mixed) && ++mKept > kCapacity) Halve();
}

bool DistinctCounter::Place(std::uint64_t mixed) {
    // The low bits of a mix pick its home slot: uniform, whatever the
    // threshold (which bounds the top bits).
    std::size_t i = static_cast<std::size_t>(mixed) & (kSlots - 1);
    while (mSlots[i] != 0) {
        if (mSlots[i] == mixed) return false;
        i = (i + 1) & (kSlots - 1);
    }
    mSlots[i] = mixed;
    return true;
}

void DistinctCounter::Halve() {
    // Once, nearly always.
    while (mKept > kCapacity) {
        ++mShift;
        mThreshold >>= 1;
        std::vector<std::uint64_t> old(kSlots, 0);
        old.swap(mSlots);
        mKept = 0;
        for (const std::uint64_t s : old)
            if (s != 0 && s <= mThreshold) mKept += Place(s);
    }
}

double DistinctCounter::Estimate() const {
    const double kept = static_cast<double>(mKept + (mKeptZero ? 1 : 0));
    return std::ldexp(kept, static_cast<int>(mShift));
}
