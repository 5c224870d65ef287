// Memory for large arrays that are filled once and then read at random (the
// tables and pools of an index): blocks aligned to the 2 MiB of a huge page
// and marked for transparent huge pages where the system has them, so that
// filling them takes one page fault per 2 MiB instead of one per 4 KiB and
// random reads miss the TLB less often. Needs mmap and munmap; where huge
// pages are off, or the system has no MADV_HUGEPAGE (the advice is left out
// at compile time), the blocks are plain memory. toolkit/SlotArray.h, built
// on these mappings, needs Linux's mremap as well.

#ifndef TOOLKIT_HUGEPAGES_H
#define TOOLKIT_HUGEPAGES_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

// Size and alignment of a huge page.
constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;

// Asks for huge pages over the whole 2 MiB pages within [at, at + bytes).
// Only a hint: nothing is reported when the system declines.
inline void AdviseHugePages(void* at, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(at);
    const std::uintptr_t first = (begin + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePageBytes - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)at;
    (void)bytes;
#endif
}

// The system's page size: mappings are made and trimmed in whole pages.
inline std::size_t PageBytes() {
    static const std::size_t bytes = [] {
        const long n = sysconf(_SC_PAGESIZE);
        return n > 0 ? static_cast<std::size_t>(n) : std::size_t(4096);
    }();
    return bytes;
}

// bytes rounded up to whole pages.
inline std::size_t WholePages(std::size_t bytes) {
    const std::size_t page = PageBytes();
    return (bytes + page - 1) / page * page;
}

// A zeroed private mapping of bytes (rounded up to whole pages) that starts
// on a huge-page boundary; throws std::bad_alloc. A kernel that places large
// anonymous mappings on huge-page boundaries itself (Linux since 6.7, for
// lengths of whole huge pages) gives one at once; otherwise the range is
// reserved again with a huge page to spare and trimmed at both ends. Either
// way the mapping holds no address space beyond its own pages: under an
// address-space limit (ulimit -v, a cluster scheduler's cap) it costs what
// it holds, and only the second way costs a huge page more while it is
// made. No advice is given here: callers advise once the mapping has its
// final extent.
inline void* MapOnHugeBoundary(std::size_t bytes) {
    bytes = WholePages(bytes);
    void* exact = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (exact == MAP_FAILED) throw std::bad_alloc();
    if ((reinterpret_cast<std::uintptr_t>(exact) & (kHugePageBytes - 1)) == 0) return exact;
    munmap(exact, bytes);
    const std::size_t span = bytes + kHugePageBytes;
    void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t at = (base + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    // Both cuts lie on page boundaries (mmap returns whole pages, bytes is
    // whole pages), so neither can fail.
    if (at > base) munmap(raw, at - base);
    if (base + span > at + bytes)
        munmap(reinterpret_cast<void*>(at + bytes), base + span - (at + bytes));
    return reinterpret_cast<void*>(at);
}

// Frees a mapping that MapPages made.
struct PagesDeleter {
    std::size_t mBytes = 0;
    void operator()(void* at) const noexcept { munmap(at, mBytes); }
};
typedef std::unique_ptr<void, PagesDeleter> MappedPages;

// A zeroed private mapping of bytes (rounded up to whole pages) of its own;
// throws std::bad_alloc. For a short-lived buffer that should leave nothing
// behind: freed, a mapping goes back whole, where a heap block leaves the
// heap as large as it was, and freeing a block above malloc's mapping
// threshold raises that threshold (glibc), so that later mid-sized blocks
// come from the heap and fragment it.
inline MappedPages MapPages(std::size_t bytes) {
    bytes = WholePages(bytes);
    void* at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) throw std::bad_alloc();
    return MappedPages(at, PagesDeleter{bytes});
}

// Frees what AllocateHugeBlock returned: a block of a huge page or more is a
// mapping of its own, a smaller one a heap block.
struct HugeBlockDeleter {
    std::size_t mBytes = 0;
    void operator()(void* at) const noexcept {
        if (mBytes >= kHugePageBytes)
            munmap(at, mBytes);
        else
            std::free(at);
    }
};
typedef std::unique_ptr<void, HugeBlockDeleter> HugeBlock;

// An uninitialised block of bytes, freed by HugeBlockDeleter; throws
// std::bad_alloc. A block of a huge page or more is a mapping on a huge-page
// boundary, marked for huge pages, whose address space is its size rounded up
// to whole huge pages (aligned_alloc would cost about twice that); a smaller
// one is plain heap memory aligned to 64.
inline HugeBlock AllocateHugeBlock(std::size_t bytes) {
    if (bytes >= kHugePageBytes) {
        bytes = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
        void* at = MapOnHugeBoundary(bytes);
        AdviseHugePages(at, bytes);
        return HugeBlock(at, HugeBlockDeleter{bytes});
    }
    bytes = (bytes + 63) & ~std::size_t(63);
    void* at = std::aligned_alloc(64, bytes);
    if (!at) throw std::bad_alloc();
    return HugeBlock(at, HugeBlockDeleter{bytes});
}

// Reserves room for count elements in v and asks for huge pages under it;
// call it before the room is first written.
template <class T, class A>
void ReserveHuge(std::vector<T, A>& v, std::size_t count) {
    v.reserve(count);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

#endif
