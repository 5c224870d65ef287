#include "kmer/SearchResult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

SearchResult Hit(unsigned long sourceStart, unsigned long queryStart, const std::string& tag) {
    SearchResult h;
    SearchResultBase& base = h;  // through the base interface (the engine sets the fields directly)
    base.setSourceStart(sourceStart);
    base.setSourceEnd(sourceStart + 3);
    base.setQueryStart(queryStart);
    base.setQueryEnd(queryStart + 3);
    base.setSourceName(tag);
    return h;
}

std::vector<std::string> Tags(const SearchResultVec& v) {
    std::vector<std::string> out;
    for (const SearchResult& h : v) out.push_back(h.sourceName());
    return out;
}

TEST(SearchResultTest, AccessorsKeepThirtyTwoBits) {
    SearchResult h;
    SearchResultBase& base = h;
    const unsigned long big = 4294967296UL + 5;  // 2^32 + 5
    base.setSourceStart(big);
    base.setSourceEnd(4294967295UL);
    base.setQueryStart(static_cast<unsigned long>(-1L));
    base.setQueryEnd(2147483648UL);
    base.setSourceSize(big + 1);
    base.setQuerySize(7);
    base.setSourceName("src");
    base.setQueryName("qry");
    EXPECT_EQ(base.sourceStart(), 5u);
    EXPECT_EQ(base.sourceEnd(), 4294967295UL);
    EXPECT_EQ(base.queryStart(), 4294967295UL);
    EXPECT_EQ(base.queryEnd(), 2147483648UL);
    EXPECT_EQ(base.sourceSize(), 6u);
    EXPECT_EQ(base.querySize(), 7u);
    EXPECT_EQ(base.sourceName(), "src");
    EXPECT_EQ(base.queryName(), "qry");

    SearchResult copy = h;
    copy.setQueryName("other");
    EXPECT_EQ(copy.sourceName(), "src");
    EXPECT_EQ(copy.sourceStart(), 5u);
    EXPECT_EQ(h.queryName(), "qry");
}

TEST(SearchResultVecTest, AddAndPrint) {
    SearchResultVec v;
    std::ostringstream empty;
    v.Print(empty);
    EXPECT_EQ(empty.str(), "");

    std::string name = "chr1 desc";
    v.add(name, 16569, 10, 41);
    v.add(name, -1, 2147483648L, -2);  // longs kept in their low 32 bits
    v[1].setQueryName("q");
    v[1].setQuerySize(40);
    v[1].setQueryStart(3);
    v[1].setQueryEnd(34);
    std::ostringstream out;
    v.Print(out);
    EXPECT_EQ(out.str(),
              "chr1 desc\t16569\t10\t41\t\t0\t0\t0\n"
              "chr1 desc\t4294967295\t2147483648\t4294967294\tq\t40\t3\t34\n");
}

TEST(SearchResultVecTest, SortsAreStableAndUnsigned) {
    SearchResultVec v;
    v.push_back(Hit(2147483648UL, 1, "high"));  // 2^31 sorts after smaller starts
    v.push_back(Hit(7, 50, "a"));
    v.push_back(Hit(7, 10, "b"));
    v.push_back(Hit(3, 90, "c"));
    v.push_back(Hit(7, 10, "d"));

    SearchResultVec bySource = v;
    bySource.sortBySourceStart();
    EXPECT_EQ(Tags(bySource), (std::vector<std::string>{"c", "a", "b", "d", "high"}));

    SearchResultVec byQuery = v;
    byQuery.sortByQueryStart();
    EXPECT_EQ(Tags(byQuery), (std::vector<std::string>{"high", "b", "d", "a", "c"}));

    // Query start first, then source start: equal source starts come out in
    // query order, equal pairs in appending order.
    byQuery.sortBySourceStart();
    EXPECT_EQ(Tags(byQuery), (std::vector<std::string>{"c", "b", "d", "a", "high"}));

    EXPECT_TRUE(SearchResultVec::cmpBySourceStart(v[1], v[0]));
    EXPECT_FALSE(SearchResultVec::cmpBySourceStart(v[1], v[2]));
    EXPECT_TRUE(SearchResultVec::cmpByQueryStart(v[2], v[1]));
}

TEST(SearchResultVecTest, SortsMatchStdStableSort) {
    // Many ties and keys on both sides of 2^31, as in real hit lists.
    std::mt19937 rng(11);
    SearchResultVec v;
    for (int i = 0; i < 5000; ++i) {
        unsigned long s = rng() % 40, q = rng() % 40;
        if (rng() % 8 == 0) s += 4294967000UL;
        if (rng() % 8 == 0) q += 2147483600UL;
        v.push_back(Hit(s, q, std::to_string(i)));
    }
    SearchResultVec expected = v;
    std::stable_sort(expected.begin(), expected.end(), SearchResultVec::cmpByQueryStart);
    SearchResultVec got = v;
    got.sortByQueryStart();
    EXPECT_EQ(Tags(got), Tags(expected));

    std::stable_sort(expected.begin(), expected.end(), SearchResultVec::cmpBySourceStart);
    got.sortBySourceStart();
    EXPECT_EQ(Tags(got), Tags(expected));
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].sourceEnd(), got[i].sourceStart() + 3);
        EXPECT_EQ(got[i].queryEnd(), got[i].queryStart() + 3);
    }
}

TEST(SearchResultVecTest, LargeSortsMatchStdStableSort) {
    // Lists long enough to be sorted in buckets, in the shapes real hit lists
    // take: a colinear pair with another origin, repeats, one crowded key,
    // keys across the whole 32-bit range, and an almost sorted list.
    const unsigned long n = 100000;
    struct Shape {
        const char* name;
        unsigned long (*key)(unsigned long i, std::mt19937& rng);
    };
    const Shape shapes[] = {
        {"rotated", [](unsigned long i, std::mt19937&) { return (i + n / 3) % n * 7; }},
        {"repeats",
         [](unsigned long i, std::mt19937& rng) {
             return rng() % 4 == 0 ? 1000000 + (rng() % 50) * 4000 : i * 3;
         }},
        {"crowded",
         [](unsigned long i, std::mt19937& rng) {
             return rng() % 16 == 0 ? static_cast<unsigned long>(rng()) : 42 + i % 2;
         }},
        {"full range",
         [](unsigned long, std::mt19937& rng) { return static_cast<unsigned long>(rng()); }},
        {"last out of place",
         [](unsigned long i, std::mt19937&) { return i + 1 == n ? 5 : i * 2; }},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        std::mt19937 rng(3);
        SearchResultVec v;
        for (unsigned long i = 0; i < n; ++i)
            v.push_back(Hit(shape.key(i, rng), rng() % 1000, std::to_string(i)));
        SearchResultVec expected = v;
        std::stable_sort(expected.begin(), expected.end(), SearchResultVec::cmpBySourceStart);
        v.sortBySourceStart();
        ASSERT_EQ(Tags(v), Tags(expected));
        for (size_t i = 0; i < v.size(); ++i) ASSERT_EQ(v[i].sourceEnd(), v[i].sourceStart() + 3);
        std::stable_sort(expected.begin(), expected.end(), SearchResultVec::cmpByQueryStart);
        v.sortByQueryStart();
        ASSERT_EQ(Tags(v), Tags(expected));
    }
}

}  // namespace
