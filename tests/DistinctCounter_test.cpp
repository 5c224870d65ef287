#include "toolkit/DistinctCounter.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Repeats of a key count once. Up to the capacity the count is exact; beyond
// it, keys that follow one another (as k-mers of a tandem repeat do) and
// keys of two equal halves (a repeat of period 16 at k = 32) are estimated
// closely. An estimate below the count is what a reservation cannot afford:
// its margin is 5%.
TEST(DistinctCounterTest, CountsExactlyThenEstimatesClosely) {
    const struct {
        const char* what;
        std::uint64_t step;  // the keys are i * step
    } families[] = {{"consecutive", 4}, {"equal halves", (std::uint64_t(1) << 32) + 1}};
    for (const auto& f : families) {
        for (std::uint64_t n :
             {0ull, 1ull, 1000ull, 16384ull, 16385ull, 60000ull, 500000ull, 3000000ull}) {
            SCOPED_TRACE(std::string(f.what) + ", " + std::to_string(n) + " keys");
            DistinctCounter counter;
            for (int pass = 0; pass < 3; ++pass)
                for (std::uint64_t i = 0; i < n; ++i) counter.Add(i * f.step);
            const double estimate = counter.Estimate();
            if (n <= DistinctCounter::kCapacity) {
                EXPECT_TRUE(counter.Exact());
                EXPECT_EQ(estimate, static_cast<double>(n));
            } else {
                EXPECT_GT(estimate, 0.97 * static_cast<double>(n));
                EXPECT_LT(estimate, 1.03 * static_cast<double>(n));
            }
        }
    }
}

}  // namespace
