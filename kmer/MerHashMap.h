#ifndef KMER_MERHASHMAP_H
#define KMER_MERHASHMAP_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include <sys/mman.h>

#include "kmer/Mer.h"
#include "toolkit/HugePages.h"

// The 64-bit value a table hashes for a key under HashF: one that every key
// equal to it under HashF shares. The whole k-mer under the exact functor;
// the canonical k-mer under a strand-blind functor (one that offers
// canonicalValue), so that a k-mer and its reverse complement meet; for any
// other functor, its own hash, which its equality is bound to respect.
template <class HashF, class = void>
struct MerTableKey {
    static std::uint64_t Of(const Mer& m) { return static_cast<std::uint64_t>(HashF()(m)); }
};
template <>
struct MerTableKey<MerHashF> {
    static std::uint64_t Of(const Mer& m) { return m.mValue; }
};
template <class HashF>
struct MerTableKey<HashF,
                   std::void_t<decltype(HashF::canonicalValue(std::declval<const Mer&>()))>> {
    static std::uint64_t Of(const Mer& m) { return HashF::canonicalValue(m).mValue; }
};

// The 32-bit hash by which MerHashMap places a key: the high half of a strong
// 64-bit mix (murmur3's finalizer) of its table key. The functors' own hash
// folds the k-mer's halves together, so every k-mer of two equal halves (a
// tandem repeat of period 1, 2, 4, 8 or 16 at k = 32) would share one value;
// the mix spreads every bit of the key over the whole hash.
template <class HashF>
inline std::uint32_t MerTableHash(const Mer& m) {
    std::uint64_t x = MerTableKey<HashF>::Of(m);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDULL;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ULL;
    x ^= x >> 33;
    return static_cast<std::uint32_t>(x >> 32);
}

// Hash map from Mer to V over one of the system's k-mer functors: HashF gives
// the key equality, so under MerSymmetricHashF a k-mer and its reverse
// complement are one key (the key stays as first inserted); keys are placed
// by MerTableHash<HashF>.
//
// Open addressing with linear probing over an array of slots, grown to twice
// its size above 70% load; each slot holds its key, so a lookup reads one run
// of adjacent slots and no allocation is made per entry. The table grows in
// place (the array is extended and its slots moved within it), so growing
// needs no second table beside the first. Where the value
// lives depends on its size:
//   - a small plain value (a count) sits in the slot beside its key; the map
//     is one flat array and iteration is in slot order;
//   - any other value (a location list) lives in a dense array of entries in
//     order of insertion, kept in fixed chunks that never move, the slot
//     holding the key's 32-bit hash and the entry's index in 8 bytes; a
//     probe compares hashes and reads the entry's key only when they match,
//     so probing for an absent key stays cheap (a lookup of a present key
//     reads its entry anyway), growth moves only slots, and iteration is in
//     order of insertion.
// Slot order depends on the table's size and on the order of insertions, so
// a map of counts filled the same way iterates the same way; reserve changes
// that order, the order of insertion is unaffected by it.
//
// Used like a std::unordered_map (find, count, try_emplace, operator[], size,
// empty, clear, reserve, iteration over entries with first and second);
// there is no erase. Iterators and references to values stay valid only
// until the next insertion of a new key.
template <class V, class HashF>
class MerHashMap {
    static constexpr bool kValueInSlot =
        std::is_trivially_copyable<V>::value && sizeof(V) <= sizeof(std::uint32_t);

    // Slot of a small value: the key's two halves and the value, 12 bytes
    // for a count; whether it is used is kept in a bitmap beside the slots
    // (mUsed), so that every value of V can be stored.
    struct SlotWithValue {
        std::uint32_t mLow;
        std::uint32_t mHigh;
        V mValue;
    };
    // Entry of a large value, and the slot that finds it: the key's hash
    // and 1 + the entry's index in mTag, 0 when the slot is free.
    struct DenseEntry {
        Mer first;
        V second;
    };
    struct SlotWithIndex {
        std::uint32_t mHash = 0;
        std::uint32_t mTag = 0;
    };
    typedef typename std::conditional<kValueInSlot, SlotWithValue, SlotWithIndex>::type Slot;

