#include "kmer/HitChainer.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <stdexcept>
#include <utility>

#include "toolkit/CLibraryAdditions.h"
#include "toolkit/HugePages.h"
#include "toolkit/ParseUtils.h"

namespace {

// 32-bit two's-complement sum: coordinates near the int limits wrap instead
// of overflowing.
inline int32_t Add32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline int32_t Sub32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Score sum that stops at the int limits instead of wrapping: a long
// self-match at a large k adds up to more than INT_MAX bases.
inline int SaturatingAdd(int a, int32_t b) {
    const long long sum = static_cast<long long>(a) + b;
    if (sum > INT_MAX) return INT_MAX;
    if (sum < INT_MIN) return INT_MIN;
    return static_cast<int>(sum);
}

// The four coordinates of one hit, as stored in it (32 bits, unsigned).
struct HitCoords {
    uint32_t mSourceStart;
    uint32_t mSourceEnd;
    uint32_t mQueryStart;
    uint32_t mQueryEnd;
};

inline int32_t HitLength(const HitCoords& hit) {
    return static_cast<int32_t>(hit.mSourceEnd - hit.mSourceStart + 1u);
}

// The window test of HitChainer::InWindow on a chain end (S, Q) and a hit
// start (s, q). Worked out in 64 bits: every sum of three 32-bit values is
// exact there, so the window holds up to the top of the int range (a record
// of INT_MAX bases), where 32-bit sums would wrap to negative numbers.
inline bool Near(int32_t S, int32_t Q, int32_t s, int32_t q, int32_t width, int32_t length) {
    const int64_t diagonal = int64_t(s) + Q - S;  // where q would lie on the chain's diagonal
    const int64_t antiDiagonal = int64_t(Q) + S - s;
    return q < diagonal + width && q > diagonal - width && q > antiDiagonal - length &&
           q < antiDiagonal + length;
}

// Numbers the distinct source records (name and size) of a hit list in the
// order they are first seen: an open-addressing table, since every hit is
// looked up and neighbouring hits of a many-record source rarely share their
// record.
class RecordIds {
    struct Key {
        const std::string* mName;  // the name inside a hit of the list, which outlives the table
        uint32_t mSize;
        uint64_t mHash;
    };
    std::vector<Key> mKeys;        // by id
    std::vector<uint32_t> mSlots;  // id + 1, or 0 for a free slot; a power of two long

    static uint64_t Hash(const std::string& name, uint32_t size) {
        uint64_t h = 14695981039346656037ull ^ size;  // FNV-1a
        for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
        return h ^ (h >> 29);
    }

    void Place(uint32_t id) {
        const size_t mask = mSlots.size() - 1;
        size_t slot = mKeys[id].mHash & mask;
        while (mSlots[slot] != 0) slot = (slot + 1) & mask;
        mSlots[slot] = id + 1;
    }

public:
    RecordIds() : mSlots(16, 0) {}

    size_t size() const { return mKeys.size(); }

