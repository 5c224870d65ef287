#ifndef KMER_MERHASHMAP_H
#define KMER_MERHASHMAP_H

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "kmer/Mer.h"

// Hash map from Mer to V over one of the system's k-mer functors: HashF gives
// the hash and the key equality, so under MerSymmetricHashF a k-mer and its
// reverse complement are one key (the key stays as first inserted).
//
// Open addressing with linear probing over a power-of-two array of slots,
// grown to twice its size above 70% load; each slot holds its key, so a
// lookup reads one run of adjacent slots and no allocation is made per entry.
// Where the value lives depends on its size:
//   - a small plain value (a count) sits in the slot beside its key; the map
//     is one flat array and iteration is in slot order;
//   - any other value (a location list) lives in a dense vector of entries in
//     order of insertion, the slot holding its index; slots stay 16 bytes, so
//     probing for an absent key stays cheap, and iteration is in order of
//     insertion.
// Each layout is the faster and smaller one for its kind of value: lists kept
// in 40-byte slots made indexing a genome about a quarter slower and larger,
// counts kept in a dense vector cost a third more memory when counting.
// Callers must not rely on either iteration order.
//
// Used like a std::unordered_map (find, count, try_emplace, operator[], size,
// empty, clear, iteration over entries with first and second); there is no
// erase. Iterators and references to values stay valid only until the next
// insertion of a new key.
template <class V, class HashF>
class MerHashMap {
  static constexpr bool kValueInSlot =
      std::is_trivially_copyable<V>::value && sizeof(V) <= sizeof(std::uint32_t);

  // Slot of a small value: key, value, and 1 in mTag when the slot is used.
  struct SlotWithValue {
    Mer first;
    V second = V();
    unsigned char mTag = 0;
  };
  // Entry of a large value, and the slot that finds it: 1 + its index in
  // mTag, 0 when the slot is free.
  struct DenseEntry {
    Mer first;
    V second;
  };
  struct SlotWithIndex {
    Mer first;
    std::size_t mTag = 0;
  };
  typedef typename std::conditional<kValueInSlot, SlotWithValue, SlotWithIndex>::type Slot;

 public:
  typedef Mer key_type;
  typedef V mapped_type;
  // What iteration yields: the key in first, the value in second.
  typedef typename std::conditional<kValueInSlot, SlotWithValue, DenseEntry>::type value_type;

  template <class E>
  class Iter {
   public:
    Iter() : mAt(nullptr), mEnd(nullptr) {}
    Iter(E* at, E* end) : mAt(at), mEnd(end) { Skip(); }
    // iterator converts to const_iterator
    template <class O, class = typename std::enable_if<std::is_same<const O, E>::value &&
                                                       !std::is_same<O, E>::value>::type>
    Iter(const Iter<O>& o) : mAt(o.mAt), mEnd(o.mEnd) {}
    E& operator*() const { return *mAt; }
    E* operator->() const { return mAt; }
    Iter& operator++() {
      ++mAt;
      Skip();
      return *this;
    }
    bool operator==(const Iter& o) const { return mAt == o.mAt; }
    bool operator!=(const Iter& o) const { return mAt != o.mAt; }

   private:
    template <class>
    friend class Iter;
    void Skip() {
      while (mAt != mEnd && !Holds(*mAt)) ++mAt;
    }
    E* mAt;
    E* mEnd;
  };
  typedef Iter<value_type> iterator;
  typedef Iter<const value_type> const_iterator;

  // Room for about hint entries before the first growth.
  explicit MerHashMap(std::size_t hint = 16) : mSize(0) { Allocate(SlotsFor(hint)); }

  std::size_t size() const { return mSize; }
  bool empty() const { return mSize == 0; }

  iterator begin() { return iterator(First(), Last()); }
  iterator end() { return iterator(Last(), Last()); }
  const_iterator begin() const { return const_iterator(First(), Last()); }
  const_iterator end() const { return const_iterator(Last(), Last()); }

