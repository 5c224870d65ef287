#ifndef KMER_MER2SEQUENCELOCATIONMAP_H
#define KMER_MER2SEQUENCELOCATIONMAP_H

// The source k-mer index: for every selected k-mer of the source file, the
// places (record index, 0-based start) where it occurs. Filled once by its
// own FASTA scanner (Add), then asked for the hits of single k-mers
// (FindMerLocations).
//
// The scanner reads the source through the shared line layer (whole lines of
// any length, CR LF read as LF). Within a record, positions count the A, C,
// G, T, N and X characters (either case) across lines; every other character
// counts nothing. A k-mer is stored once k bases of the record have been
// read, at the position of its last base minus k plus 1; an N or X keeps the
// k-mer's bases, so the k-mers after it span it. A '>' anywhere in a line
// starts a record named by that line from its second character. A record's
// size is its number of counted characters. Text before the first header
// follows the same rules under the top record index; hits on it are
// reported by FindMerLocations.
//
// Error reporting of the scanner: both forms of Add return a
// SourceScanStatus; mStopLine holds the 1-based line where a fault stopped
// the scan (0 for Ok).
//   Ok             the stream was read to its end.
//   ReadFailed     the stream failed before its end (it never opened, or a
//                  read error); the scan stopped there. Everything read before
//                  the failure is indexed, and the record being read is
//                  closed with the size counted so far.
//   NulByte        a line holds a NUL byte: damaged text. Nothing of that
//                  line is indexed; the record being read is closed with the
//                  size counted before it.
//   TooManyRecords the file holds more records than a location can number
//                  (MAXSOURCERECORDS, one less when sequence stands before
//                  the first header, since that text takes the top index).
//                  The scan stopped at the first header that did not fit; the
//                  records before it are indexed and closed, nothing of that
//                  header or after it is. mRecordLimit holds the limit that
//                  applied.
//   RecordTooLong  a record's size would pass the largest int, which starts
//                  and sizes are kept in. The scan stopped at the character
//                  that did not fit; the record is closed with the size
//                  counted so far.
// In every case mSourceSizes ends with one entry per entry of mSourceNames
// (a single entry, the count of the text read, when no header was read). The
// scanner writes no message itself; the caller reports the status.

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "kmer/BigSequenceLocation.h"
#include "kmer/Mer.h"
#include "kmer/MerHashMap.h"
#include "kmer/MerRepeatModel.h"
#include "kmer/SearchResult.h"
#include "toolkit/DistinctCounter.h"
#include "toolkit/HugePages.h"
#include "toolkit/LineReader.h"
#include "toolkit/gzstream.h"

enum class SourceScanStatus { Ok, ReadFailed, TooManyRecords, RecordTooLong, NulByte };

template <class HashF, class LocT, class RepeatHashF>
class Mer2SequenceLocationMap {
public:
    typedef SequenceLocationVecT<LocT> LocationList;
    typedef MerHashMap<LocationList, HashF> LocationMap;

    LocationMap mLocationLists;  // exact k-mer -> its locations (each list in storing order)
    int mMaxLocations;           // most locations kept for one k-mer
    int mLocationCount;          // locations appended to an existing list
    std::vector<std::string> mSourceNames;  // header text after '>', by record index
    std::vector<int> mSourceSizes;          // counted characters, by record index
    long mStopLine;                         // line where a fault stopped the scan, 0 if none
    long mRecordLimit;  // records the last scan could number (see TooManyRecords)

    Mer2SequenceLocationMap()
        : mLocationLists(100),
          mMaxLocations(999999),
          mLocationCount(0),
          mStopLine(0),
          mRecordLimit(LocT::MAXSOURCERECORDS) {}

