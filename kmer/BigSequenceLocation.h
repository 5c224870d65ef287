#ifndef KMER_BIGSEQUENCELOCATION_H
#define KMER_BIGSEQUENCELOCATION_H

// The stored locations of the source k-mer index: the accessor interface,
// the packed two-word location, and the list type that holds the locations
// of one k-mer, whose short lists take pooled cells.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/HugePages.h"

// Accessor interface of one stored location. No virtual destructor: locations
// live by value in their lists (the destructor is protected for that reason).
class SequenceLocationBase {
public:
    SequenceLocationBase() noexcept {}
    SequenceLocationBase(const SequenceLocationBase&) noexcept {}
    SequenceLocationBase& operator=(const SequenceLocationBase&) noexcept { return *this; }

    virtual long sourceIdx() const = 0;
    virtual long sourceStart() const = 0;
    virtual bool isReverse() const = 0;
    virtual void setSourceIdx(long idx) = 0;
    virtual void setSourceStart(long start) = 0;
    virtual void setIsReverse() = 0;

protected:
    ~SequenceLocationBase() {}
};

// One location in two 32-bit words: the strand flag and the 19-bit record
// index share the first (12 low bits always 0), the signed start is the second.
class BigSequenceLocation final : private SequenceLocationBase {
public:
    static constexpr long MAXSOURCEIDX = (1L << 19) - 1;  // 524,287
    static constexpr long MAXSOURCERECORDS = MAXSOURCEIDX + 1;

    // Packed word, least significant field first (GCC allocates bit-fields
    // from the low end): 12 zero bits, the record index, the strand flag.
    uint32_t mZeroBits : 12;
    uint32_t mSourceIdx : 19;
    uint32_t mIsReverse : 1;
    int32_t mSourceStart;

    BigSequenceLocation() : mZeroBits(0), mSourceIdx(0), mIsReverse(0), mSourceStart(0) {}
    BigSequenceLocation(const BigSequenceLocation& o) noexcept
        : SequenceLocationBase(),
          mZeroBits(o.mZeroBits),
          mSourceIdx(o.mSourceIdx),
          mIsReverse(o.mIsReverse),
          mSourceStart(o.mSourceStart) {}
    BigSequenceLocation& operator=(const BigSequenceLocation& o) noexcept {
        mZeroBits = o.mZeroBits;
        mSourceIdx = o.mSourceIdx;
        mIsReverse = o.mIsReverse;
        mSourceStart = o.mSourceStart;
        return *this;
    }
    ~BigSequenceLocation() {}

    long sourceIdx() const override { return mSourceIdx; }
    long sourceStart() const override { return mSourceStart; }
    bool isReverse() const override { return mIsReverse != 0; }
    // Keeps the low 19 bits: -1 is stored (and read back) as 524,287.
    void setSourceIdx(long idx) override { mSourceIdx = static_cast<uint32_t>(idx) & MAXSOURCEIDX; }
    void setSourceStart(long start) override { mSourceStart = static_cast<int32_t>(start); }
    void setIsReverse() override { mIsReverse = 1; }
};

// Storage of cells of one size: a short list of locations, the common case
// in a source index, takes its cell from huge-page blocks shared by all lists
// instead of a heap block with its own header. Freed cells are reused (a list
// growing from one location to two gives its cell to the next new list). The
// blocks are never given back: they live as long as the process, so a list
// freed during exit still finds its pool.
template <std::size_t Size, std::size_t Align>
class CellPool {
public:
    static void* Take() {
        State& s = Get();
        if (s.mFree) {
            void* p = s.mFree;
            s.mFree = *static_cast<void**>(p);
            return p;
        }
        if (s.mNext == s.mEnd) {
            // Blocks double from 64 KiB up to a huge page, so that a small
            // index stays small (first blocks of 16 or 256 KiB: a mitochondrial
            // run's peak 5.0 or 5.2 MB against 5.2, MG1655 vs DH1 within the noise).
            const std::size_t bytes =
                std::size_t(64) << 10 << std::min<std::size_t>(s.mBlocks.size(), kHugeBlockShift);
            const std::size_t cells = bytes / sizeof(Cell);
            s.mBlocks.push_back(AllocateHugeBlock(bytes));
            s.mNext = static_cast<Cell*>(s.mBlocks.back().get());
            std::uninitialized_default_construct_n(s.mNext, cells);
            s.mEnd = s.mNext + cells;
        }
        return s.mNext++;
    }
    static void Give(void* p) noexcept {
        State& s = Get();
        *static_cast<void**>(p) = s.mFree;
        s.mFree = p;
    }

private:
    struct alignas(Align > alignof(void*) ? Align : alignof(void*)) Cell {
        unsigned char mBytes[Size > sizeof(void*) ? Size : sizeof(void*)];
    };
    static constexpr std::size_t kHugeBlockShift = 5;  // 64 KiB << 5 = 2 MiB
    struct State {
        std::vector<HugeBlock> mBlocks;
        Cell* mNext = nullptr;
        Cell* mEnd = nullptr;
        void* mFree = nullptr;  // freed cells, each holding the next one's address
    };
    static State& Get() {
        static State* state = new State;  // never destroyed, see above
        return *state;
    }
};

// Allocator of the location lists: lists of one to four elements from
// CellPool, others from the heap.
template <class T>
class LocationListAllocator {
    template <std::size_t N>
    using Cells = CellPool<N * sizeof(T), alignof(T)>;

public:
    typedef T value_type;
    LocationListAllocator() noexcept {}
    template <class U>
    LocationListAllocator(const LocationListAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        switch (n) {
            case 1:
                return static_cast<T*>(Cells<1>::Take());
            case 2:
                return static_cast<T*>(Cells<2>::Take());
            case 3:
                return static_cast<T*>(Cells<3>::Take());
            case 4:
                return static_cast<T*>(Cells<4>::Take());
            default:
                return std::allocator<T>().allocate(n);
        }
    }
    void deallocate(T* p, std::size_t n) noexcept {
        switch (n) {
            case 1:
                return Cells<1>::Give(p);
            case 2:
                return Cells<2>::Give(p);
            case 3:
                return Cells<3>::Give(p);
            case 4:
                return Cells<4>::Give(p);
            default:
                std::allocator<T>().deallocate(p, n);
        }
    }
    template <class U>
    bool operator==(const LocationListAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const LocationListAllocator<U>&) const noexcept {
        return false;
    }
};

// The locations of one k-mer, in the order they were stored.
template <class LocT>
class SequenceLocationVecT : public std::vector<LocT, LocationListAllocator<LocT>> {
public:
    using std::vector<LocT, LocationListAllocator<LocT>>::vector;
};

#endif
