#include "toolkit/DistinctCounter.h"

#include <cmath>

DistinctCounter::DistinctCounter()
    : mTable(MapPages(kSlots * sizeof(std::uint64_t))),
      mSlots(static_cast<std::uint64_t*>(mTable.get())) {}

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
        // A slot free before the drops, which no probe run crosses: at most
        // kCapacity + 1 of the 2 * kCapacity slots are used.
        std::size_t start = 0;
        while (mSlots[start] != 0) ++start;
        ++mShift;
        mThreshold >>= 1;
        mKept = 0;
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (mSlots[i] > mThreshold)
                mSlots[i] = 0;
            else if (mSlots[i] != 0)
                ++mKept;
        }
        // The dropped mixes leave gaps in the probe runs of those kept: each
        // is placed again, in slot order from that free slot, so that its
        // home comes before it. A mix then moves only towards its home, past
        // slots already final, and the gap it leaves lies beyond them: every
        // run from a home to its mix stays unbroken.
        for (std::size_t step = 1; step < kSlots; ++step) {
            const std::size_t i = (start + step) & (kSlots - 1);
            const std::uint64_t kept = mSlots[i];
            if (kept == 0) continue;
            mSlots[i] = 0;
            Place(kept);
        }
    }
}

double DistinctCounter::Estimate() const {
    const double kept = static_cast<double>(mKept + (mKeptZero ? 1 : 0));
    return std::ldexp(kept, static_cast<int>(mShift));
}
