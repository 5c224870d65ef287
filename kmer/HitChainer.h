#ifndef KMER_HITCHAINER_H
#define KMER_HITCHAINER_H

// Chains of k-mer hits along one diagonal of the source-by-query plane, and
// the chain output file (tab form: column header line, one line per chain;
// marker form: "#:lav" ... "#:eof"). Coordinates are 0-based with both ends
// inclusive in memory, 1-based in the file.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "kmer/SearchResult.h"
#include "toolkit/Sequence.h"

// One hit inside a chain.
class Segment {
public:
    int mSpareInt;
    int32_t mSourceStart;
    int32_t mSourceEnd;
    int32_t mQueryStart;
    int32_t mQueryEnd;

    Segment() : mSpareInt(0), mSourceStart(0), mSourceEnd(0), mQueryStart(0), mQueryEnd(0) {}
};

// Hits of one source record joined along one diagonal. Begin fields come
// from the first hit, end fields from the hit joined last; mBases sums the
// hits' lengths on the source, stopping at INT_MAX. mSegments is empty for a
// chain of a single hit.
class Chain {
public:
    std::vector<Segment> mSegments;
    int mSpareInt;
    std::string mSourceName;
    std::string mQueryName;
    int mQuerySize;
    int mSourceSize;
    int32_t mSourceBegin;
    int32_t mSourceEnd;
    int32_t mQueryBegin;
    int32_t mQueryEnd;
    float mSpareFloat;
    int mBases;

    Chain()
        : mSpareInt(0),
          mQuerySize(0),
          mSourceSize(0),
          mSourceBegin(0),
          mSourceEnd(0),
          mQueryBegin(0),
          mQueryEnd(0),
          mSpareFloat(0.0f),
          mBases(0) {}
};

// The chainers number the hits of one list in 32 bits. A list of more hits
// than that is refused with std::length_error naming the query, before any
// work is done on it.
constexpr std::size_t kMaxChainHits = 0xFFFFFFFFu;
void CheckChainHitCount(std::size_t hits, const std::string& queryName);

class HitChainer {
public:
    std::string mSpareString1;
    std::string mSpareString2;
    int mWindowLength;    // half-extent of the window along the anti-diagonal
    int mWindowWidth;     // half-width of the band around the diagonal
    int mMinScore;        // least mBases of a chain that is written
    std::string mHeader;  // first line read by ReadTabbed

    HitChainer() : mWindowLength(500), mWindowWidth(100), mMinScore(50) {}

    // True when the hit's start lies strictly inside the window around the
    // chain's current end: diagonal within mWindowWidth, anti-diagonal within
    // mWindowLength (exact arithmetic, for coordinates up to INT_MAX).
    bool InWindow(Chain& chain, SearchResult& hit);

    // Sorts hits by source start (stable) and appends the chains found by the
    // greedy forward scan to chains (which is not cleared), in the order of
    // their first hits. A hit joins only a chain of its own source record (same
    // name and size as the chain's first hit), and the scan for a chain visits
    // only that record's hits. Every hit belongs to exactly one chain. Both
    // chainers refuse more than kMaxChainHits hits (CheckChainHitCount).
    void ComputeChains(SearchResultVec& hits, std::vector<Chain>& chains);
    // The exhaustive variant: every unjoined hit of the chain's source record
    // is a candidate, before or after its first hit, without the early stop; a
    // hit that formed a chain of its own may be joined again by a later chain.
    void ComputeChains0(SearchResultVec& hits, std::vector<Chain>& chains);

    void WriteTabbedHeader(std::ostream& out);
    // The chain's line, or nothing when its mBases is below mMinScore. The
    // query columns take the query record's name and base count; reverse
    // writes the source range from its higher end and the sense "-".
    void WriteTabbed(std::ostream& out, Sequence& query, Chain& chain, bool reverse);
    void WriteTabbed(std::ostream& out, Sequence& query, std::vector<Chain>& chains, bool reverse);
    void WriteLVHeader(std::ostream& out);
    void WriteLVFooter(std::ostream& out);

    // Reads tab-form chain lines: the first line read is kept in mHeader, every
    // further line becomes one chain appended to chains, its values as they
    // stand in the file (1-based; no segments). Stops at the first line it
    // cannot read.
    void ReadTabbed(std::istream& in, std::vector<Chain>& chains);
};

#endif
