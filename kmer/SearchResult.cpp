#include "kmer/SearchResult.h"

#include <algorithm>

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

void SearchResultVec::SortByKey(uint32_t SearchResult::*key,
                                bool (*cmp)(SearchResult const&, SearchResult const&)) {
  const size_t n = size();
  if (n < 2) return;
  if (n > 0xFFFFFFFFu) {
    std::stable_sort(begin(), end(), cmp);
    return;
  }
  // Key in the high half, position in the low half: every word is unique,
  // so their plain order is the stable order of the hits.
  std::vector<uint64_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = (static_cast<uint64_t>((*this)[i].*key) << 32) | i;
  std::sort(order.begin(), order.end());
  // Hit order[j] goes to place j. Follow each cycle of the permutation,
  // marking placed entries with their own index.
  for (size_t i = 0; i < n; ++i) {
    size_t from = static_cast<uint32_t>(order[i]);
    if (from == i) continue;
    SearchResult held = std::move((*this)[i]);
    size_t to = i;
    while (from != i) {
      (*this)[to] = std::move((*this)[from]);
      order[to] = to;
      to = from;
      from = static_cast<uint32_t>(order[to]);
    }
    (*this)[to] = std::move(held);
    order[to] = to;
  }
}

void SearchResultVec::sortBySourceStart() { SortByKey(&SearchResult::mSourceStart, cmpBySourceStart); }

void SearchResultVec::sortByQueryStart() { SortByKey(&SearchResult::mQueryStart, cmpByQueryStart); }