    // Sizes the index at once for about entries distinct k-mers, so that
    // indexing them does not grow the table step by step. Nothing is
    // reserved when the thinning rule selects no k-mer at all, nor when the
    // memory cannot be had: the table then grows as the scan needs it.
    void Reserve(long long entries) { Reserve(entries, entries); }
    // The same for a count estimated to lie between fewest and entries: the
    // table is never larger than the one that growth reaches with fewest
    // (MerHashMap::reserve), so it costs no more than the same k-mers
    // through a pipe, and where more come than it holds, it grows onto the
    // size the pipe's table has.
    void Reserve(long long entries, long long fewest);
    // The reservation of ReserveForFile, from the pass's estimate of the
    // distinct k-mers (exact or from a sample) and the k-mers it read;
    // returns the upper end of the count it sized for.
    long long ReserveForEstimate(double estimate, bool exact, long long kmers);
    // The same for the source file name when it is a regular file (plain or
    // gzip), sized from the distinct k-mers its scan will store, counted in
    // one quick pass (from a sample of them in a large source; by thinning
    // alone: a repeat model given to Add can only store fewer); returns the
    // upper end of the count it sized for (0 when nothing was reserved). A
    // stream that is not a regular file gets no reservation; its table
    // grows.
    long long ReserveForFile(const std::string& name);

    // Scans the source FASTA stream with an empty repeat model: only thinning
    // selects k-mers.
    SourceScanStatus Add(std::istream& in);
    // Scans the source FASTA stream to its end, storing every k-mer that
    // thinning and the model select.
    SourceScanStatus Add(std::istream& in, MerRepeatModel<RepeatHashF>& model);

    // Stores one location of m unless m is thinned, the model rejects it, or
    // its list already holds mMaxLocations entries.
    void AddMerLocation(Mer& m, int sourceIdx, int start, MerRepeatModel<RepeatHashF>& model);

private:
    class StoreBatch;
    // Where the scan of the source stands.
    struct ScanState {
        Mer mMer;          // the last bases read, up to k
        int mPos = 0;      // counted characters of the current record
        int mBases = 0;    // bases of the current record read so far, up to k
        int mRecord = -1;  // index of the current record, -1 before the first header
        long mMaxRecords = LocT::MAXSOURCERECORDS;  // records the scan can number
    };
    // Scans one line of the source: its bases, or the header that starts a record.
    SourceScanStatus ScanLine(const std::string& line, ScanState& state,
                              MerRepeatModel<RepeatHashF>& model, StoreBatch& batch);
    // Starts a record at its header line, unless the records would pass the limit.
    SourceScanStatus StartRecord(const std::string& line, ScanState& state);

    // True when the thinning rule can select no k-mer: a slice outside 0 ..
    // factor - 1 is never the remainder.
    static bool ThinningSelectsNone() {
        return Mer::mThinSlice < 0 ||
               (Mer::mThinFactor >= 1 && Mer::mThinSlice >= Mer::mThinFactor);
    }

    // Stores one location of a selected k-mer, of table hash hash, unless its
    // list is full.
    void StoreLocation(const Mer& m, std::uint32_t hash, int sourceIdx, int start);

public:
    // Appends to hits one hit (source name, size, start, start + k - 1) per
    // stored location of exactly m, in storing order. A location whose record
    // has no name (text before the first header) is reported with the "BUG"
    // lines on standard output and skipped.
    void FindMerLocations(Mer& m, SearchResultVec& hits);
    // The hits of one stored list, appended as FindMerLocations appends those
    // of the list it finds.
    void AppendHits(const LocationList& list, SearchResultVec& hits);
};

template <class HashF, class LocT, class RepeatHashF>
SourceScanStatus Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::Add(std::istream& in) {
    MerRepeatModel<RepeatHashF> model;
    return Add(in, model);
}

