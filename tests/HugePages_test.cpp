#include "toolkit/HugePages.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// True when the page holding p is mapped (msync refuses an unmapped range).
bool Mapped(const void* p) {
    const std::uintptr_t page =
        reinterpret_cast<std::uintptr_t>(p) & ~(static_cast<std::uintptr_t>(PageBytes()) - 1);
    return msync(reinterpret_cast<void*>(page), PageBytes(), MS_ASYNC) == 0;
}

// A figure of /proc/self/status in KiB (VmSize: the process's address
// space; VmPeak: its largest), or -1 where /proc is missing.
long StatusKiB(const std::string& field = "VmSize") {
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
long AddressSpaceKiB() { return StatusKiB(); }

TEST(HugePagesTest, AMappingHoldsItsWholePagesAndNothingMore) {
    // Sizes of whole pages and not: the range holds the size rounded up to
    // whole pages, and the process's address space grows by that alone (a
    // spare range left mapped would add a huge page). The page after it may
    // belong to another mapping: the kernel places mappings side by side.
    if (AddressSpaceKiB() < 0)
        GTEST_SKIP() << "no /proc/self/status to read the address space from";
    for (std::size_t bytes :
         {kHugePageBytes, kHugePageBytes + 100, 3 * kHugePageBytes + 4095, std::size_t(12345)}) {
        const long before = AddressSpaceKiB();
        char* p = static_cast<char*>(MapOnHugeBoundary(bytes));
        const long grown = AddressSpaceKiB() - before;
        const std::size_t whole = WholePages(bytes);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kHugePageBytes, 0u) << bytes;
        EXPECT_TRUE(Mapped(p)) << bytes;
        EXPECT_TRUE(Mapped(p + whole - 1)) << bytes;
        // A little heap growth of the test itself aside.
        EXPECT_GE(grown, static_cast<long>(whole >> 10)) << bytes;
        EXPECT_LE(grown, static_cast<long>(whole >> 10) + 256) << bytes;
        EXPECT_EQ(p[0] | p[bytes - 1], 0) << bytes;
        ASSERT_EQ(munmap(p, whole), 0);
    }
}

TEST(HugePagesTest, AHugeBlockCostsItsOwnSizeOfAddressSpace) {
    const long before = AddressSpaceKiB();
    if (before < 0) GTEST_SKIP() << "no /proc/self/status to read the address space from";
    HugeBlock block = AllocateHugeBlock(kHugePageBytes);
    const long after = AddressSpaceKiB();
    std::memset(block.get(), 1, kHugePageBytes);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % kHugePageBytes, 0u);
    // 2048 KiB for the block; a little heap growth of the test itself aside.
    EXPECT_LE(after - before, 2048 + 512);
    block.reset();
    EXPECT_LE(AddressSpaceKiB(), after - 2048 + 512);
}

// Where the kernel places mappings of whole huge pages on a huge-page
// boundary itself, a mapping costs its own size of address space even while
// it is made: reserving a huge page to spare first would pass, for a moment,
// a limit that the mapping itself fits (the last block of a large index
// made a source file fail where its pipe ran).
TEST(HugePagesTest, AMappingOfWholeHugePagesNeedsNoSpareWhileItIsMade) {
    void* probe = mmap(nullptr, 8 * kHugePageBytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(probe, MAP_FAILED);
    const bool aligned = reinterpret_cast<std::uintptr_t>(probe) % kHugePageBytes == 0;
    munmap(probe, 8 * kHugePageBytes);
    if (!aligned) GTEST_SKIP() << "this kernel does not align large anonymous mappings";
    const long size = StatusKiB("VmSize"), peak = StatusKiB("VmPeak");
    if (size < 0 || peak < 0) GTEST_SKIP() << "no VmSize and VmPeak in /proc/self/status";
    // Large enough to pass the process's earlier peak by 8 huge pages.
    const std::size_t bytes = (static_cast<std::size_t>(peak - size) * 1024 + kHugePageBytes - 1) /
                                  kHugePageBytes * kHugePageBytes +
                              8 * kHugePageBytes;
    void* p = MapOnHugeBoundary(bytes);
    EXPECT_LE(StatusKiB("VmPeak"), size + static_cast<long>(bytes >> 10) + 512);
    munmap(p, bytes);
}

}  // namespace
