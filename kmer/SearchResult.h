#ifndef KMER_SEARCHRESULT_H
#define KMER_SEARCHRESULT_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Accessor interface of one k-mer hit. The slot order of the 16 accessors is
// fixed; there is deliberately no virtual destructor: hits live by value in a
// SearchResultVec and are never deleted through this interface (the
// destructor is protected so that cannot happen by accident).
class SearchResultBase {
public:
    SearchResultBase() noexcept {}
    SearchResultBase(const SearchResultBase&) noexcept {}
    SearchResultBase& operator=(const SearchResultBase&) noexcept { return *this; }

    virtual unsigned long sourceStart() const = 0;
    virtual unsigned long sourceEnd() const = 0;
    virtual unsigned long queryStart() const = 0;
    virtual unsigned long queryEnd() const = 0;
    virtual std::string sourceName() const = 0;
    virtual std::string queryName() const = 0;
    virtual unsigned long sourceSize() const = 0;
    virtual unsigned long querySize() const = 0;
    virtual void setSourceStart(unsigned long v) = 0;
    virtual void setSourceEnd(unsigned long v) = 0;
    virtual void setQueryStart(unsigned long v) = 0;
    virtual void setQueryEnd(unsigned long v) = 0;
    virtual void setSourceName(std::string name) = 0;
    virtual void setQueryName(std::string name) = 0;
    virtual void setSourceSize(unsigned long v) = 0;
    virtual void setQuerySize(unsigned long v) = 0;

protected:
    ~SearchResultBase() {}
};

// One hit: where a query k-mer lies on a source record and on the query.
// Coordinates are 0-based, ends inclusive. The numeric fields are 32 bits
// wide: every value set through the accessors is kept modulo 2^32.
class SearchResult final : public SearchResultBase {
public:
    uint32_t mSourceStart;
    uint32_t mSourceEnd;
    uint32_t mQueryStart;
    uint32_t mQueryEnd;
    std::string mSourceName;
    std::string mQueryName;
    uint32_t mSourceSize;
    uint32_t mQuerySize;

    SearchResult()
        : mSourceStart(0),
          mSourceEnd(0),
          mQueryStart(0),
          mQueryEnd(0),
          mSourceSize(0),
          mQuerySize(0) {}
    SearchResult(const SearchResult& o) = default;
    SearchResult& operator=(const SearchResult& o) = default;
    SearchResult(SearchResult&& o) = default;
    SearchResult& operator=(SearchResult&& o) = default;
    ~SearchResult() {}

    unsigned long sourceStart() const override { return mSourceStart; }
    unsigned long sourceEnd() const override { return mSourceEnd; }
    unsigned long queryStart() const override { return mQueryStart; }
    unsigned long queryEnd() const override { return mQueryEnd; }
    std::string sourceName() const override { return mSourceName; }
    std::string queryName() const override { return mQueryName; }
    unsigned long sourceSize() const override { return mSourceSize; }
    unsigned long querySize() const override { return mQuerySize; }
    void setSourceStart(unsigned long v) override { mSourceStart = static_cast<uint32_t>(v); }
    void setSourceEnd(unsigned long v) override { mSourceEnd = static_cast<uint32_t>(v); }
    void setQueryStart(unsigned long v) override { mQueryStart = static_cast<uint32_t>(v); }
    void setQueryEnd(unsigned long v) override { mQueryEnd = static_cast<uint32_t>(v); }
    void setSourceName(std::string name) override { mSourceName = std::move(name); }
    void setQueryName(std::string name) override { mQueryName = std::move(name); }
    void setSourceSize(unsigned long v) override { mSourceSize = static_cast<uint32_t>(v); }
    void setQuerySize(unsigned long v) override { mQuerySize = static_cast<uint32_t>(v); }
};

// The hits of one strand of one query record, in the order they were found.
// Used exactly as a std::vector; the members below add hit creation, a dump
// and the two stable sorts the chainer needs.
class SearchResultVec : public std::vector<SearchResult> {
public:
    // Appends a hit with its source side set (each long kept in 32 bits) and
    // its query side empty.
    void add(std::string& name, long size, long start, long end);

    // One line per hit: sourceName, sourceSize, sourceStart, sourceEnd,
    // queryName, querySize, queryStart, queryEnd, tab-separated, unsigned.
    void Print(std::ostream& out);

    static bool cmpBySourceStart(SearchResult const& a, SearchResult const& b);
    static bool cmpByQueryStart(SearchResult const& a, SearchResult const& b);

    // Stable: hits with equal keys keep the order in which they were appended.
    // The result is that of std::stable_sort with the comparator above; the
    // order is found on packed (key, position) words, and the hits are moved
    // into place (long lists first into buckets of neighbouring keys), so no
    // second copy of the list is needed. A list already in order is not moved.
    void sortBySourceStart();
    void sortByQueryStart();

private:
    void SortByKey(uint32_t SearchResult::*key,
                   bool (*cmp)(SearchResult const&, SearchResult const&));
};

#endif
