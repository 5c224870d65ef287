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

#include "kmer/Mer.h"
#include "toolkit/EntryChunks.h"
#include "toolkit/SlotArray.h"

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
// complement are one key (the key stays as first inserted). Used like a
// std::unordered_map (find, count, try_emplace, operator[], size, empty,
// clear, reserve, iteration over entries with first and second); there is
// no erase. Iterators and references to values stay valid only until the
// next insertion of a new key.
//
// Map of the class:
//   - Layouts, chosen by V (kValueInSlot). A small plain value (a count)
//     sits in its slot beside the key (SlotWithValue, 12 bytes for an int),
//     with a bitmap of used slots beside the array (mUsed), so every value
//     of V can be stored. Any other value (a location list) lives in a dense
//     array of entries in order of insertion (DenseEntry, in mChunks); its
//     slot holds the key's 32-bit table hash and 1 + the entry's number
//     (SlotWithIndex, 8 bytes, all zero when free). A probe compares hashes
//     and reads the entry's key only when they match, so probing for an
//     absent key stays cheap, and growth moves only slots.
//   - Memory: the slots are a SlotArray (toolkit/SlotArray.h), which
//     grows in place; the dense entries are EntryChunks
//     (toolkit/EntryChunks.h), chunks that never move.
//   - Probing: a key's home is its table hash (MerTableHash) taken as a
//     fraction of the table (HomeIn); linear probing from there, wrapping at
//     the end. The load rule (Fits, LeastSlots) keeps at most 70% of the
//     slots used; an insertion past it grows the table in place (Grow) to
//     the next power of two (twice its size, for a table that is one),
//     slots ending exactly where a copy into a fresh table of that size
//     would put them. reserve and shrink_to_fit rebuild the table at a size
//     of their own (Rehash), which need not be a power of two; a table grown
//     from there is back on the powers of two that growth from the
//     smallest table reaches.
//   - Iteration order: slot order for small values, so a map of counts
//     filled the same way, from the same first size, iterates the same way
//     (reserve changes that order); order of insertion for large values,
//     whatever reserve or growth did.
template <class V, class HashF>
class MerHashMap {
    static constexpr bool kValueInSlot =
        std::is_trivially_copyable<V>::value && sizeof(V) <= sizeof(std::uint32_t);

    // Slot of a small value: the key's two halves and the value; whether it
    // is used is kept in mUsed.
    struct SlotWithValue {
        std::uint32_t mLow;
        std::uint32_t mHigh;
        V mValue;
    };
    // Entry of a large value, and the slot that finds it.
    struct DenseEntry {
        Mer first;
        V second;
    };
    struct SlotWithIndex {
        std::uint32_t mHash = 0;          // the key's table hash
        std::uint32_t mEntryPlusOne = 0;  // 1 + the entry's number; 0: the slot is free
    };
    typedef typename std::conditional<kValueInSlot, SlotWithValue, SlotWithIndex>::type Slot;

    // Dense entries per chunk: 2^12, 128 KiB of index entries. 2^10 and 2^14
    // ran MG1655 vs DH1 within the noise; 2^14 raised a mitochondrial run's
    // peak memory from 5.2 to 5.7 MB.
    static constexpr unsigned kChunkBits = 12;
    typedef EntryChunks<DenseEntry, kChunkBits> Chunks;

