#ifndef KMER_MER2INTMAP_H
#define KMER_MER2INTMAP_H

#include <climits>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "kmer/Mer.h"
#include "kmer/MerHashMap.h"
#include "toolkit/FASTAFile.h"
#include "toolkit/Sequence.h"

// Count of each k-mer. F is the hash and equality functor of the map; with
// MerSymmetricHashF a k-mer and its reverse complement are one key, and at most
// one of the two is ever stored.
template <class F>
class Mer2IntMap {
public:
    typedef MerHashMap<int, F> CountMap;

    CountMap mCounts;  // count of each stored k-mer
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

private:
    class Walk;
};

// The walk of one record: counts every kept window of the bases fed to it,
// in pieces of any size, as if they were one text.
template <class F>
class Mer2IntMap<F>::Walk {
public:
    explicit Walk(Mer2IntMap& map) : mMap(map) {}

    void Feed(const char* b, std::size_t n) {
        const int k = Mer::mMerSize;
        // Kept in locals through the loop: the counts written by Flush could
        // otherwise be taken to alias them.
        Mer m = mMer;
        int run = mRun;
        // One shift per base: once k bases in a row have been shifted in, m
        // is the window ending at p, the same k-mer as building that window
        // afresh.
        for (std::size_t p = 0; p < n; ++p) {
            const unsigned char code = gMerCodes.mCode[(unsigned char)b[p]];
            if (code > 3) {
                run = 0;
                continue;
            }
            m.ShiftInBits((char)code);
            if (run < k) ++run;
            if (run < k) continue;
            // m is a clean window ending at p.
            Mer rc = m;
            rc.Reverse();
            if (m.isThinned(rc)) continue;
            const Mer& key = rc.mValue < m.mValue ? rc : m;
            const std::uint32_t hash = CountMap::TableHash(key);
            mMap.mCounts.prefetch(hash);
            mBatch[mBatched] = key;
            mHashes[mBatched++] = hash;
            if (mBatched == kAhead) Flush();
        }
        mMer = m;
        mRun = run;
    }

    // Counts the windows gathered so far.
    void Flush() {
        for (int i = 0; i < mBatched; ++i) {
            int& count = mMap.mCounts.try_emplace(mBatch[i], mHashes[i]).first->second;
            if (count < INT_MAX) ++count;  // saturate rather than wrap to a negative count
        }
        mMap.mWindowCount += mBatched;
        mBatched = 0;
    }

private:
    // The canonical k-mers of the kept windows are gathered kAhead at a time
    // and their home slots fetched from memory as they are gathered; they are
    // counted in window order when the batch is full, by which time most
    // slots are in the cache. The counts and the table come out as if each
    // window were counted as it is read.
    static constexpr int kAhead = 64;  // against 16: a few percent faster on whole genomes
    Mer2IntMap& mMap;
    Mer mBatch[kAhead];
    std::uint32_t mHashes[kAhead];  // their table hashes, worked out once
    int mBatched = 0;
    Mer mMer;
    int mRun = 0;  // bases in a row ending at the last one fed, capped at k
};

template <class F>
void Mer2IntMap<F>::Add(Sequence& seq) {
    Walk walk(*this);
    walk.Feed(seq.mBases.data(), seq.mBases.size());
    walk.Flush();
    mSequenceNames.push_back(seq.mName);
}

// Each record is counted line by line as it is read, the same as reading it
// whole and adding it: no whole-record copy of the bases is kept.
template <class F>
void Mer2IntMap<F>::Add(std::istream& in) {
    FASTAFile reader;
    std::string name;
    do {
        Walk walk(*this);
        reader.GetNextSequence(in, name,
                               [&walk](const char* text, std::size_t n) { walk.Feed(text, n); });
        walk.Flush();
        mSequenceNames.push_back(name);
    } while (in.good());
}

#endif