// The selected k-mers are gathered kAhead at a time, their home slots
// fetched from memory as they are gathered, and stored in the order they
// were read when the batch is full, by which time most slots are in the
// cache. The index comes out as if each were stored as it is read.
template <class HashF, class LocT, class RepeatHashF>
class Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::StoreBatch {
public:
    explicit StoreBatch(Mer2SequenceLocationMap& index) : mIndex(index) {}
    void Add(const Mer& m, int sourceIdx, int start) {
        const std::uint32_t hash = LocationMap::TableHash(m);
        mIndex.mLocationLists.prefetch(hash);
        mBatch[mBatched++] = Pending{m, hash, sourceIdx, start};
        if (mBatched == kAhead) Flush();
    }
    void Flush() {
        for (int i = 0; i < mBatched; ++i)
            mIndex.StoreLocation(mBatch[i].mMer, mBatch[i].mHash, mBatch[i].mSourceIdx,
                                 mBatch[i].mStart);
        mBatched = 0;
    }

private:
    // 32: all10.fa indexed in 3.8-4.3 s, 4.5-6.4 s with 16; 64 was no better.
    static constexpr int kAhead = 32;
    struct Pending {
        Mer mMer;
        std::uint32_t mHash;  // its table hash, worked out once
        int mSourceIdx;
        int mStart;
    };
    Mer2SequenceLocationMap& mIndex;
    Pending mBatch[kAhead];
    int mBatched = 0;
};

template <class HashF, class LocT, class RepeatHashF>
SourceScanStatus Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::ScanLine(
    const std::string& line, ScanState& state, MerRepeatModel<RepeatHashF>& model,
    StoreBatch& batch) {
    const int k = Mer::mMerSize;
    // Kept in locals through the loop, written back at the end.
    Mer m = state.mMer;
    int pos = state.mPos;
    int bases = state.mBases;
    SourceScanStatus status = SourceScanStatus::Ok;
    const char* text = line.data();
    const size_t len = line.size();
    for (size_t col = 0; col < len; ++col) {
        const char c = text[col];
        const unsigned char code = gMerCodes.mCode[(unsigned char)c];
        if (code < 4 || c == 'N' || c == 'n' || c == 'X' || c == 'x') {
            if (pos == INT_MAX) {
                status = SourceScanStatus::RecordTooLong;
                break;
            }
            ++pos;
            if (code < 4) {
                m.ShiftInBits(static_cast<char>(code));
                if (bases < k) ++bases;
                if (bases == k && !m.isThinned() && model.isAcceptableFrequency(m))
                    batch.Add(m, state.mRecord, pos - k);
            }
            // an N or X only advances pos: the k-mer keeps its bases and spans it
            continue;
        }
        if (c != '>') continue;  // blanks, digits, other letters: counted nothing
        state.mPos = pos;
        return StartRecord(line, state);  // the rest of the line is the name
    }
    state.mMer = m;
    state.mPos = pos;
    state.mBases = bases;
    return status;
}

template <class HashF, class LocT, class RepeatHashF>
SourceScanStatus Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::StartRecord(
    const std::string& line, ScanState& state) {
    // Text before the first header is stored under the top index, which then
    // cannot serve a record as well.
    if (state.mRecord == -1 && state.mPos > 0) state.mMaxRecords = LocT::MAXSOURCERECORDS - 1;
    if (state.mRecord + 1L >= state.mMaxRecords) return SourceScanStatus::TooManyRecords;
    // The name is the whole line from its second character.
    mSourceNames.push_back(line.substr(1));
    if (state.mRecord != -1) mSourceSizes.push_back(state.mPos);
    ++state.mRecord;
    state.mPos = 0;
    state.mBases = 0;
    state.mMer = Mer();
    return SourceScanStatus::Ok;
}

