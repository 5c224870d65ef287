#include "kmer/SearchResult.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "toolkit/HugePages.h"

void SearchResultVec::add(std::string& name, long size, long start, long end) {
    emplace_back();
    SearchResult& hit = back();
    hit.mSourceName = name;
    hit.mSourceSize = static_cast<uint32_t>(size);
    hit.mSourceStart = static_cast<uint32_t>(start);
    hit.mSourceEnd = static_cast<uint32_t>(end);
}

void SearchResultVec::Print(std::ostream& out) {
    for (const SearchResult& hit : *this) {
        out << hit.sourceName() << '\t' << hit.sourceSize() << '\t' << hit.sourceStart() << '\t'
            << hit.sourceEnd() << '\t' << hit.queryName() << '\t' << hit.querySize() << '\t'
            << hit.queryStart() << '\t' << hit.queryEnd() << std::endl;
    }
}

bool SearchResultVec::cmpBySourceStart(SearchResult const& a, SearchResult const& b) {
    return a.sourceStart() < b.sourceStart();
}

bool SearchResultVec::cmpByQueryStart(SearchResult const& a, SearchResult const& b) {
    return a.queryStart() < b.queryStart();
}

namespace {

// Puts the hits of [lo, lo + from.size()) in order: from[j] is where the hit
// that belongs at lo + j stands now (relative to lo). Follows each cycle of
// the permutation, marking placed entries with their own index.
void Place(SearchResultVec& v, size_t lo, std::vector<uint32_t>& from) {
    const size_t n = from.size();
    for (size_t i = 0; i < n; ++i) {
        size_t src = from[i];
        if (src == i) continue;
        SearchResult held = std::move(v[lo + i]);
        size_t to = i;
        while (src != i) {
            __builtin_prefetch(&v[lo + from[src]]);  // the hit moved after this one
            v[lo + to] = std::move(v[lo + src]);
            from[to] = static_cast<uint32_t>(to);
            to = src;
            src = from[to];
        }
        v[lo + to] = std::move(held);
        from[to] = static_cast<uint32_t>(to);
    }
}

// Bits needed to hold every value up to x.
int BitsFor(uint64_t x) {
    int bits = 0;
    while (bits < 64 && (x >> bits) != 0) ++bits;
    return bits;
}

// Stable LSD radix sort of a on bits [from, to), a byte a pass; passes over
// a byte that all values share are skipped.
void RadixSort(std::vector<uint64_t>& a, std::vector<uint64_t>& tmp, int from, int to) {
    const size_t n = a.size();
    tmp.resize(n);
    for (int bit = from; bit < to; bit += 8) {
        size_t count[257] = {0};
        for (uint64_t x : a) ++count[((x >> bit) & 0xFF) + 1];
        bool oneDigit = false;
        for (int d = 1; d <= 256; ++d) oneDigit = oneDigit || count[d] == n;
        if (oneDigit) continue;
        for (int d = 0; d < 256; ++d) count[d + 1] += count[d];
        for (uint64_t x : a) tmp[count[(x >> bit) & 0xFF]++] = x;
        a.swap(tmp);
    }
}

// Lists of at least kBucketedFrom hits are spread into buckets first; a
// shorter list is ordered in one piece, which fits the cache anyway.
// bench_hit_sort: from 2^13, lists of 2^14 hits took 24.6 ns a hit against
// 12.1; from 2^17, lists of 2^16 took 33.5 against 23.9.
constexpr size_t kBucketedFrom = size_t(1) << 15;
// At most kMostBuckets buckets, each of about kBucketHits hits or more: few
// enough fronts for the spread to write each sequentially, buckets small
// enough for their ordering to work within the cache. bench_hit_sort: 256 or
// 4096 buckets, buckets of 1024 or 16384 hits, all within the noise (+-10%).
constexpr size_t kMostBuckets = 1024;
constexpr size_t kBucketHits = 4096;

// True when the hits are in order of key already.
bool InKeyOrder(const SearchResultVec& v, uint32_t SearchResult::*key) {
    size_t run = 1;
    while (run < v.size() && v[run - 1].*key <= v[run].*key) ++run;
    return run == v.size();
}

// True when the words of [lo, hi) ascend.
bool WordsAscend(const std::vector<uint64_t>& word, size_t lo, size_t hi) {
    size_t sorted = lo + 1;
    while (sorted < hi && word[sorted - 1] < word[sorted]) ++sorted;
    return sorted == hi;
}

// The buckets of a list: bucket b holds [bound[b], bound[b + 1]), its keys
// lowKey + (b << shift) and up; a shift of -1 means one bucket of all keys.
struct Buckets {
    std::vector<size_t> bound;
    int shift;
};

// The bucket of the hit whose sort word is w.
struct BucketOf {
    uint32_t lowKey;
    int shift;
    size_t operator()(uint64_t w) const {
        return static_cast<size_t>(static_cast<uint64_t>(static_cast<uint32_t>(w >> 32) - lowKey) >>
                                   shift);
    }
};

// Spreads the hits (and their words) in place into buckets of neighbouring
// keys: each hit moves once, to one of a few hundred sequential fronts, so
// that the final ordering of each bucket works within the cache; moving hits
// straight to their places would cost a cache miss per hit. Within a bucket
// the hits are in no particular order.
Buckets SpreadIntoBuckets(SearchResultVec& v, std::vector<uint64_t>& word, uint32_t lowKey,
                          uint32_t highKey) {
    const size_t n = v.size();
    Buckets out;
    size_t buckets = 1;
    while (buckets < kMostBuckets && buckets * kBucketHits < n) buckets <<= 1;
    int shift = 0;
    while ((static_cast<uint64_t>(highKey - lowKey) >> shift) >= buckets) ++shift;
    buckets = (static_cast<size_t>(highKey - lowKey) >> shift) + 1;
    out.shift = shift;
    const BucketOf bucketOf{lowKey, shift};
    std::vector<size_t>& bound = out.bound;
    bound.assign(buckets + 1, 0);
    for (size_t i = 0; i < n; ++i) ++bound[bucketOf(word[i]) + 1];
    for (size_t b = 0; b < buckets; ++b) bound[b + 1] += bound[b];
    std::vector<size_t> next(bound.begin(), bound.end() - 1);
    for (size_t b = 0; b < buckets; ++b) {
        while (next[b] < bound[b + 1]) {
            const size_t i = next[b];
            size_t d = bucketOf(word[i]);
            if (d == b) {
                ++next[b];
                continue;
            }
            // Carry the hit to its bucket, taking the one found there, until a
            // hit of this bucket comes back to fill the hole.
            SearchResult held = std::move(v[i]);
            uint64_t heldWord = word[i];
            do {
                size_t j = next[d]++;
                while (bucketOf(word[j]) == d) j = next[d]++;
                // The bucket's next slot is wanted on its next visit: fetch it now.
                if (next[d] < bound[d + 1]) {
                    __builtin_prefetch(&v[next[d]], 1);
                    __builtin_prefetch(reinterpret_cast<const char*>(&v[next[d]]) + 64, 1);
                    __builtin_prefetch(&word[next[d]], 1);
                }
                std::swap(held, v[j]);
                std::swap(heldWord, word[j]);
                d = bucketOf(heldWord);
            } while (d != b);
            v[i] = std::move(held);
            word[i] = heldWord;
            ++next[b];
        }
    }
    return out;
}

// How a bucket's order is found: when the key offset within the bucket, the
// first position and the place in the bucket fit one word together (packed),
// a radix sort of such words; else a comparison sort of (word, place) pairs.
struct BucketOrder {
    int keyBits, posBits, placeBits;
    bool packed;
    std::vector<uint64_t> packedWords, spare;
    std::vector<std::pair<uint64_t, uint32_t>> pairs;
};

// Sets from[j] to the place within [lo, hi) of the hit that belongs at lo + j,
// in order of (key, first position); base is the bucket's lowest key.
void OrderBucket(const std::vector<uint64_t>& word, size_t lo, size_t hi, uint64_t base,
                 BucketOrder& order, std::vector<uint32_t>& from) {
    from.resize(hi - lo);
    if (order.packed) {
        const int posBits = order.posBits, placeBits = order.placeBits;
        std::vector<uint64_t>& packedWords = order.packedWords;
        packedWords.resize(hi - lo);
        for (size_t i = lo; i < hi; ++i) {
            const uint64_t offset = (word[i] >> 32) - base;
            const uint64_t pos = static_cast<uint32_t>(word[i]);
            packedWords[i - lo] = (((offset << posBits) | pos) << placeBits) | (i - lo);
        }
        RadixSort(packedWords, order.spare, placeBits, placeBits + posBits + order.keyBits);
        const uint64_t placeMask = placeBits == 64 ? ~0ull : (1ull << placeBits) - 1;
        for (size_t j = 0; j < hi - lo; ++j)
            from[j] = static_cast<uint32_t>(packedWords[j] & placeMask);
    } else {
        std::vector<std::pair<uint64_t, uint32_t>>& pairs = order.pairs;
        pairs.resize(hi - lo);
        for (size_t i = lo; i < hi; ++i) pairs[i - lo] = {word[i], static_cast<uint32_t>(i - lo)};
        std::sort(pairs.begin(), pairs.end());
        for (size_t j = 0; j < hi - lo; ++j) from[j] = pairs[j].second;
    }
}

}  // namespace