  iterator find(const Mer& m) {
    const std::size_t i = Locate(m);
    return mSlots[i].mTag ? iterator(At(i), Last()) : end();
  }
  const_iterator find(const Mer& m) const {
    const std::size_t i = Locate(m);
    return mSlots[i].mTag ? const_iterator(At(i), Last()) : end();
  }
  std::size_t count(const Mer& m) const { return mSlots[Locate(m)].mTag ? 1 : 0; }

  // The entry stored under m (or a key equal to it); a new entry m with a
  // default value when there is none. second tells whether it was inserted.
  std::pair<iterator, bool> try_emplace(const Mer& m) {
    std::size_t i = Locate(m);
    const bool inserted = !mSlots[i].mTag;
    if (inserted) {
      if ((mSize + 1) * 10 > mSlots.size() * 7) {
        Grow();
        i = Locate(m);
      }
      mSlots[i].first = m;
      if constexpr (kValueInSlot) {
        mSlots[i].second = V();
        mSlots[i].mTag = 1;
      } else {
        mEntries.push_back(DenseEntry{m, V()});
        mSlots[i].mTag = mEntries.size();
      }
      ++mSize;
    }
    return {iterator(At(i), Last()), inserted};
  }
  V& operator[](const Mer& m) { return try_emplace(m).first->second; }

  void clear() {
    std::vector<Slot>().swap(mSlots);
    std::vector<DenseEntry>().swap(mEntries);
    Allocate(SlotsFor(0));
    mSize = 0;
  }

 private:
  static bool Holds(const SlotWithValue& s) { return s.mTag != 0; }
  static bool Holds(const DenseEntry&) { return true; }

  static std::size_t SlotsFor(std::size_t entries) {
    std::size_t n = 16;
    while (n * 7 < entries * 10) n *= 2;
    return n;
  }

  // The entry of used slot i.
  value_type* At(std::size_t i) {
    if constexpr (kValueInSlot)
      return &mSlots[i];
    else
      return &mEntries[mSlots[i].mTag - 1];
  }
  const value_type* At(std::size_t i) const { return const_cast<MerHashMap*>(this)->At(i); }
  // The range iteration walks.
  value_type* First() {
    if constexpr (kValueInSlot)
      return mSlots.data();
    else
      return mEntries.data();
  }
  value_type* Last() { return First() + (kValueInSlot ? mSlots.size() : mEntries.size()); }
  const value_type* First() const { return const_cast<MerHashMap*>(this)->First(); }
  const value_type* Last() const { return const_cast<MerHashMap*>(this)->Last(); }

  void Allocate(std::size_t slots) {
    mSlots.resize(slots);
    mMask = slots - 1;
    mShift = 64;
    for (std::size_t n = slots; n > 1; n >>= 1) --mShift;
  }
  // The functors' hash is a plain exclusive-or of the two 32-bit halves;
  // Fibonacci hashing spreads it over the table, so that k-mers alike in
  // their low bits (thinned ones, say) do not cluster.
  std::size_t Home(const Mer& m) const {
    return static_cast<std::size_t>(
        (static_cast<std::uint64_t>(HashF()(m)) * 0x9E3779B97F4A7C15ULL) >> mShift);
  }
  // The slot holding m, or the free slot where m belongs.
  std::size_t Locate(const Mer& m) const {
    std::size_t i = Home(m);
    while (mSlots[i].mTag && !HashF()(mSlots[i].first, m)) i = (i + 1) & mMask;
    return i;
  }
  void Grow() {
    std::vector<Slot> old;
    old.swap(mSlots);
    Allocate(old.size() * 2);
    for (Slot& s : old) {
      if (!s.mTag) continue;
      std::size_t i = Home(s.first);
      while (mSlots[i].mTag) i = (i + 1) & mMask;
      mSlots[i] = std::move(s);
    }
  }

  std::vector<Slot> mSlots;
  std::vector<DenseEntry> mEntries;  // large values only, in order of insertion
  std::size_t mSize;
  std::size_t mMask;
  int mShift;  // 64 - log2(number of slots)
};

#endif