    // Dense entries per chunk.
    static constexpr unsigned kChunkBits = 12;
    static constexpr std::size_t kChunkMask = (std::size_t(1) << kChunkBits) - 1;

public:
    typedef Mer key_type;
    typedef V mapped_type;
    // What iteration yields: the key in first, the value in second.
    // A small value is reached through a key copied out of its slot and a
    // reference to the value in the slot.
    struct ValueRef {
        Mer first;
        V& second;
    };
    struct ConstValueRef {
        Mer first;
        const V& second;
    };
    typedef typename std::conditional<kValueInSlot, ValueRef, DenseEntry>::type value_type;

    template <class M, class E>
    class Iter {
    public:
        Iter() : mMap(nullptr), mAt(0) {}
        Iter(M* map, std::size_t at) : mMap(map), mAt(at) { Skip(); }
        // iterator converts to const_iterator
        template <class OM, class OE,
                  class = typename std::enable_if<std::is_same<const OE, E>::value &&
                                                  !std::is_same<OE, E>::value>::type>
        Iter(const Iter<OM, OE>& o) : mMap(o.mMap), mAt(o.mAt) {}
        decltype(auto) operator*() const { return mMap->EntryAt(mAt); }
        auto operator->() const {
            if constexpr (kValueInSlot)
                return Arrow{mMap->EntryAt(mAt)};
            else
                return &mMap->EntryAt(mAt);
        }
        Iter& operator++() {
            ++mAt;
            Skip();
            return *this;
        }
        bool operator==(const Iter& o) const { return mAt == o.mAt; }
        bool operator!=(const Iter& o) const { return mAt != o.mAt; }

    private:
        template <class, class>
        friend class Iter;
        // What operator-> yields for a small value: the reference, held.
        struct Arrow {
            decltype(std::declval<M&>().EntryAt(0)) mRef;
            const decltype(mRef)* operator->() const { return &mRef; }
        };
        void Skip() {
            if constexpr (kValueInSlot) {
                // A word of the used-slot bitmap at a time; its bits past
                // the table's end are clear.
                const std::size_t n = mMap->mSlots.Size();
                while (mAt < n) {
                    const std::uint64_t bits = mMap->mUsed[mAt >> 6] >> (mAt & 63);
                    if (bits) {
                        mAt += static_cast<std::size_t>(__builtin_ctzll(bits));
                        return;
                    }
                    mAt = (mAt | 63) + 1;
                }
                mAt = n;
            }
        }
        M* mMap;
        std::size_t mAt;  // slot index (small values) or entry index
    };
    typedef Iter<MerHashMap, value_type> iterator;
    typedef Iter<const MerHashMap, const value_type> const_iterator;

    // A map moved from may only be cleared, assigned to or destroyed.
    // Room for about hint entries before the first growth.
    explicit MerHashMap(std::size_t hint = 16)
        : mSlots(SlotsFor(hint)), mUsed(UsedWords(mSlots.Size())), mSize(0) {}

