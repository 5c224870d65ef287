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

// The process's address space in KiB (VmSize), or -1 where /proc is missing.
long AddressSpaceKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == "VmSize:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 20, '\n');
    }
    return -1;
}

TEST(HugePagesTest, AMappingEndsAtItsLastPage) {
    // Sizes of whole pages and not: the range holds the size rounded up to
    // whole pages and nothing after it.
    for (std::size_t bytes :
         {kHugePageBytes, kHugePageBytes + 100, 3 * kHugePageBytes + 4095, std::size_t(12345)}) {
        char* p = static_cast<char*>(MapOnHugeBoundary(bytes));
        const std::size_t whole = WholePages(bytes);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kHugePageBytes, 0u) << bytes;
        EXPECT_TRUE(Mapped(p)) << bytes;
        EXPECT_TRUE(Mapped(p + whole - 1)) << bytes;
        EXPECT_FALSE(Mapped(p + whole)) << bytes << ": the spare range after it is still mapped";
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

}  // namespace