    uint32_t Id(const std::string& name, uint32_t size) {
        const uint64_t h = Hash(name, size);
        const size_t mask = mSlots.size() - 1;
        for (size_t slot = h & mask; mSlots[slot] != 0; slot = (slot + 1) & mask) {
            const Key& k = mKeys[mSlots[slot] - 1];
            if (k.mHash == h && k.mSize == size && *k.mName == name) return mSlots[slot] - 1;
        }
        const uint32_t id = static_cast<uint32_t>(mKeys.size());
        mKeys.push_back(Key{&name, size, h});
        if (mKeys.size() * 2 > mSlots.size()) {
            mSlots.assign(mSlots.size() * 2, 0);
            for (uint32_t i = 0; i < mKeys.size(); ++i) Place(i);
        } else {
            Place(id);
        }
        return id;
    }
};

// The working segment takes one hit's four coordinates.
void TakeHit(const HitCoords& hit, Segment& seg) {
    seg.mSourceStart = static_cast<int32_t>(hit.mSourceStart);
    seg.mSourceEnd = static_cast<int32_t>(hit.mSourceEnd);
    seg.mQueryStart = static_cast<int32_t>(hit.mQueryStart);
    seg.mQueryEnd = static_cast<int32_t>(hit.mQueryEnd);
}

// Starts the working chain and segment from one hit.
void StartChain(const SearchResult& hit, const HitCoords& coords, Chain& chain, Segment& seg) {
    TakeHit(coords, seg);
    chain.mSegments.clear();
    chain.mSourceBegin = seg.mSourceStart;
    chain.mQueryBegin = seg.mQueryStart;
    chain.mSpareInt = 0;
    chain.mSourceName = hit.mSourceName;
    chain.mSourceSize = static_cast<int>(hit.sourceSize());
    chain.mQueryName = hit.mQueryName;
    chain.mQuerySize = static_cast<int>(hit.querySize());
    chain.mSourceEnd = seg.mSourceEnd;
    chain.mQueryEnd = seg.mQueryEnd;
    chain.mBases = HitLength(coords);
}

// Joins the hit of list index p to the working chain started at list index
// first; the chain's first hit is recorded as its first segment when the
// chain gets its second hit.
void JoinHit(const HitCoords& hit, size_t first, size_t p, Chain& chain, Segment& seg,
             std::vector<bool>& joined) {
    if (chain.mSegments.empty()) {
        chain.mSegments.push_back(seg);
        joined[first] = true;
    }
    TakeHit(hit, seg);
    chain.mBases = SaturatingAdd(chain.mBases, HitLength(hit));
    chain.mSourceEnd = seg.mSourceEnd;
    chain.mQueryEnd = seg.mQueryEnd;
    chain.mSegments.push_back(seg);
    joined[p] = true;
}

// True when every hit of the list lies on the source record of its first hit.
bool OneRecord(const SearchResultVec& hits) {
    for (const SearchResult& hit : hits)
        if (hit.mSourceSize != hits[0].mSourceSize || hit.mSourceName != hits[0].mSourceName)
            return false;
    return true;
}

// The list indices of the hits grouped by source record (name and size):
// record by record in the order they are first seen, each in list order;
// record g holds order[bounds[g]] .. order[bounds[g + 1] - 1].
void RecordRuns(const SearchResultVec& hits, std::vector<uint32_t>& order,
                std::vector<size_t>& bounds) {
    RecordIds ids;
    // Calls f(i, record of hit i) for every hit; neighbouring hits of one
    // record need no look-up. A second walk finds the same records.
    auto each = [&](auto f) {
        const SearchResult* last = nullptr;
        uint32_t id = 0;
        for (size_t i = 0; i < hits.size(); ++i) {
            const SearchResult& hit = hits[i];
            if (!last || hit.mSourceSize != last->mSourceSize ||
                hit.mSourceName != last->mSourceName) {
                id = ids.Id(hit.mSourceName, hit.mSourceSize);
                last = &hit;
            }
            f(i, id);
        }
    };
    std::vector<size_t> next;
    each([&](size_t, uint32_t id) {
        if (id == next.size()) next.push_back(0);
        ++next[id];
    });
    bounds.assign(next.size() + 1, 0);
    for (size_t g = 0; g < next.size(); ++g) {
        bounds[g + 1] = bounds[g] + next[g];
        next[g] = bounds[g];
    }
    ReserveHuge(order, hits.size());
    order.resize(hits.size());
    each([&](size_t i, uint32_t id) { order[next[id]++] = static_cast<uint32_t>(i); });
}

inline HitCoords CoordsOf(const SearchResult& hit) {
    return HitCoords{hit.mSourceStart, hit.mSourceEnd, hit.mQueryStart, hit.mQueryEnd};
}

// The greedy forward scan over the m hits of one source record:
// indexOf(q) is the list index of the record's hit q, in list order. Each
// chain is built in place at the end of chains; firsts, when given, receives
// the list index of its first hit. The flags of joined and mine are by list
// index; a chain marks its hits in mine while it scans, then gathers them
// into segments allocated once at their exact count.
template <class IndexOf>
void ChainRecord(const SearchResultVec& hits, size_t m, IndexOf indexOf, int32_t width,
                 int32_t length, std::vector<bool>& joined, std::vector<bool>& mine,
                 std::vector<Chain>& chains, std::vector<uint32_t>* firsts) {
    // The farthest source start a hit in the window can have, past the chain's
    // source end; in 64 bits, as in Near.
    const int64_t limit = int64_t(length) + width;
    for (size_t q = 0; q < m; ++q) {
        const size_t i = indexOf(q);
        if (joined[i]) continue;
        const SearchResult& head = hits[i];
        const HitCoords start = CoordsOf(head);
        int32_t sourceEnd = static_cast<int32_t>(start.mSourceEnd);
        int32_t queryEnd = static_cast<int32_t>(start.mQueryEnd);
        int bases = HitLength(start);
        size_t count = 0, last = q;
        for (size_t p = q + 1; p < m; ++p) {
            // 8 ahead: 4 or 16 ran MG1655 vs DH1 within the noise (best of 3, +-5%).
            if (p + 8 < m) __builtin_prefetch(&hits[indexOf(p + 8)]);
            const size_t h = indexOf(p);
            const HitCoords hit = CoordsOf(hits[h]);
            // Sorted by source start: no later hit can reach the window either.
            // Tested before the join flag, so that a run of hits joined by an
            // earlier chain is not walked past the window.
            if (hit.mSourceStart > sourceEnd + limit) break;
            if (joined[h]) continue;
            if (!Near(sourceEnd, queryEnd, static_cast<int32_t>(hit.mSourceStart),
                      static_cast<int32_t>(hit.mQueryStart), width, length))
                continue;
            joined[h] = true;
            mine[h] = true;
            ++count;
            last = p;
            bases = SaturatingAdd(bases, HitLength(hit));
            sourceEnd = static_cast<int32_t>(hit.mSourceEnd);
            queryEnd = static_cast<int32_t>(hit.mQueryEnd);
        }
        chains.emplace_back();
        Chain& chain = chains.back();
        chain.mSourceName = head.mSourceName;
        chain.mSourceSize = static_cast<int>(head.mSourceSize);
        chain.mQueryName = head.mQueryName;
        chain.mQuerySize = static_cast<int>(head.mQuerySize);
        chain.mSourceBegin = static_cast<int32_t>(start.mSourceStart);
        chain.mQueryBegin = static_cast<int32_t>(start.mQueryStart);
        chain.mSourceEnd = sourceEnd;
        chain.mQueryEnd = queryEnd;
        chain.mBases = bases;
        if (firsts) firsts->push_back(static_cast<uint32_t>(i));
        if (count == 0) continue;
        ReserveHuge(chain.mSegments, count + 1);
        chain.mSegments.emplace_back();
        TakeHit(start, chain.mSegments.back());
        for (size_t p = q + 1; p <= last; ++p) {
            const size_t h = indexOf(p);
            if (!mine[h]) continue;
            mine[h] = false;
            chain.mSegments.emplace_back();
            TakeHit(CoordsOf(hits[h]), chain.mSegments.back());
        }
    }
}

// Puts the chains from base on in the order of their first hits: firsts[c]
// is the list index of the first hit of chains[base + c], records chained one
// after the other having left them grouped by record.
void OrderByFirstHit(std::vector<Chain>& chains, size_t base, const std::vector<uint32_t>& firsts) {
    std::vector<uint32_t> rank(firsts.size());
    for (size_t c = 0; c < rank.size(); ++c) rank[c] = static_cast<uint32_t>(c);
    std::sort(rank.begin(), rank.end(),
              [&firsts](uint32_t a, uint32_t b) { return firsts[a] < firsts[b]; });
    std::vector<Chain> sorted;
    sorted.reserve(rank.size());
    for (uint32_t c : rank) sorted.push_back(std::move(chains[base + c]));
    for (size_t c = 0; c < sorted.size(); ++c) chains[base + c] = std::move(sorted[c]);
}

// The query the hits of a list belong to, without a copy of its name.
const std::string& QueryNameOf(const SearchResultVec& hits) {
    static const std::string kNone;
    return hits.empty() ? kNone : hits[0].mQueryName;
}

}  // namespace