    std::size_t size() const { return mSize; }
    bool empty() const { return mSize == 0; }

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, Positions()); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, Positions()); }

    iterator find(const Mer& m) { return find(m, HashOf(m)); }
    const_iterator find(const Mer& m) const { return find(m, HashOf(m)); }
    // The same with m's table hash (MerTableHash<HashF>(m)) given, for a
    // caller that has it already, from a prefetch.
    iterator find(const Mer& m, std::uint32_t hash) {
        const std::size_t i = Locate(m, hash);
        return Used(i) ? iterator(this, PositionOf(i)) : end();
    }
    const_iterator find(const Mer& m, std::uint32_t hash) const {
        const std::size_t i = Locate(m, hash);
        return Used(i) ? const_iterator(this, PositionOf(i)) : end();
    }
    std::size_t count(const Mer& m) const { return Used(Locate(m, HashOf(m))) ? 1 : 0; }

    // The entry stored under m (or a key equal to it); a new entry m with a
    // default value when there is none. second tells whether it was inserted.
    std::pair<iterator, bool> try_emplace(const Mer& m) { return try_emplace(m, HashOf(m)); }
    // The same with m's table hash (MerTableHash<HashF>(m)) given.
    std::pair<iterator, bool> try_emplace(const Mer& m, std::uint32_t hash) {
        std::size_t i = Locate(m, hash);
        const bool inserted = !Used(i);
        if (inserted) {
            if ((mSize + 1) * 10 > mSlots.Size() * 7) {
                Grow();
                i = Locate(m, hash);
            }
            if constexpr (kValueInSlot) {
                mSlots[i].mLow = static_cast<std::uint32_t>(m.mValue);
                mSlots[i].mHigh = static_cast<std::uint32_t>(m.mValue >> 32);
                mSlots[i].mValue = V();
                mUsed[i >> 6] |= std::uint64_t(1) << (i & 63);
            } else {
                // The slot numbers entries from 1 in 32 bits.
                if (mSize >= 0xFFFFFFFEu)
                    throw std::length_error(
                        "more distinct k-mers than the index can number (4294967294)");
                if ((mSize & kChunkMask) == 0) mChunks.Add();
                EntryAt(mSize).first = m;
                mSlots[i].mHash = hash;
                mSlots[i].mTag = static_cast<std::uint32_t>(mSize + 1);
            }
            ++mSize;
        }
        return {iterator(this, PositionOf(i)), inserted};
    }
    V& operator[](const Mer& m) { return try_emplace(m).first->second; }

    // Sizes the table for about entries entries at once, so that filling it up
    // to that many never grows it; a table already as large stays as it is.
    void reserve(std::size_t entries) {
        // Beyond any real input; keeps the arithmetic below from overflowing.
        if (entries > (std::size_t(1) << 40)) entries = std::size_t(1) << 40;
        const std::size_t slots = (entries * 10 + 6) / 7 + 1;
        if (slots > mSlots.Size()) Rehash(slots);
        if constexpr (!kValueInSlot) mChunks.reserve((entries >> kChunkBits) + 1);
    }

    // Gives back the slots beyond what the entries need at 70% load, as after
    // a reserve for more entries than came; a table that would shrink by less
    // than a quarter stays as it is. Its slots are read in order and written
    // to homes in the same order, so the pass streams through both arrays.
    void shrink_to_fit() {
        const std::size_t slots = std::max<std::size_t>((mSize * 10 + 6) / 7 + 1, 16);
        if (slots < mSlots.Size() / 4 * 3) Rehash(slots);
    }

    // Asks for m's home slot to be brought into the cache, ahead of a lookup
    // or insertion of m a little later.
    void prefetch(const Mer& m) const { prefetch(HashOf(m)); }
    // The same for the key of table hash hash (MerTableHash<HashF> of it).
    void prefetch(std::uint32_t hash) const {
        const std::size_t i = HomeIn(hash, mSlots.Size());
        __builtin_prefetch(&mSlots[i], 1);
        if constexpr (kValueInSlot) __builtin_prefetch(&mUsed[i >> 6]);
    }

    void clear() {
        SlotArray(SlotsFor(0)).Swap(mSlots);
        std::vector<std::uint64_t>(UsedWords(mSlots.Size())).swap(mUsed);
        EntryChunks().Swap(mChunks);
        mSize = 0;
    }

