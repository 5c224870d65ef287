// The comparison engine of zarn: owns the source k-mer index and the repeat
// model, fills them, and compares query records against the index, writing
// the chains of every query record to the chain output stream.
//
// Use: construct, set the public fields, then call SetupRepeatModel (only
// with a distribution file, and before AddSource: its header sets the k-mer
// length and the thinning), AddSource, and Compare(std::istream&,
// std::ostream&), once each.
//
// Failures: SetupRepeatModel, AddSource and the stream form of Compare return
// false when their input cannot be used, and leave in mError the reason as one
// line of text (without the file name, which the caller adds). The engine
// itself writes no error message. Running out of memory throws std::bad_alloc
// out of SetupRepeatModel, AddSource and Compare; the caller reports it.

#ifndef KMER_ZARNENGINE_H
#define KMER_ZARNENGINE_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "kmer/HitChainer.h"
#include "kmer/Mer.h"
#include "kmer/Mer2SequenceLocationMap.h"
#include "kmer/MerRepeatModel.h"
#include "kmer/SearchResult.h"
#include "toolkit/Sequence.h"
#include "toolkit/String2IntMap.h"
#include "toolkit/gzstream.h"

class ZarnEngine {
public:
    // 1: the tab form of the chain output (column header line);
    // 0: the marker form ("#:lav" before, "#:eof" after the chain lines).
    int mTabbedOutput;
    // Least summed hit length of a chain that is written.
    int mMinScore;
    // Query records with fewer bases are skipped.
    int mMinQueryLength;
    // Non-zero: debug dumps on standard output.
    int mDebug;
    // Non-zero: chains are computed, but no chain line is written.
    int mPerformAlignments;
    SequenceVector mSpareSequences;
    String2IntMap mSpareNameMap;
    // The source k-mer index.
    Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF> mMerLocations;
    // The repeat model; stays empty (and accepts every k-mer) without a
    // distribution file.
    MerRepeatModel<MerSymmetricHashF> mRepeatModel;
    // Reason of the last failure of SetupRepeatModel, AddSource or Compare.
    std::string mError;

    ZarnEngine();

    // Reads the distribution file (plain or gzip) into the repeat model with
    // the minimum count 1; its header sets the k-mer length and thinning of
    // Mer. Then the model's upper count limit becomes maxCount. Returns false
    // (mError set) when the file cannot be opened or read, its header holds
    // unusable values, or a body line is malformed.
    bool SetupRepeatModel(std::string fileName, int maxCount);

    // Indexes every k-mer of the source file (plain or gzip) that the
    // thinning rule selects. Returns false (mError set) when the file cannot
    // be opened or read, holds more records than the index can number, or a
    // record longer than its int positions can count.
    bool AddSource(std::string fileName);

    // Appends the hits of the query's k-mers: forward hits to fwd, hits of
    // the reverse complements to rev (query coordinates on the reverse
    // complement of the query). A query longer than INT_MAX bases throws
    // std::length_error, here and in Compare(Sequence&, ...).
    void GetHits(Sequence& query, SearchResultVec& fwd, SearchResultVec& rev);

    // The hits of one record, chained per strand into the two chain lists.
    void Compare(Sequence& query, std::vector<Chain>& fwdChains, std::vector<Chain>& revChains);

    // The whole query loop: reads every record from in, compares the records
    // of at least mMinQueryLength bases and writes their chains to out.
    // Returns false (mError set) at a line holding a NUL byte, a record longer
    // than INT_MAX bases (refused as it is read, before the rest of it is
    // held) or a failed read of the query input; chain lines already written
    // stay written.
    // Also returns false (mError "write error", out failed) when out fails:
    // it is tested after the header and after each record's chain lines, and
    // no further record is read. std::bad_alloc passes to the caller; a
    // record's chains are all computed before its first line is written.
    bool Compare(std::istream& in, std::ostream& out);

private:
    typedef Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF>::LocationList
        LocationList;
    // The stored lists that one strand's k-mers found, in query order, with a
    // bit set at the window end of each k-mer that found one (ZarnEngine.cpp).
    struct FoundLists;

    // Looks every selected k-mer of the query up once, on both strands.
    void FindLists(Sequence& query, FoundLists& fwd, FoundLists& rev);
    // Appends the hits of the found lists to hits (exactly sized), then frees
    // found.
    void FillHits(const Sequence& query, FoundLists& found, bool reverse, SearchResultVec& hits);

    // Hit list of the strand being chained, reused by both strands and across
    // records.
    SearchResultVec mHits;
};

#endif
