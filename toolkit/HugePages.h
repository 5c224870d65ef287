// Memory for large arrays that are filled once and then read at random (the
// tables and pools of an index): blocks aligned to the 2 MiB of a huge page
// and marked for transparent huge pages where the system has them, so that
// filling them takes one page fault per 2 MiB instead of one per 4 KiB and
// random reads miss the TLB less often. Where huge pages are off, or
// madvise is missing, the blocks are plain memory.

#ifndef TOOLKIT_HUGEPAGES_H
#define TOOLKIT_HUGEPAGES_H

#include <sys/mman.h>

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

// Frees what AllocateHugeBlock returned.
struct HugeBlockDeleter {
    void operator()(void* at) const noexcept { std::free(at); }
};
typedef std::unique_ptr<void, HugeBlockDeleter> HugeBlock;

// An uninitialised block of bytes, freed by HugeBlockDeleter; throws
// std::bad_alloc. A block of whole huge pages is aligned to a huge page and
// marked for huge pages; a smaller one is plain heap memory aligned to 64.
inline HugeBlock AllocateHugeBlock(std::size_t bytes) {
    const bool huge = bytes >= kHugePageBytes;
    const std::size_t align = huge ? kHugePageBytes : 64;
    bytes = (bytes + align - 1) & ~(align - 1);
    void* at = std::aligned_alloc(align, bytes);
    if (!at) throw std::bad_alloc();
    if (huge) AdviseHugePages(at, bytes);
    return HugeBlock(at);
}

// Reserves room for count elements in v and asks for huge pages under it;
// call it before the room is first written.
template <class T, class A>
void ReserveHuge(std::vector<T, A>& v, std::size_t count) {
    v.reserve(count);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

#endif