private:
    // The slots: a zeroed array (every slot free). A small one is a heap
    // block; a large one is a mapping of its own, aligned and marked for huge
    // pages (fewer page faults and TLB misses on a table probed at random),
    // which doubles by remapping its pages under a larger range whose new
    // half comes zeroed from the kernel: nothing is copied or cleared.
    class SlotArray {
    public:
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
        // Doubles the array; the new half is free.
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
        // Arrays of at least a huge page are mapped; the size alone tells.
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
    static_assert(std::is_trivially_copyable<Slot>::value, "slots are moved as bytes");

    // The dense entries, in chunks of kChunkMask + 1 that never move, carved
    // from blocks of memory that double from one chunk up to a huge page (a
    // small map stays small, a large one gets huge pages). Every entry of a
    // chunk is constructed when the chunk is added.
    class EntryChunks {
    public:
        EntryChunks() {}
        EntryChunks(const EntryChunks&) = delete;
        EntryChunks& operator=(const EntryChunks&) = delete;
        EntryChunks(EntryChunks&& o) noexcept { Swap(o); }
        EntryChunks& operator=(EntryChunks&& o) noexcept {
            EntryChunks(std::move(o)).Swap(*this);
            return *this;
        }
        ~EntryChunks() {
            for (DenseEntry* c : mChunks) std::destroy_n(c, kChunkMask + 1);
        }
        void Swap(EntryChunks& o) noexcept {
            mBlocks.swap(o.mBlocks);
            mChunks.swap(o.mChunks);
            std::swap(mLeft, o.mLeft);
        }
        void reserve(std::size_t chunks) { mChunks.reserve(chunks); }
        void Add() {
            // Room first, so that a chunk whose entries are constructed is counted.
            if (mChunks.size() == mChunks.capacity()) mChunks.reserve(2 * mChunks.size() + 16);
            if (mLeft == 0) {
                const std::size_t chunks = BlockChunks(mBlocks.size());
                mBlocks.push_back(AllocateHugeBlock(chunks * kChunkBytes));
                mLeft = chunks;
            }
            DenseEntry* c = static_cast<DenseEntry*>(mBlocks.back().get()) +
                            ((kChunkMask + 1) * (BlockChunks(mBlocks.size() - 1) - mLeft));
            std::uninitialized_default_construct_n(c, kChunkMask + 1);
            mChunks.push_back(c);
            --mLeft;
        }
        DenseEntry* operator[](std::size_t c) const { return mChunks[c]; }

    private:
        static constexpr std::size_t kChunkBytes = sizeof(DenseEntry) * (kChunkMask + 1);
        static constexpr std::size_t kChunksPerHugePage =
            kChunkBytes < kHugePageBytes ? kHugePageBytes / kChunkBytes : 1;
        static std::size_t BlockChunks(std::size_t block) {
            return block < 30 ? std::min<std::size_t>(std::size_t(1) << block, kChunksPerHugePage)
                              : kChunksPerHugePage;
        }
        std::vector<HugeBlock> mBlocks;
        std::vector<DenseEntry*> mChunks;
        std::size_t mLeft = 0;  // chunks not yet handed out in the last block
    };

    static std::size_t SlotsFor(std::size_t entries) {
        std::size_t n = 16;
        while (n * 7 < entries * 10) n *= 2;
        return n;
    }

    // Words of the used-slot bitmap of a table of slots slots (small values only).
    static std::size_t UsedWords(std::size_t slots) { return kValueInSlot ? (slots + 63) / 64 : 0; }
    bool Used(std::size_t i) const {
        if constexpr (kValueInSlot)
            return mUsed[i >> 6] >> (i & 63) & 1;
        else
            return mSlots[i].mTag != 0;
    }

    static Mer KeyOf(const SlotWithValue& s) {
        Mer m;
        m.mValue = (static_cast<std::uint64_t>(s.mHigh) << 32) | s.mLow;
        return m;
    }
    static std::uint32_t HashOf(const Mer& m) { return MerTableHash<HashF>(m); }
    static std::uint32_t HashOf(const SlotWithValue& s) { return HashOf(KeyOf(s)); }
    static std::uint32_t HashOf(const SlotWithIndex& s) { return s.mHash; }
    // True when the used slot s holds m, whose hash is h.
    bool Holds(const SlotWithValue& s, const Mer& m, std::uint32_t) const {
        return HashF()(KeyOf(s), m);
    }
    bool Holds(const SlotWithIndex& s, const Mer& m, std::uint32_t h) const {
        return s.mHash == h && HashF()(EntryAt(s.mTag - 1).first, m);
    }

    // Iteration positions: slots for small values, entries for large ones.
    std::size_t Positions() const { return kValueInSlot ? mSlots.Size() : mSize; }
    std::size_t PositionOf(std::size_t slot) const {
        if constexpr (kValueInSlot)
            return slot;
        else
            return mSlots[slot].mTag - 1;
    }
    decltype(auto) EntryAt(std::size_t at) {
        if constexpr (kValueInSlot)
            return ValueRef{KeyOf(mSlots[at]), mSlots[at].mValue};
        else
            return (mChunks[at >> kChunkBits][at & kChunkMask]);
    }
    decltype(auto) EntryAt(std::size_t at) const {
        if constexpr (kValueInSlot)
            return ConstValueRef{KeyOf(mSlots[at]), mSlots[at].mValue};
        else
            return static_cast<const DenseEntry&>(mChunks[at >> kChunkBits][at & kChunkMask]);
    }

    // The table hash, taken as a fraction of the table: its top bits, for a
    // power-of-two table. A key's home in a table of twice the size is
    // therefore twice its home here or the slot after it, which Grow needs.
    static std::size_t HomeIn(std::uint32_t hash, std::size_t slots) {
        __extension__ typedef unsigned __int128 Wide;
        return static_cast<std::size_t>((static_cast<Wide>(hash) * slots) >> 32);
    }
    // The slot holding m, whose table hash is h, or the free slot where m belongs.
    std::size_t Locate(const Mer& m, std::uint32_t h) const {
        const std::size_t n = mSlots.Size();
        std::size_t i = HomeIn(h, n);
        while (Used(i) && !Holds(mSlots[i], m, h))
            if (++i == n) i = 0;
        return i;
    }
    // Moves every used slot, in slot order, into a new table of slots slots.
    void Rehash(std::size_t slots) {
        SlotArray old(slots);
        old.Swap(mSlots);
        std::vector<std::uint64_t> oldUsed(UsedWords(slots));
        oldUsed.swap(mUsed);
        for (std::size_t j = 0; j < old.Size(); ++j) {
            const Slot& s = old[j];
            if constexpr (kValueInSlot) {
                if (!(oldUsed[j >> 6] >> (j & 63) & 1)) continue;
            } else {
                if (!s.mTag) continue;
            }
            std::size_t i = HomeIn(HashOf(s), slots);
            while (Used(i))
                if (++i == slots) i = 0;
            mSlots[i] = s;
            if constexpr (kValueInSlot) mUsed[i >> 6] |= std::uint64_t(1) << (i & 63);
        }
    }
    // Doubles the table in place, every slot ending where Rehash to twice the
    // size would put it (the same table, so the same iteration order). First
    // the new place of each used slot is worked out in slot order, on a bitmap
    // of the doubled table (which becomes the used-slot bitmap of small
    // values); then the array is extended and the slots moved, the last
    // first: a slot moving up never lands on one not yet moved, which all lie
    // below it; the few that move down wait aside until the end. A new place
    // is kept as its distance from twice the old one, a byte for nearly every
    // slot; the others are listed in far.
    void Grow() {
        const std::size_t n = mSlots.Size(), slots = 2 * n;
        if (slots > 0xFFFFFFFFu) {
            Rehash(slots);
            return;
        }
        constexpr int kFar = -128;
        std::vector<std::uint64_t> taken((slots + 63) / 64);
        std::vector<std::int8_t> to;
        std::vector<std::uint32_t> far;
        to.reserve(mSize);
        for (std::size_t j = 0; j < n; ++j) {
            if (!Used(j)) continue;
            std::size_t i = HomeIn(HashOf(mSlots[j]), slots);
            while (taken[i >> 6] >> (i & 63) & 1)
                if (++i == slots) i = 0;
            taken[i >> 6] |= std::uint64_t(1) << (i & 63);
            const std::ptrdiff_t d =
                static_cast<std::ptrdiff_t>(i) - static_cast<std::ptrdiff_t>(2 * j);
            if (d > kFar && d < 128) {
                to.push_back(static_cast<std::int8_t>(d));
            } else {
                to.push_back(static_cast<std::int8_t>(kFar));
                far.push_back(static_cast<std::uint32_t>(i));
            }
        }
        if constexpr (!kValueInSlot) std::vector<std::uint64_t>().swap(taken);
        mSlots.Double();
        std::vector<std::pair<Slot, std::uint32_t>> aside;
        std::size_t next = to.size(), nextFar = far.size();
        for (std::size_t j = n; j-- > 0;) {
            if (!Used(j)) continue;
            const int d = to[--next];
            const std::size_t i =
                d == kFar ? far[--nextFar]
                          : static_cast<std::size_t>(static_cast<std::ptrdiff_t>(2 * j) + d);
            if (i == j) continue;
            if (i > j)
                mSlots[i] = mSlots[j];
            else
                aside.emplace_back(mSlots[j], static_cast<std::uint32_t>(i));
            if constexpr (!kValueInSlot) mSlots[j] = Slot();
        }
        for (const auto& a : aside) mSlots[a.second] = a.first;
        if constexpr (kValueInSlot) mUsed.swap(taken);
    }

    SlotArray mSlots;
    std::vector<std::uint64_t> mUsed;  // small values only: bit i set when slot i is used
    EntryChunks mChunks;               // large values only, in order of insertion
    std::size_t mSize;
};

#endif
