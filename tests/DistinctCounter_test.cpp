#include "toolkit/DistinctCounter.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <cstdlib>

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

// Mix is a bijection (so distinct keys give distinct mixes): Unmix undoes
// it, over extremes, consecutive keys and keys of equal halves.
TEST(DistinctCounterTest, UnmixUndoesMix) {
    for (std::uint64_t i = 0; i < 1000; ++i)
        for (const std::uint64_t key :
             {i, ~i, i << 40, (i << 32) | i, std::uint64_t(i * 0x9E3779B97F4A7C15ULL)}) {
            ASSERT_EQ(DistinctCounter::Unmix(DistinctCounter::Mix(key)), key) << key;
            ASSERT_EQ(DistinctCounter::Mix(DistinctCounter::Unmix(key)), key) << key;
        }
}

// Keys whose mixes are all small are kept at every rate, so the threshold
// halves towards them and the estimate runs towards 2^64: finite, and far
// above the count, which a caller bounds it by.
TEST(DistinctCounterTest, KeysOfSmallMixesDriveTheEstimateFarUp) {
    DistinctCounter counter;
    for (std::uint64_t m = 1; m <= 20000; ++m) counter.Add(DistinctCounter::Unmix(m));
    EXPECT_FALSE(counter.Exact());
    EXPECT_GT(counter.Estimate(), 1e18);
    EXPECT_LT(counter.Estimate(), 0x1p64);
}

// The counter's table comes and goes without changing how malloc serves
// what follows: glibc raises its threshold for mapping a block when a
// mapped block is freed, and the index built after the file pass then took
// its mid-sized blocks from the heap, which they fragmented.
TEST(DistinctCounterTest, LeavesMallocsMappingThresholdAsItWas) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer replaces malloc";
#else
    // True when a block of bytes, above glibc's first threshold of 128 KiB,
    // is served by a mapping of its own. Freeing it raises the threshold to
    // its size, so the probe after the counter is the larger one.
    const auto mapped = [](std::size_t bytes) {
        const std::size_t before = mallinfo2().hblks;
        void* block = std::malloc(bytes);
        if (block) static_cast<volatile char*>(block)[0] = 1;  // kept: not elided
        const bool was = mallinfo2().hblks > before;
        std::free(block);
        return was;
    };
    if (!mapped(140 * 1024)) GTEST_SKIP() << "the threshold was raised before this test";
    {
        DistinctCounter counter;
        for (std::uint64_t key = 0; key < 100000; ++key) counter.Add(key);  // halves
    }
    EXPECT_TRUE(mapped(200 * 1024));
#endif
}

}  // namespace
