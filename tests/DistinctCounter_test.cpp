#include "toolkit/DistinctCounter.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Keys that follow one another (as k-mers of a tandem repeat do) are spread
// by the mix; repeats of a key count once. Sizes on both sides of the switch
// from counting empty registers to the raw estimate (about 41,000), where
// the raw estimate runs up to 3% high. An estimate below the count is what
// a reservation cannot afford: its margin is 5%.
TEST(DistinctCounterTest, EstimatesDistinctKeysClosely) {
    for (std::uint64_t n :
         {1ull, 10ull, 1000ull, 30000ull, 41000ull, 60000ull, 500000ull, 3000000ull}) {
        DistinctCounter counter;
        for (int pass = 0; pass < 3; ++pass)
            for (std::uint64_t key = 0; key < n; ++key) counter.Add(key << 2);
        const double estimate = counter.Estimate();
        EXPECT_GT(estimate, 0.98 * static_cast<double>(n)) << n << " keys";
        EXPECT_LT(estimate, 1.04 * static_cast<double>(n)) << n << " keys";
    }
    EXPECT_EQ(DistinctCounter().Estimate(), 0.0);
}

}  // namespace
