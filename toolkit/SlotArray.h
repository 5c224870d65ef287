// A zeroed array of trivially copyable slots that doubles in place, for an
// open-addressing hash table: a small array is a heap block; one of a huge
// page or more is a mapping of its own on a huge-page boundary, marked for
// huge pages (fewer page faults and TLB misses on a table probed at random),
// which doubles by remapping its pages under a larger range whose new half
// comes zeroed from the kernel: nothing is copied or cleared. The array's
// size alone tells which of the two it is.

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
            mAt = static_cast<Slot*>(MapAligned(n * sizeof(Slot), nullptr, 0));
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
            munmap(static_cast<void*>(mAt), mN * sizeof(Slot));
        else
            std::free(mAt);
    }
    void Swap(SlotArray& o) noexcept {
        std::swap(mAt, o.mAt);
        std::swap(mN, o.mN);
    }
    // Doubles the array: the first half keeps its contents, the new half is
    // all zero bytes. Slots may move: pointers into the array are stale.
    void Double() {
        const std::size_t bytes = mN * sizeof(Slot);
        if (Mapped(mN)) {
            mAt = static_cast<Slot*>(MapAligned(2 * bytes, mAt, bytes));
        } else if (Mapped(2 * mN)) {
            void* grown = MapAligned(2 * bytes, nullptr, 0);
            std::memcpy(grown, static_cast<void*>(mAt), bytes);
            std::free(mAt);
            mAt = static_cast<Slot*>(grown);
        } else {
            void* grown = std::realloc(static_cast<void*>(mAt), 2 * bytes);
            if (!grown) throw std::bad_alloc();
            mAt = static_cast<Slot*>(grown);
            std::memset(static_cast<void*>(mAt + mN), 0, bytes);
        }
        mN *= 2;
    }
    std::size_t Size() const { return mN; }
    Slot& operator[](std::size_t i) { return mAt[i]; }
    const Slot& operator[](std::size_t i) const { return mAt[i]; }

private:
    // Arrays of at least a huge page are mapped.
    static bool Mapped(std::size_t n) { return n * sizeof(Slot) >= kHugePageBytes; }
    // A zeroed mapping of bytes bytes on a huge-page boundary. With old,
    // the mapping of oldBytes bytes there is moved to its start (and is
    // gone from old); the rest is zeroed. The pages are only reserved
    // here: under the system's default overcommit a table larger than
    // memory is granted as well, and fails only as its pages are first
    // written (the out-of-memory killer); an address-space limit refuses
    // it here, as std::bad_alloc.
    static void* MapAligned(std::size_t bytes, void* old, std::size_t oldBytes) {
        void* p = MapOnHugeBoundary(bytes);
        if (old) {
            void* moved = mremap(old, oldBytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, p);
            if (moved == MAP_FAILED) {
                munmap(p, bytes);
                throw std::bad_alloc();
            }
        }
        // The advice covers the whole mapping, a part of a huge page included:
        // a mapping split by advice into two could not be moved as one.
        madvise(p, bytes, MADV_HUGEPAGE);
        return p;
    }

    Slot* mAt;
    std::size_t mN;
};

#endif