    // The load rule: at most kLoadNumerator / kLoadDenominator (70%) of the
    // slots are used, which keeps probe runs short.
    static constexpr std::size_t kLoadNumerator = 7;
    static constexpr std::size_t kLoadDenominator = 10;
    // True when entries entries may stand in a table of slots slots.
    static bool Fits(std::size_t entries, std::size_t slots) {
        return entries * kLoadDenominator <= slots * kLoadNumerator;
    }
    // The fewest slots that hold entries entries under the load rule, plus
    // one to spare (a table for no entry still has a slot).
    static std::size_t LeastSlots(std::size_t entries) {
        return (entries * kLoadDenominator + kLoadNumerator - 1) / kLoadNumerator + 1;
    }

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
    // Slots of the table, used or free.
    std::size_t bucket_count() const { return mSlots.Size(); }

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, Positions()); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, Positions()); }

    // The table hash of m in this map (MerTableHash over its functor), for
    // the overloads below that take it from a caller that worked it out once.
    static std::uint32_t TableHash(const Mer& m) { return HashOf(m); }

    iterator find(const Mer& m) { return find(m, HashOf(m)); }
    const_iterator find(const Mer& m) const { return find(m, HashOf(m)); }
    // The same with m's table hash (TableHash(m)) given, for a caller that
    // has it already, from a prefetch.
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
    // The same with m's table hash (TableHash(m)) given.
    std::pair<iterator, bool> try_emplace(const Mer& m, std::uint32_t hash) {
        std::size_t i = Locate(m, hash);
        const bool inserted = !Used(i);
        if (inserted) {
            if (!Fits(mSize + 1, mSlots.Size())) {
                // Once, but from a table just below a power of two.
                do Grow();
                while (!Fits(mSize + 1, mSlots.Size()));
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
                if (mSize % Chunks::kChunkEntries == 0) mChunks.Add();
                EntryAt(mSize).first = m;
                mSlots[i].mHash = hash;
                mSlots[i].mEntryPlusOne = static_cast<std::uint32_t>(mSize + 1);
            }
            ++mSize;
        }
        return {iterator(this, PositionOf(i)), inserted};
    }
    V& operator[](const Mer& m) { return try_emplace(m).first->second; }

    // Sizes the table for about entries entries at once, so that filling it up
    // to that many never grows it; a table already as large stays as it is.
    // Throws std::bad_alloc when the memory cannot be had; the table still
    // holds every entry and may be used on.
    void reserve(std::size_t entries) { reserve(entries, entries); }
    // The same for a count known to lie between fewest and entries, with no
    // more slots than the table that growth reaches with fewest entries (a
    // power of two): whatever the count turns out to be, the table is never
    // larger than one grown for it. Where that table is the smaller, and
    // more come than it holds, its first growth goes to the size for
    // entries where that is below the next power of two (and so below the
    // table grown for that count); the growths after it are the usual ones.
    void reserve(std::size_t entries, std::size_t fewest) {
        // Beyond any real input; keeps the arithmetic below from overflowing.
        entries = std::min(entries, std::size_t(1) << 40);
        fewest = std::min(fewest, entries);
        const std::size_t most = LeastSlots(entries);
        const std::size_t slots = fewest < entries ? std::min(most, SlotsFor(fewest)) : most;
        if (slots > mSlots.Size()) Rehash(slots);
        // Below the next power of two, which a table grown for any count
        // that this one cannot hold has reached.
        const std::size_t size = mSlots.Size();
        mGrowTo = most > size && most < GrownSize(size) ? most : 0;
        if constexpr (!kValueInSlot) mChunks.reserve((entries >> kChunkBits) + 1);
    }

    // Gives back the slots beyond what the entries need under the load rule, as after
    // a reserve for more entries than came; a table that would shrink by less
    // than a quarter stays as it is. Its slots are read in order and written
    // to homes in the same order, so the pass streams through both arrays.
    void shrink_to_fit() {
        const std::size_t slots = std::max<std::size_t>(LeastSlots(mSize), 16);
        if (slots < mSlots.Size() / 4 * 3) Rehash(slots);
        mGrowTo = 0;
    }

    // Asks for m's home slot to be brought into the cache, ahead of a lookup
    // or insertion of m a little later.
    void prefetch(const Mer& m) const { prefetch(HashOf(m)); }
    // The same for the key of table hash hash (TableHash of it).
    void prefetch(std::uint32_t hash) const {
        const std::size_t i = HomeIn(hash, mSlots.Size());
        __builtin_prefetch(&mSlots[i], 1);
        if constexpr (kValueInSlot) __builtin_prefetch(&mUsed[i >> 6]);
    }

    void clear() {
        SlotArray<Slot>(SlotsFor(0)).Swap(mSlots);
        std::vector<std::uint64_t>(UsedWords(mSlots.Size())).swap(mUsed);
        Chunks().Swap(mChunks);
        mSize = 0;
        mGrowTo = 0;
    }