void CheckChainHitCount(std::size_t hits, const std::string& queryName) {
    if (hits > kMaxChainHits)
        throw std::length_error("more than " + std::to_string(kMaxChainHits) +
                                " hits on one strand of query " + queryName +
                                ": the chainer numbers hits in 32 bits");
}

bool HitChainer::InWindow(Chain& chain, SearchResult& hit) {
    return Near(chain.mSourceEnd, chain.mQueryEnd, static_cast<int32_t>(hit.sourceStart()),
                static_cast<int32_t>(hit.queryStart()), mWindowWidth, mWindowLength);
}

// Both chainers join a hit only to a chain of its own source record, and each
// scan visits only that record's hits; chains still come out in the order of
// their first hits in the sorted list. The join flags are kept by list index.
void HitChainer::ComputeChains(SearchResultVec& hits, std::vector<Chain>& chains) {
    CheckChainHitCount(hits.size(), QueryNameOf(hits));
    hits.sortBySourceStart();
    const size_t n = hits.size();
    std::vector<bool> joined(n, false), mine(n, false);
    if (OneRecord(hits)) {
        // The common case: the list is the record's scan order, read in place.
        ChainRecord(
            hits, n, [](size_t q) { return q; }, mWindowWidth, mWindowLength, joined, mine, chains,
            nullptr);
        return;
    }
    // Records do not share chains: each is chained on its own, then the
    // chains are put in the order of their first hits.
    std::vector<uint32_t> order;
    std::vector<size_t> bounds;
    RecordRuns(hits, order, bounds);
    const size_t base = chains.size();
    std::vector<uint32_t> firsts;
    for (size_t g = 0; g + 1 < bounds.size(); ++g) {
        const uint32_t* run = order.data() + bounds[g];
        ChainRecord(
            hits, bounds[g + 1] - bounds[g],
            [run](size_t q) { return static_cast<size_t>(run[q]); }, mWindowWidth, mWindowLength,
            joined, mine, chains, &firsts);
    }
    std::vector<uint32_t>().swap(order);
    OrderByFirstHit(chains, base, firsts);
}

