// A zeroed array of trivially copyable slots that grows in place, for an
// open-addressing hash table: a small array is a heap block; one of a huge
// page or more is a mapping of its own on a huge-page boundary, in whole
// huge pages and marked for huge pages (fewer page faults and TLB misses on
// a table probed at random), which grows by mremap: the kernel extends the
// mapping where it lies, or moves its pages under a larger range, and the
// new part comes zeroed from it: nothing is copied or cleared, and only the
// growth is charged as address space. The array's size alone tells which of
// the two it is. Linux only (mremap).

#ifndef TOOLKIT_SLOTARRAY_H
#define TOOLKIT_SLOTARRAY_H

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "toolkit/HugePages.h"

template <class Slot>
class SlotArray {
    static_assert(std::is_trivially_copyable<Slot>::value, "slots are moved as bytes");

public:
    // n slots, all bytes zero; throws std::bad_alloc.
    explicit SlotArray(std::size_t n) : mAt(nullptr), mN(n) {
        if (Mapped(n)) {
            mAt = static_cast<Slot*>(MapAligned(MappedBytes(n)));
        } else {
            mAt = static_cast<Slot*>(std::calloc(n, sizeof(Slot)));
            if (!mAt) throw std::bad_alloc();
        }
    }
    SlotArray(const SlotArray& o) : SlotArray(o.mN) {
        std::memcpy(static_cast<void*>(mAt), o.mAt, mN * sizeof(Slot));
    }
    SlotArray& operator=(const SlotArray& o) {
        SlotArray(o).Swap(*this);
        return *this;
    }
    SlotArray(SlotArray&& o) noexcept : mAt(o.mAt), mN(o.mN) {
        o.mAt = nullptr;
        o.mN = 0;
    }
    SlotArray& operator=(SlotArray&& o) noexcept {
        Swap(o);
        return *this;
    }
    ~SlotArray() {
        if (Mapped(mN))
            munmap(static_cast<void*>(mAt), MappedBytes(mN));
        else
            std::free(mAt);
    }
    void Swap(SlotArray& o) noexcept {
        std::swap(mAt, o.mAt);
        std::swap(mN, o.mN);
    }
    // Grows the array to n slots, n above its size: the slots it had keep
    // their contents, the new ones are all zero bytes. Slots may move:
    // pointers into the array are stale.
    void GrowTo(std::size_t n) {
        const std::size_t bytes = mN * sizeof(Slot);
        if (Mapped(mN)) {
            mAt = static_cast<Slot*>(Remap(mAt, MappedBytes(mN), MappedBytes(n)));
        } else if (Mapped(n)) {
            void* grown = MapAligned(MappedBytes(n));
            std::memcpy(grown, static_cast<void*>(mAt), bytes);
            std::free(mAt);
            mAt = static_cast<Slot*>(grown);
        } else {
            void* grown = std::realloc(static_cast<void*>(mAt), n * sizeof(Slot));
            if (!grown) throw std::bad_alloc();
            mAt = static_cast<Slot*>(grown);
            std::memset(static_cast<void*>(mAt + mN), 0, n * sizeof(Slot) - bytes);
        }
        mN = n;
    }
    void Double() { GrowTo(2 * mN); }
    std::size_t Size() const { return mN; }
    Slot& operator[](std::size_t i) { return mAt[i]; }
    const Slot& operator[](std::size_t i) const { return mAt[i]; }

private:
    // Arrays of at least a huge page are mapped.
    static bool Mapped(std::size_t n) { return n * sizeof(Slot) >= kHugePageBytes; }
    // The length of the mapping of a mapped array of n slots: whole huge
    // pages. The bytes past the last slot are never written, so they are
    // still zero when a growth makes them slots.
    static std::size_t MappedBytes(std::size_t n) {
        return (n * sizeof(Slot) + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    }
    // A zeroed mapping of bytes bytes (whole huge pages) on a huge-page
    // boundary, marked for huge pages. The pages are only reserved here:
    // under the system's default overcommit a table larger than memory is
    // granted as well, and fails only as its pages are first written (the
    // out-of-memory killer); an address-space limit refuses it here, as
    // std::bad_alloc.
    static void* MapAligned(std::size_t bytes) {
        void* p = MapOnHugeBoundary(bytes);
        AdviseWhole(p, bytes);
        return p;
    }
    // The mapping of oldBytes bytes at old grown to bytes bytes, the rest
    // zeroed; throws std::bad_alloc, leaving the old mapping as it was. The
    // kernel extends it in place when the range after it is free, and
    // otherwise moves its pages to a range of its choosing: only the growth
    // is charged, where mapping the larger range first and moving into it
    // would hold both at once (about twice the table's size). A moved range
    // of whole huge pages lands on a huge-page boundary where the kernel
    // aligns such ranges for transparent huge pages (6.18 does), so its huge
    // pages move whole; on a kernel that does not, they are split into small
    // pages, which is slower but no less correct.
    static void* Remap(void* old, std::size_t oldBytes, std::size_t bytes) {
        void* p = mremap(old, oldBytes, bytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        AdviseWhole(p, bytes);
        return p;
    }
    // Marks the whole mapping for huge pages, a part of a huge page
    // included: a mapping split by advice into two could not be grown as
    // one. Only a hint; nothing where the system has no MADV_HUGEPAGE.
    static void AdviseWhole(void* p, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
        madvise(p, bytes, MADV_HUGEPAGE);
#else
        (void)p;
        (void)bytes;
#endif
    }

    Slot* mAt;
    std::size_t mN;
};

#endif
