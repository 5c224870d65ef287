#ifndef KMER_MER2INTMAP_H
#define KMER_MER2INTMAP_H

#include <climits>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <type_traits>
#include <vector>

#include "kmer/Mer.h"
#include "toolkit/FASTAFile.h"
#include "toolkit/Sequence.h"

// Open-addressing hash table from Mer to int: linear probing over a power-of-two
// array of slots, grown to twice its size above 70% load. F supplies the hash and
// the key equality, so under MerSymmetricHashF a k-mer and its reverse complement
// find the same slot. The slots are one flat array: no allocation per entry, and
// iteration (in slot order) reads memory in sequence.
template <class F>
class MerCountTable {
 public:
  struct Entry {
    Mer first;       // the key as inserted
    int second = 0;  // its count
    int mUsed = 0;   // 1 when the slot holds an entry
  };

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
      while (mAt != mEnd && !mAt->mUsed) ++mAt;
    }
    E* mAt;
    E* mEnd;
  };
  typedef Iter<Entry> iterator;
  typedef Iter<const Entry> const_iterator;

  // Room for about hint entries before the first growth.
  explicit MerCountTable(std::size_t hint = 16) : mSize(0) {
    std::size_t capacity = 16;
    while (capacity * 7 < hint * 10) capacity *= 2;
    Allocate(capacity);
  }

  std::size_t size() const { return mSize; }
  bool empty() const { return mSize == 0; }

  iterator begin() { return iterator(First(), Last()); }
  iterator end() { return iterator(Last(), Last()); }
  const_iterator begin() const { return const_iterator(First(), Last()); }
  const_iterator end() const { return const_iterator(Last(), Last()); }

  iterator find(const Mer& m) {
    std::size_t i = Locate(m);
    return mSlots[i].mUsed ? iterator(&mSlots[i], Last()) : end();
  }
  const_iterator find(const Mer& m) const {
    std::size_t i = Locate(m);
    return mSlots[i].mUsed ? const_iterator(&mSlots[i], Last()) : end();
  }

  // The count stored under m (or an equal key); a new entry m with count 0 when none.
  int& operator[](const Mer& m) {
    std::size_t i = Locate(m);
    if (!mSlots[i].mUsed) {
      if ((mSize + 1) * 10 > mSlots.size() * 7) {
        Grow();
        i = Locate(m);
      }
      mSlots[i].first = m;
      mSlots[i].second = 0;
      mSlots[i].mUsed = 1;
      ++mSize;
    }
    return mSlots[i].second;
  }

  void clear() {
    std::vector<Entry>().swap(mSlots);
    Allocate(16);
    mSize = 0;
  }

 private:
  Entry* First() { return mSlots.data(); }
  Entry* Last() { return mSlots.data() + mSlots.size(); }
  const Entry* First() const { return mSlots.data(); }
  const Entry* Last() const { return mSlots.data() + mSlots.size(); }

  void Allocate(std::size_t capacity) {
    mSlots.assign(capacity, Entry());
    mMask = capacity - 1;
    mShift = 64;
    for (std::size_t c = capacity; c > 1; c >>= 1) --mShift;
  }
  // F's hash is a plain exclusive-or of the two halves; spread it over the table
  // so that k-mers alike in their low bits (thinned ones, say) do not cluster.
  std::size_t Home(const Mer& m) const {
    return (std::size_t)(((std::uint64_t)F()(m) * 0x9E3779B97F4A7C15ULL) >> mShift);
  }
  std::size_t Locate(const Mer& m) const {
    std::size_t i = Home(m);
    while (mSlots[i].mUsed && !F()(mSlots[i].first, m)) i = (i + 1) & mMask;
    return i;
  }
  void Grow() {
    std::vector<Entry> old;
    old.swap(mSlots);
    Allocate(old.size() * 2);
    for (const Entry& e : old) {
      if (!e.mUsed) continue;
      std::size_t i = Home(e.first);
      while (mSlots[i].mUsed) i = (i + 1) & mMask;
      mSlots[i] = e;
    }
  }

  std::vector<Entry> mSlots;
  std::size_t mSize;
  std::size_t mMask;
  int mShift;  // 64 - log2(capacity)
};

// Count of each k-mer. F is the hash and equality functor of the map; with
// MerSymmetricHashF a k-mer and its reverse complement are one key, and at most
// one of the two is ever stored.
template <class F>
class Mer2IntMap {
 public:
  typedef MerCountTable<F> CountMap;

  CountMap mCounts;                         // count of each stored k-mer
  // Windows counted by Add; 64 bits wide, as a whole genome holds more than 2^31.
  std::int64_t mWindowCount;
  std::vector<std::string> mSequenceNames;  // names of the records counted by Add

  Mer2IntMap() : mCounts(100), mWindowCount(0) {}

  // True when m (or, under a strand-blind F, its reverse complement) is stored.
  bool Contains(Mer m) const { return mCounts.find(m) != mCounts.end(); }

  // Counts every window of k bases (A, C, G, T in either case) of seq that the
  // thinning rule keeps, under its canonical k-mer, and records seq's name.
  void Add(Sequence& seq);

  // Counts every record of a FASTA stream; stops at its end or when it fails.
  void Add(std::istream& in);
};

template <class F>
void Mer2IntMap<F>::Add(Sequence& seq) {
  const int k = Mer::mMerSize;
  // Positions as size_t: a record of more than 2^31 bases is still walked whole.
  const std::size_t n = seq.mBases.size();
  const char* b = seq.mBases.data();
  // One shift per base: once k bases in a row have been shifted in, m is the
  // window ending at p, the same k-mer as building that window afresh.
  Mer m;
  int run = 0;  // bases in a row ending at p, capped at k
  for (std::size_t p = 0; p < n; ++p) {
    unsigned char code = gMerCodes.mCode[(unsigned char)b[p]];
    if (code > 3) {
      run = 0;
      continue;
    }
    m.ShiftInBits((char)code);
    if (run < k && ++run < k) continue;
    // m is the clean window p-k+1 .. p.
    Mer rc = m;
    rc.Reverse();
    if (m.isThinned(rc)) continue;
    int& count = mCounts[rc.mValue < m.mValue ? rc : m];
    if (count < INT_MAX) ++count;  // saturate rather than wrap to a negative count
    ++mWindowCount;
  }
  mSequenceNames.push_back(seq.mName);
}

template <class F>
void Mer2IntMap<F>::Add(std::istream& in) {
  Sequence seq;
  FASTAFile reader;
  do {
    reader.GetNextSequence(in, seq);
    Add(seq);
  } while (in.good());
}

#endif