template <class HashF, class LocT, class RepeatHashF>
SourceScanStatus Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::Add(
    std::istream& in, MerRepeatModel<RepeatHashF>& model) {
    SourceScanStatus status = SourceScanStatus::Ok;
    std::string line;
    long lineNo = 0;
    ScanState state;
    StoreBatch batch(*this);
    while (status == SourceScanStatus::Ok) {
        const LineEnd end = ReadTextLine(in, line);
        if (end == LineEnd::None) break;
        ++lineNo;
        if (end == LineEnd::Failed) {
            status = SourceScanStatus::ReadFailed;
            break;
        }
        if (HoldsNul(line)) {
            status = SourceScanStatus::NulByte;
            break;
        }
        status = ScanLine(line, state, model, batch);
        if (end == LineEnd::EndOfInput) break;
    }
    batch.Flush();
    // A reservation from an estimate can exceed what came. The smaller
    // table is built while the larger one is alive; where that cannot be
    // had, the larger one serves as well.
    try {
        mLocationLists.shrink_to_fit();
    } catch (const std::bad_alloc&) {
    }
    mStopLine = status == SourceScanStatus::Ok ? 0 : lineNo;
    mRecordLimit = state.mMaxRecords;
    mSourceSizes.push_back(state.mPos);
    return status;
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::AddMerLocation(
    Mer& m, int sourceIdx, int start, MerRepeatModel<RepeatHashF>& model) {
    if (m.isThinned()) return;
    if (!model.isAcceptableFrequency(m)) return;
    StoreLocation(m, LocationMap::TableHash(m), sourceIdx, start);
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::StoreLocation(const Mer& m,
                                                                      std::uint32_t hash,
                                                                      int sourceIdx, int start) {
    LocT loc;
    loc.setSourceIdx(sourceIdx);
    loc.setSourceStart(start);
    auto slot = mLocationLists.try_emplace(m, hash);
    LocationList& list = slot.first->second;
    if (slot.second) {
        list.push_back(loc);
    } else if (static_cast<long long>(list.size()) < mMaxLocations) {
        // A list of two or three grows by one: its cells are pooled without
        // a heap header, and lists of three are common (a k-mer in three of
        // the source's genomes), so doubling would waste a location on each.
        const std::size_t n = list.size();
        if (n == list.capacity() && (n == 2 || n == 3)) list.reserve(n + 1);
        list.push_back(loc);
        mLocationCount = static_cast<int>(static_cast<unsigned>(mLocationCount) + 1u);
    }
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::Reserve(long long entries,
                                                                long long fewest) {
    if (entries <= 0 || ThinningSelectsNone()) return;
    try {
        mLocationLists.reserve(static_cast<std::size_t>(entries),
                               static_cast<std::size_t>(std::max(fewest, 0LL)));
    } catch (const std::bad_alloc&) {
        // Only a head start: the table grows from its present size instead.
    }
}

// The pass reads the file as the scan will: a '>' starts a record and the
// rest of its line is the name; A, C, G and T shift into the k-mer; an N, X
// or any other character changes nothing. The table key of every k-mer that
// thinning selects goes to a DistinctCounter: exact for a source of up to
// DistinctCounter::kCapacity distinct k-mers, an estimate from a sample of
// the keys beyond. The count of bases would be a poor bound: a repetitive
// source, a source of similar genomes, or an uneven thinning slice stores
// far fewer k-mers, and the table, sized for them all, would cost far more
// than the same bytes through a pipe.
template <class HashF, class LocT, class RepeatHashF>
long long Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::ReserveForFile(
    const std::string& name) {
    struct stat st;
    if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ThinningSelectsNone()) return 0;
    igzstream in;
    in.open(name.c_str(), std::ios::in);
    if (!in.good()) return 0;  // the scan that follows reports the file
    const std::uint64_t k = static_cast<std::uint64_t>(Mer::mMerSize);
    // A factor of 1 (its slice 0, as ThinningSelectsNone ruled out others)
    // selects every k-mer.
    const bool everyMer = Mer::mThinFactor == 1;
    double estimate = 0;
    long long kmers = 0;  // k-mers read: a bound of the distinct ones
    bool exact = true;
    try {
        DistinctCounter distinct;
        // The last bases read, unmasked: the k-mer is its low 2k bits.
        // Masking only where the k-mer is used keeps the shift from base to
        // base short.
        std::uint64_t last = 0;
        const std::uint64_t mask = k >= 32 ? ~std::uint64_t(0) : (std::uint64_t(1) << (2 * k)) - 1;
        std::uint64_t bases = 0;  // bases of the record read so far
        bool inName = false;
        const auto endRecord = [&]() {
            if (bases >= k) kmers += static_cast<long long>(bases - k + 1);
            bases = 0;
        };
        // 64 KiB a read: few calls; a mapping of its own, which leaves the
        // heap to the index as it was.
        const std::size_t blockBytes = std::size_t(1) << 16;
        const MappedPages block = MapPages(blockBytes);
        char* const blockAt = static_cast<char*>(block.get());
        for (;;) {
            in.read(blockAt, static_cast<std::streamsize>(blockBytes));
            const std::streamsize got = in.gcount();
            const char* p = blockAt;
            const char* const end = p + got;
            while (p < end) {
                if (inName) {
                    const void* eol = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
                    if (!eol) break;  // the name goes on in the next block
                    p = static_cast<const char*>(eol) + 1;
                    inName = false;
                }
                for (; p < end; ++p) {
                    const unsigned char code = gMerCodes.mCode[static_cast<unsigned char>(*p)];
                    if (code < 4) {
                        last = (last << 2) | code;
                        if (++bases < k) continue;
                        Mer m;
                        m.mValue = last & mask;
                        // Once the counter samples, it takes few keys: the
                        // thinning rule (a reverse complement and a
                        // division) is applied to those alone.
                        const std::uint64_t mixed = DistinctCounter::Mix(MerTableKey<HashF>::Of(m));
                        if (distinct.Takes(mixed) && (everyMer || !m.isThinned()))
                            distinct.AddMixed(mixed);
                    } else if (*p == '>') {
                        endRecord();
                        inName = true;
                        ++p;
                        break;
                    }
                }
            }
            if (got < static_cast<std::streamsize>(blockBytes)) break;
        }
        endRecord();
        estimate = distinct.Estimate();
        exact = distinct.Exact();
    } catch (const std::bad_alloc&) {
        return 0;  // no room for the pass: the table grows instead
    }
    in.close();
    return ReserveForEstimate(estimate, exact, kmers);
}

template <class HashF, class LocT, class RepeatHashF>
long long Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::ReserveForEstimate(double estimate,
                                                                                bool exact,
                                                                                long long kmers) {
    // An estimate is widened by 5% both ways, above its worst error seen
    // (3.6%; 0.9% RMS): the table is sized for the upper end, so that it
    // does not grow, but never past the one that the lower end grows to
    // through a pipe, so that it costs no more than the pipe. Both are
    // bounded in floating point by the k-mers read: a crafted source whose
    // keys all mix to small values drives the estimate towards 2^64.
    const double bound = static_cast<double>(kmers);
    const double most = exact ? estimate : estimate * 1.05 + 16;
    const double fewest = exact ? estimate : estimate / 1.05;
    const long long entries = static_cast<long long>(std::min(most, bound));
    Reserve(entries, static_cast<long long>(std::min(fewest, bound)));
    return entries;
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::FindMerLocations(Mer& m,
                                                                         SearchResultVec& hits) {
    auto found = mLocationLists.find(m);
    if (found == mLocationLists.end()) return;
    AppendHits(found->second, hits);
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::AppendHits(const LocationList& list,
                                                                   SearchResultVec& hits) {
    const long k = Mer::mMerSize;
    for (const LocT& loc : list) {
        const long start = loc.sourceStart();
        const unsigned long i = static_cast<unsigned long>(loc.sourceIdx());
        if (i >= mSourceNames.size()) {
            std::cout << "BUG mSourceNames.size=" << mSourceNames.size() << std::endl;
            for (const std::string& name : mSourceNames) std::cout << name << std::endl;
            std::cout << "BUG M.sourceIdx()=" << i << std::endl;
            continue;  // no record to name the hit after
        }
        hits.add(mSourceNames[i], mSourceSizes[i], start, start + k - 1);
    }
}

#endif
