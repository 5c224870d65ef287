#include "toolkit/SlotArray.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

#include "toolkit/HugePages.h"

namespace {

struct Slot12 {
    std::uint32_t mA, mB, mC;
};

// Writes a pattern of slot indices into every slot.
void Fill(SlotArray<Slot12>& a) {
    for (std::size_t i = 0; i < a.Size(); ++i)
        a[i] = Slot12{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(~i), 0x5A5A5A5Au};
}

// The first half holds the pattern, the rest is all zero.
void ExpectPatternThenZero(const SlotArray<Slot12>& a, std::size_t patterned) {
    for (std::size_t i = 0; i < patterned; ++i) {
        ASSERT_EQ(a[i].mA, static_cast<std::uint32_t>(i)) << i;
        ASSERT_EQ(a[i].mB, static_cast<std::uint32_t>(~i)) << i;
        ASSERT_EQ(a[i].mC, 0x5A5A5A5Au) << i;
    }
    for (std::size_t i = patterned; i < a.Size(); ++i)
        ASSERT_TRUE(a[i].mA == 0 && a[i].mB == 0 && a[i].mC == 0)
            << "slot " << i << " of " << a.Size();
}

// Growing keeps the contents and zeroes the new part, whatever the array
// was and becomes: heap to heap, heap to mapping, mapping to mapping, from
// sizes of whole pages and not (tables rebuilt at a reserved size are not),
// by doubling and by less (a reserved table grows to the next power of two).
TEST(SlotArrayTest, GrowingKeepsContentsAndZeroesTheNewPart) {
    const std::size_t perHugePage = kHugePageBytes / sizeof(Slot12);
    for (std::size_t first : {std::size_t(16), perHugePage, perHugePage + 1, std::size_t(1000)}) {
        SCOPED_TRACE(::testing::Message() << "first size " << first);
        SlotArray<Slot12> a(first);
        ExpectPatternThenZero(a, 0);
        for (bool doubling = true; a.Size() < 4 * perHugePage; doubling = !doubling) {
            Fill(a);
            const std::size_t was = a.Size(), to = doubling ? 2 * was : was + was / 3 + 1;
            if (doubling)
                a.Double();
            else
                a.GrowTo(to);
            ASSERT_EQ(a.Size(), to);
            ExpectPatternThenZero(a, was);
        }
        // A copy and a move keep the contents as well.
        Fill(a);
        SlotArray<Slot12> copy(a);
        SlotArray<Slot12> moved(std::move(a));
        ExpectPatternThenZero(copy, copy.Size());
        ExpectPatternThenZero(moved, moved.Size());
    }
}

// A figure of /proc/self/status in KiB (VmSize, VmPeak), or -1 where it
// cannot be read.
long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == field + ":") {
            status >> value;
            return value;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

// A mapped array that cannot grow where it lies moves: its contents come
// along, the new half is zero, and at no moment does it hold more address
// space than the doubled array (mapping the doubled range before moving
// into it would hold old and new at once, half as much again).
TEST(SlotArrayTest, AMovingDoublingHoldsNoMoreAddressSpaceThanTheDoubledArray) {
    const std::size_t n = std::size_t(1) << 21;  // 24 MiB: whole huge pages
    const std::size_t bytes = n * sizeof(Slot12);
    const long growthKiB = static_cast<long>(bytes >> 10);
    SlotArray<Slot12> a(n);
    Fill(a);
    // A page mapped just past the array keeps it from growing in place; a
    // mapping already there does the same.
    char* const end = reinterpret_cast<char*>(&a[0]) + bytes;
    void* blocker =
        mmap(end, PageBytes(), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (blocker != MAP_FAILED && blocker != end) {
        munmap(blocker, PageBytes());  // an old kernel took the address as a hint
        blocker = MAP_FAILED;
    }
    const long sizeBefore = StatusKiB("VmSize"), peakBefore = StatusKiB("VmPeak");
    if (sizeBefore < 0 || peakBefore < 0)
        GTEST_SKIP() << "no VmSize and VmPeak in /proc/self/status";
    if (peakBefore > sizeBefore + growthKiB)
        GTEST_SKIP() << "an earlier peak of the process (" << peakBefore
                     << " KiB) would hide the doubling's";
    const Slot12* const was = &a[0];
    a.Double();
    const long peakAfter = StatusKiB("VmPeak");
    if (blocker != MAP_FAILED) munmap(blocker, PageBytes());
    EXPECT_NE(&a[0], was) << "the array grew in place";
    // The growth, and 1 MiB for the test's own heap.
    EXPECT_LE(peakAfter, sizeBefore + growthKiB + 1024);
    ExpectPatternThenZero(a, n);
}

}  // namespace
