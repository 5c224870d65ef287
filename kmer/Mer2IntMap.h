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
};

template <class F>
void Mer2IntMap<F>::Add(Sequence& seq) {
    const int k = Mer::mMerSize;
    // Positions as size_t: a record of more than 2^31 bases is still walked whole.
    const std::size_t n = seq.mBases.size();
    const char* b = seq.mBases.data();
    // The canonical k-mers of the kept windows are gathered kAhead at a time
    // and their home slots fetched from memory as they are gathered; they are
    // counted in window order when the batch is full, by which time most
    // slots are in the cache. The counts and the table come out as if each
    // window were counted as it is read.
    constexpr int kAhead = 16;
    Mer batch[kAhead];
    int batched = 0;
    auto countBatch = [&]() {
        for (int i = 0; i < batched; ++i) {
            int& count = mCounts[batch[i]];
            if (count < INT_MAX) ++count;  // saturate rather than wrap to a negative count
        }
        mWindowCount += batched;
        batched = 0;
    };
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
        if (run < k) ++run;
        if (run < k) continue;
        // m is the clean window p-k+1 .. p.
        Mer rc = m;
        rc.Reverse();
        if (m.isThinned(rc)) continue;
        const Mer& key = rc.mValue < m.mValue ? rc : m;
        mCounts.prefetch(key);
        batch[batched++] = key;
        if (batched == kAhead) countBatch();
    }
    countBatch();
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