void SearchResultVec::SortByKey(uint32_t SearchResult::*key,
                                bool (*cmp)(SearchResult const&, SearchResult const&)) {
    const size_t n = size();
    if (n < 2) return;
    SearchResultVec& v = *this;
    // Hits of a colinear pair often come in order already: nothing to move.
    if (InKeyOrder(v, key)) return;
    if (n > 0xFFFFFFFFu) {
        std::stable_sort(begin(), end(), cmp);
        return;
    }
    // Key in the high half, first position in the low half: every word is
    // unique, so their plain order is the stable order of the hits.
    std::vector<uint64_t> word;
    ReserveHuge(word, n);
    word.resize(n);
    uint32_t lowKey = 0xFFFFFFFFu, highKey = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t x = v[i].*key;
        word[i] = (static_cast<uint64_t>(x) << 32) | i;
        if (x < lowKey) lowKey = x;
        if (x > highKey) highKey = x;
    }

    Buckets buckets;
    if (n >= kBucketedFrom) {
        buckets = SpreadIntoBuckets(v, word, lowKey, highKey);
    } else {
        buckets.bound = {0, n};
        buckets.shift = -1;
    }
    const std::vector<size_t>& bound = buckets.bound;
    const int shift = buckets.shift;

    // Each bucket is ordered by (key, first position), then its hits placed.
    size_t largest = 0;
    for (size_t b = 0; b + 1 < bound.size(); ++b)
        largest = std::max(largest, bound[b + 1] - bound[b]);
    BucketOrder order;
    order.keyBits = shift < 0 ? BitsFor(highKey - lowKey) : shift;
    order.posBits = BitsFor(n - 1);
    order.placeBits = BitsFor(largest - 1);
    order.packed = order.keyBits + order.posBits + order.placeBits <= 64;
    std::vector<uint32_t> from;
    for (size_t b = 0; b + 1 < bound.size(); ++b) {
        const size_t lo = bound[b], hi = bound[b + 1];
        if (hi - lo < 2) continue;
        if (WordsAscend(word, lo, hi)) continue;  // the bucket is in its final order already
        const uint64_t base = lowKey + (shift < 0 ? 0 : static_cast<uint64_t>(b) << shift);
        OrderBucket(word, lo, hi, base, order, from);
        Place(v, lo, from);
    }
}

void SearchResultVec::sortBySourceStart() {
    SortByKey(&SearchResult::mSourceStart, cmpBySourceStart);
}

void SearchResultVec::sortByQueryStart() { SortByKey(&SearchResult::mQueryStart, cmpByQueryStart); }
