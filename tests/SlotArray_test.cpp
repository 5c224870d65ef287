#include "toolkit/SlotArray.h"

#include <gtest/gtest.h>

#include <cstdint>

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

// Doubling keeps the contents and zeroes the new half, whatever the array
// was and becomes: heap to heap, heap to mapping, mapping to mapping, from
// sizes of whole pages and not (tables rebuilt at a reserved size are not).
TEST(SlotArrayTest, DoublingKeepsContentsAndZeroesTheNewHalf) {
    const std::size_t perHugePage = kHugePageBytes / sizeof(Slot12);
    for (std::size_t first : {std::size_t(16), perHugePage, perHugePage + 1, std::size_t(1000)}) {
        SCOPED_TRACE(::testing::Message() << "first size " << first);
        SlotArray<Slot12> a(first);
        ExpectPatternThenZero(a, 0);
        while (a.Size() < 4 * perHugePage) {
            Fill(a);
            const std::size_t was = a.Size();
            a.Double();
            ASSERT_EQ(a.Size(), 2 * was);
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

}  // namespace
