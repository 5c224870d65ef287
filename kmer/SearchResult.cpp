#include "kmer/SearchResult.h"

#include <algorithm>
#include <utility>
#include <vector>

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

// Puts the hits of [lo, lo + order.size()) in the order of their packed words:
// order[j] holds the word of the hit that belongs at lo + j and, in its second
// half, where that hit stands now (relative to lo). Follows each cycle of the
// permutation, marking placed entries with their own index.
void Place(SearchResultVec& v, size_t lo, std::vector<std::pair<uint64_t, uint32_t>>& order) {
  const size_t n = order.size();
  for (size_t i = 0; i < n; ++i) {
    size_t from = order[i].second;
    if (from == i) continue;
    SearchResult held = std::move(v[lo + i]);
    size_t to = i;
    while (from != i) {
      v[lo + to] = std::move(v[lo + from]);
      order[to].second = static_cast<uint32_t>(to);
      to = from;
      from = order[to].second;
    }
    v[lo + to] = std::move(held);
    order[to].second = static_cast<uint32_t>(to);
  }
}

}  // namespace

void SearchResultVec::SortByKey(uint32_t SearchResult::*key,
                                bool (*cmp)(SearchResult const&, SearchResult const&)) {
  const size_t n = size();
  if (n < 2) return;
  SearchResultVec& v = *this;
  // Hits of a colinear pair often come in order already: nothing to move.
  size_t run = 1;
  while (run < n && v[run - 1].*key <= v[run].*key) ++run;
  if (run == n) return;
  if (n > 0xFFFFFFFFu) {
    std::stable_sort(begin(), end(), cmp);
    return;
  }
  // Key in the high half, first position in the low half: every word is
  // unique, so their plain order is the stable order of the hits.
  std::vector<uint64_t> word(n);
  uint32_t lowKey = 0xFFFFFFFFu, highKey = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t x = v[i].*key;
    word[i] = (static_cast<uint64_t>(x) << 32) | i;
    if (x < lowKey) lowKey = x;
    if (x > highKey) highKey = x;
  }

  // Large lists are first spread in place into buckets of neighbouring keys
  // (each hit moves once, to one of a few hundred sequential fronts), so that
  // the final ordering of each bucket works within the cache; moving hits
  // straight to their places would cost a cache miss per hit.
  std::vector<size_t> bound(2, 0);
  bound[1] = n;
  if (n >= (1u << 15)) {
    size_t buckets = 1;
    while (buckets < 1024 && buckets * 4096 < n) buckets <<= 1;
    int shift = 0;
    while ((static_cast<uint64_t>(highKey - lowKey) >> shift) >= buckets) ++shift;
    buckets = (static_cast<size_t>(highKey - lowKey) >> shift) + 1;
    auto bucketOf = [&](uint64_t w) {
      return static_cast<size_t>(static_cast<uint64_t>(static_cast<uint32_t>(w >> 32) - lowKey) >> shift);
    };
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
          std::swap(held, v[j]);
          std::swap(heldWord, word[j]);
          d = bucketOf(heldWord);
        } while (d != b);
        v[i] = std::move(held);
        word[i] = heldWord;
        ++next[b];
      }
    }
  }

  std::vector<std::pair<uint64_t, uint32_t>> order;
  for (size_t b = 0; b + 1 < bound.size(); ++b) {
    const size_t lo = bound[b], hi = bound[b + 1];
    if (hi - lo < 2) continue;
    order.resize(hi - lo);
    for (size_t i = lo; i < hi; ++i) order[i - lo] = {word[i], static_cast<uint32_t>(i - lo)};
    std::sort(order.begin(), order.end());
    Place(v, lo, order);
  }
}

void SearchResultVec::sortBySourceStart() { SortByKey(&SearchResult::mSourceStart, cmpBySourceStart); }

void SearchResultVec::sortByQueryStart() { SortByKey(&SearchResult::mQueryStart, cmpByQueryStart); }