void HitChainer::ComputeChains0(SearchResultVec& hits, std::vector<Chain>& chains) {
    CheckChainHitCount(hits.size(), QueryNameOf(hits));
    hits.sortByQueryStart();
    hits.sortBySourceStart();
    // Records do not share chains: each record's hits are searched on their
    // own, then the chains are put in the order of their first hits.
    std::vector<uint32_t> order;
    std::vector<size_t> bounds;
    RecordRuns(hits, order, bounds);
    std::vector<bool> joined(hits.size(), false);
    const size_t base = chains.size();
    std::vector<uint32_t> firsts;
    Chain chain;
    Segment seg;
    for (size_t g = 0; g + 1 < bounds.size(); ++g) {
        for (size_t q = bounds[g]; q < bounds[g + 1]; ++q) {
            const size_t first = order[q];
            if (joined[first]) continue;
            StartChain(hits[first], CoordsOf(hits[first]), chain, seg);
            for (size_t p = bounds[g]; p < bounds[g + 1]; ++p) {
                const size_t h = order[p];
                if (p == q || joined[h]) continue;
                const HitCoords hit = CoordsOf(hits[h]);
                if (!Near(chain.mSourceEnd, chain.mQueryEnd, static_cast<int32_t>(hit.mSourceStart),
                          static_cast<int32_t>(hit.mQueryStart), mWindowWidth, mWindowLength))
                    continue;
                JoinHit(hit, first, h, chain, seg, joined);
            }
            chains.push_back(chain);
            firsts.push_back(static_cast<uint32_t>(first));
        }
    }
    OrderByFirstHit(chains, base, firsts);
}

void HitChainer::WriteTabbedHeader(std::ostream& out) {
    out << "SourceName\tSourceSize\tQueryName\tQuerySize\tchainSize"
        << "\tSourceBegin\tSourceEnd\tQueryBegin\tQueryEnd\tchainHits\tchainBases\tSense"
        << std::endl;
}

void HitChainer::WriteTabbed(std::ostream& out, Sequence& query, Chain& chain, bool reverse) {
    if (chain.mBases < mMinScore) return;
    const int32_t sourceBegin = Add32(chain.mSourceBegin, 1);
    const int32_t sourceEnd = Add32(chain.mSourceEnd, 1);
    out << chain.mSourceName << '\t' << chain.mSourceSize << '\t' << query.mName << '\t'
        << query.mBases.size() << '\t' << Add32(Sub32(chain.mSourceEnd, chain.mSourceBegin), 1)
        << '\t' << (reverse ? sourceEnd : sourceBegin) << '\t'
        << (reverse ? sourceBegin : sourceEnd) << '\t' << Add32(chain.mQueryBegin, 1) << '\t'
        << Add32(chain.mQueryEnd, 1) << '\t' << chain.mSegments.size() << '\t' << chain.mBases
        << (reverse ? "\t-" : "\t+") << std::endl;
}

void HitChainer::WriteTabbed(std::ostream& out, Sequence& query, std::vector<Chain>& chains,
                             bool reverse) {
    for (Chain& chain : chains) WriteTabbed(out, query, chain, reverse);
}

void HitChainer::WriteLVHeader(std::ostream& out) { out << "#:lav" << std::endl; }

void HitChainer::WriteLVFooter(std::ostream& out) { out << "#:eof" << std::endl; }

void HitChainer::ReadTabbed(std::istream& in, std::vector<Chain>& chains) {
    std::string line;
    GetLine(in, line);
    mHeader = line;
    Chain chain;
    // Once a line is used up (pos -1) its missing fields read as empty and 0.
    int pos = 0;
    auto name = [&]() { return pos < 0 ? std::string() : SplitNext(line, pos); };
    auto number = [&]() { return pos < 0 ? 0 : NextInt(line, pos); };
    while (GetLine(in, line)) {
        pos = 0;
        chain.mSourceName = name();
        chain.mSourceSize = number();
        chain.mQueryName = name();
        chain.mQuerySize = number();
        number();  // chainSize
        chain.mSourceBegin = number();
        chain.mSourceEnd = number();
        chain.mQueryBegin = number();
        chain.mQueryEnd = number();
        number();  // chainHits
        chain.mBases = number();
        chains.push_back(chain);
    }
}