private:
    // The smallest power of two of at least 16 slots that holds entries entries.
    static std::size_t SlotsFor(std::size_t entries) {
        std::size_t n = 16;
        while (!Fits(entries, n)) n *= 2;
        return n;
    }

    // Words of the used-slot bitmap of a table of slots slots (small values only).
    static std::size_t UsedWords(std::size_t slots) { return kValueInSlot ? (slots + 63) / 64 : 0; }
    bool Used(std::size_t i) const {
        if constexpr (kValueInSlot)
            return mUsed[i >> 6] >> (i & 63) & 1;
        else
            return mSlots[i].mEntryPlusOne != 0;
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
        return s.mHash == h && HashF()(EntryAt(s.mEntryPlusOne - 1).first, m);
    }

    // Iteration positions: slots for small values, entries for large ones.
    std::size_t Positions() const { return kValueInSlot ? mSlots.Size() : mSize; }
    std::size_t PositionOf(std::size_t slot) const {
        if constexpr (kValueInSlot)
            return slot;
        else
            return mSlots[slot].mEntryPlusOne - 1;
    }
    decltype(auto) EntryAt(std::size_t at) {
        if constexpr (kValueInSlot)
            return ValueRef{KeyOf(mSlots[at]), mSlots[at].mValue};
        else
            return mChunks.At(at);
    }
    decltype(auto) EntryAt(std::size_t at) const {
        if constexpr (kValueInSlot)
            return ConstValueRef{KeyOf(mSlots[at]), mSlots[at].mValue};
        else
            return static_cast<const DenseEntry&>(mChunks.At(at));
    }

    // The table hash, taken as a fraction of the table: its top bits, for a
    // power-of-two table. A key's home in a table r times the size (r at
    // most 2) therefore lies within a slot of r times its home here, which
    // keeps Grow's offsets small.
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
        // Both new arrays are had before anything changes: a failed
        // allocation (std::bad_alloc) leaves the table as it was.
        SlotArray<Slot> old(slots);
        std::vector<std::uint64_t> oldUsed(UsedWords(slots));
        old.Swap(mSlots);
        oldUsed.swap(mUsed);
        for (std::size_t j = 0; j < old.Size(); ++j) {
            const Slot& s = old[j];
            if constexpr (kValueInSlot) {
                if (!(oldUsed[j >> 6] >> (j & 63) & 1)) continue;
            } else {
                if (!s.mEntryPlusOne) continue;
            }
            std::size_t i = HomeIn(HashOf(s), slots);
            while (Used(i))
                if (++i == slots) i = 0;
            mSlots[i] = s;
            if constexpr (kValueInSlot) mUsed[i >> 6] |= std::uint64_t(1) << (i & 63);
        }
    }
    // The size an insertion past the load rule grows a table of n slots to:
    // the next power of two, twice n when n is one.
    static std::size_t GrownSize(std::size_t n) {
        std::size_t slots = 16;
        while (slots <= n) slots *= 2;
        return slots;
    }

    // Grows the table in place to the size reserve set aside, or else to
    // GrownSize, every slot ending where Rehash
    // to that size would put it (the same table, so the same iteration
    // order).
    //
    // First pass, in slot order: the destination of each used slot in the
    // grown table, found by probing a bitmap of the grown table's used slots
    // (usedInGrown), exactly as Rehash would. Each destination is kept as
    // its offset from the slot's index scaled to the grown table (Scaled:
    // twice the index, for a doubling), one signed byte: a key's home in the
    // grown table lies within a slot of its scaled home here, so nearly every
    // offset is small; the few others (long probe runs, a run wrapping past
    // the table's end) are marked kFar and listed in farDestinations.
    //
    // Second pass, the array extended (its new part free), from the last
    // slot down. It is correct because:
    //   - destinations are unique (the first pass gave each its own slot);
    //   - when slot j is reached, every slot above it has been moved, every
    //     slot below it not yet: an upward move (destination above j) lands
    //     on a slot already moved or free, never on one still to be read,
    //     and nothing has yet written over slot j itself;
    //   - a downward move could land on a slot not yet moved, so those few
    //     wait aside (movedDown) and are written last.
    void Grow() {
        const std::size_t n = mSlots.Size(), slots = mGrowTo > n ? mGrowTo : GrownSize(n);
        mGrowTo = 0;
        // farDestinations numbers slots in 32 bits.
        if (slots > 0xFFFFFFFFu) {
            Rehash(slots);
            return;
        }
        // Slot j scaled to the grown table: j * slots / n, from a ratio with
        // 32 fraction bits (exactly 2 for a doubling). Both passes use it, so
        // it need only be close.
        __extension__ typedef unsigned __int128 Wide;
        const std::uint64_t ratio = (static_cast<std::uint64_t>(slots) << 32) / n;
        const auto Scaled = [ratio](std::size_t j) {
            return static_cast<std::ptrdiff_t>((static_cast<Wide>(j) * ratio) >> 32);
        };
        // Offsets of one signed byte: kFar (-128) marks a far destination,
        // the others (-127 to 127) are the offset itself.
        constexpr int kFar = -128;
        constexpr int kNearLimit = 128;
        std::vector<std::uint64_t> usedInGrown((slots + 63) / 64);
        std::vector<std::int8_t> offsetFromScaled;
        std::vector<std::uint32_t> farDestinations;
        offsetFromScaled.reserve(mSize);
        for (std::size_t j = 0; j < n; ++j) {
            if (!Used(j)) continue;
            std::size_t i = HomeIn(HashOf(mSlots[j]), slots);
            while (usedInGrown[i >> 6] >> (i & 63) & 1)
                if (++i == slots) i = 0;
            usedInGrown[i >> 6] |= std::uint64_t(1) << (i & 63);
            const std::ptrdiff_t d = static_cast<std::ptrdiff_t>(i) - Scaled(j);
            if (d > kFar && d < kNearLimit) {
                offsetFromScaled.push_back(static_cast<std::int8_t>(d));
            } else {
                offsetFromScaled.push_back(static_cast<std::int8_t>(kFar));
                farDestinations.push_back(static_cast<std::uint32_t>(i));
            }
        }
        // Large values tell a used slot by its own bytes: the bitmap is no
        // longer needed, and is freed before the array grows.
        if constexpr (!kValueInSlot) std::vector<std::uint64_t>().swap(usedInGrown);
        mSlots.GrowTo(slots);
        std::vector<std::pair<Slot, std::uint32_t>> movedDown;
        std::size_t next = offsetFromScaled.size(), nextFar = farDestinations.size();
        for (std::size_t j = n; j-- > 0;) {
            if (!Used(j)) continue;
            const int d = offsetFromScaled[--next];
            const std::size_t i =
                d == kFar ? farDestinations[--nextFar] : static_cast<std::size_t>(Scaled(j) + d);
            if (i == j) continue;
            if (i > j)
                mSlots[i] = mSlots[j];
            else
                movedDown.emplace_back(mSlots[j], static_cast<std::uint32_t>(i));
            // A slot left behind must read as free; small values are told
            // used by the bitmap, which usedInGrown replaces below.
            if constexpr (!kValueInSlot) mSlots[j] = Slot();
        }
        for (const auto& m : movedDown) mSlots[m.second] = m.first;
        if constexpr (kValueInSlot) mUsed.swap(usedInGrown);
    }

    SlotArray<Slot> mSlots;
    std::vector<std::uint64_t> mUsed;  // small values only: bit i set when slot i is used
    Chunks mChunks;                    // large values only, in order of insertion
    std::size_t mSize;
    std::size_t mGrowTo = 0;  // slots of the next growth, set by reserve; 0: GrownSize
};

#endif
