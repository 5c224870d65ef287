#include "kmer/HitChainer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct HitRow {
    unsigned long s, q;
    unsigned long len;
    const char* source;
    long size = 0;  // 0: 700 for chrB, 5000 for any other name
};

SearchResultVec Hits(const std::vector<HitRow>& rows) {
    SearchResultVec v;
    for (const HitRow& h : rows) {
        std::string name = h.source;
        v.add(name, h.size ? h.size : name == "chrB" ? 700 : 5000, h.s, h.s + h.len - 1);
        v.back().setQueryStart(h.q);
        v.back().setQueryEnd(h.q + h.len - 1);
        v.back().setQueryName("read7");
        v.back().setQuerySize(900);
    }
    return v;
}

// "name size sourceBegin..sourceEnd queryBegin..queryEnd segments bases"
std::string Describe(const Chain& c) {
    std::ostringstream out;
    out << c.mSourceName << " " << c.mSourceSize << " " << c.mSourceBegin << ".." << c.mSourceEnd
        << " " << c.mQueryName << " " << c.mQuerySize << " " << c.mQueryBegin << ".." << c.mQueryEnd
        << " segs=" << c.mSegments.size() << " bases=" << c.mBases;
    return out.str();
}

std::vector<std::string> Describe(const std::vector<Chain>& chains) {
    std::vector<std::string> out;
    for (const Chain& c : chains) out.push_back(Describe(c));
    return out;
}

TEST(HitChainerTest, InWindowIsStrictAtWidthAndLength) {
    HitChainer chainer;
    Chain chain;
    chain.mSourceEnd = 1000;
    chain.mQueryEnd = 2000;
    // Offsets (x, y) of the hit start from the chain end: the diagonal differs
    // by y - x, the anti-diagonal by x + y.
    const struct {
        int x, y;
        bool in;
    } cases[] = {
        {0, 0, true},        {0, 99, true},       {0, 100, false},    {99, 0, true},
        {100, 0, false},     {250, 249, true},    {250, 250, false},  {-250, -249, true},
        {-250, -250, false}, {-300, -300, false}, {-200, -200, true}, {400, 0, false},
    };
    for (const auto& c : cases) {
        SearchResult hit;
        hit.setSourceStart(1000 + c.x);
        hit.setQueryStart(2000 + c.y);
        EXPECT_EQ(chainer.InWindow(chain, hit), c.in) << c.x << "," << c.y;
    }
}

TEST(HitChainerTest, ComputeChainsGroupsHitsAlongDiagonals) {
    const struct {
        const char* what;
        std::vector<HitRow> hits;
        std::vector<std::string> chains;
    } cases[] = {
        {"no hits", {}, {}},
        {"one hit", {{10, 20, 32, "chrA"}}, {"chrA 5000 10..41 read7 900 20..51 segs=0 bases=32"}},
        {"two hits one base apart, given out of order",
         {{1, 1, 32, "chrA"}, {0, 0, 32, "chrA"}},
         {"chrA 5000 0..32 read7 900 0..32 segs=2 bases=64"}},
        {"each join moves the window with the chain end",
         {{0, 0, 32, "chrA"}, {200, 200, 32, "chrA"}, {400, 400, 32, "chrA"}},
         {"chrA 5000 0..431 read7 900 0..431 segs=3 bases=96"}},
        {"hits 600 and 601 past the chain end start their own chain",
         {{0, 0, 32, "chrA"}, {631, 631, 32, "chrA"}, {632, 632, 32, "chrA"}},
         {"chrA 5000 0..31 read7 900 0..31 segs=0 bases=32",
          "chrA 5000 631..663 read7 900 631..663 segs=2 bases=64"}},
        {"off-diagonal hit is left for a chain of its own",
         {{0, 0, 32, "chrA"}, {10, 110, 32, "chrA"}, {20, 20, 32, "chrA"}},
         {"chrA 5000 0..51 read7 900 0..51 segs=2 bases=64",
          "chrA 5000 10..41 read7 900 110..141 segs=0 bases=32"}},
        // The middle hit is off the first chain's diagonal when tested, the
        // last one is joined to it and then lies in the middle hit's window.
        {"a hit joined to an earlier chain is not joined again",
         {{0, 0, 32, "chrA"}, {10, 130, 32, "chrA"}, {50, 90, 32, "chrA"}},
         {"chrA 5000 0..81 read7 900 0..121 segs=2 bases=64",
          "chrA 5000 10..41 read7 900 130..161 segs=0 bases=32"}},
    };
    HitChainer chainer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SearchResultVec hits = Hits(c.hits);
        std::vector<Chain> chains(1);  // the list is appended to, not cleared
        chains[0].mSourceName = "kept";
        chainer.ComputeChains(hits, chains);
        ASSERT_EQ(chains.size(), c.chains.size() + 1);
        EXPECT_EQ(chains[0].mSourceName, "kept");
        chains.erase(chains.begin());
        EXPECT_EQ(Describe(chains), c.chains);
        for (size_t i = 1; i < hits.size(); ++i)
            EXPECT_LE(hits[i - 1].sourceStart(), hits[i].sourceStart());
    }
}

// A source record is its name and size together; hits of different records
// never share a chain, whatever their coordinates. Both chainers agree here.
TEST(HitChainerTest, ChainsStayOnTheirSourceRecord) {
    const struct {
        const char* what;
        std::vector<HitRow> hits;
        std::vector<std::string> chains;
    } cases[] = {
        {"different name, same size",
         {{100, 100, 32, "chrA"}, {110, 110, 32, "chrC"}},
         {"chrA 5000 100..131 read7 900 100..131 segs=0 bases=32",
          "chrC 5000 110..141 read7 900 110..141 segs=0 bases=32"}},
        {"same name, different size",
         {{100, 100, 32, "chrA"}, {110, 110, 32, "chrA", 6000}},
         {"chrA 5000 100..131 read7 900 100..131 segs=0 bases=32",
          "chrA 6000 110..141 read7 900 110..141 segs=0 bases=32"}},
        {"interleaved records on one diagonal make one chain each",
         {{0, 0, 32, "chrA"},
          {10, 10, 32, "chrB"},
          {20, 20, 32, "chrA"},
          {30, 30, 32, "chrB"},
          {40, 40, 32, "chrA"}},
         {"chrA 5000 0..71 read7 900 0..71 segs=3 bases=96",
          "chrB 700 10..61 read7 900 10..61 segs=2 bases=64"}},
        {"chains in the order of their first hits, given in any order",
         {{30, 30, 32, "chrA"},
          {40, 40, 32, "chrB"},
          {10, 10, 32, "chrA"},
          {5, 5, 32, "chrB"},
          {1000, 1000, 32, "chrC"},
          {900, 900, 32, "chrA"}},
         {"chrB 700 5..71 read7 900 5..71 segs=2 bases=64",
          "chrA 5000 10..61 read7 900 10..61 segs=2 bases=64",
          "chrA 5000 900..931 read7 900 900..931 segs=0 bases=32",
          "chrC 5000 1000..1031 read7 900 1000..1031 segs=0 bases=32"}},
        // Another record's hit far past the chain end does not end the scan.
        {"far hit of another record between two joinable ones",
         {{0, 0, 32, "chrA"}, {5, 5, 32, "chrB"}, {900, 5, 32, "chrC"}, {20, 20, 32, "chrA"}},
         {"chrA 5000 0..51 read7 900 0..51 segs=2 bases=64",
          "chrB 700 5..36 read7 900 5..36 segs=0 bases=32",
          "chrC 5000 900..931 read7 900 5..36 segs=0 bases=32"}},
    };
    HitChainer chainer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SearchResultVec hits = Hits(c.hits);
        std::vector<Chain> greedy;
        chainer.ComputeChains(hits, greedy);
        EXPECT_EQ(Describe(greedy), c.chains);
        hits = Hits(c.hits);
        std::vector<Chain> exhaustive;
        chainer.ComputeChains0(hits, exhaustive);
        EXPECT_EQ(Describe(exhaustive), c.chains);
    }
}

// Many records, their hits interleaved along one diagonal: every record still
// gets one chain of its own two hits, in the order of the records' first hits.
TEST(HitChainerTest, ManyInterleavedRecordsChainApart) {
    const int records = 300;
    std::vector<std::string> names;
    for (int r = 0; r < records; ++r) names.push_back("ctg" + std::to_string((r * 7) % records));
    std::vector<HitRow> rows;
    for (int pass = 0; pass < 2; ++pass)
        for (int r = 0; r < records; ++r) {
            const unsigned long s = pass * 200 + r;
            rows.push_back({s, s, 32, names[r].c_str(), 1000 + r % 2});
        }
    SearchResultVec hits = Hits(rows);
    std::vector<Chain> chains;
    HitChainer().ComputeChains(hits, chains);
    ASSERT_EQ(chains.size(), static_cast<size_t>(records));
    for (int r = 0; r < records; ++r) {
        const unsigned long s = r, e = r + 231;
        EXPECT_EQ(Describe(chains[r]), names[r] + " " + std::to_string(1000 + r % 2) + " " +
                                           std::to_string(s) + ".." + std::to_string(e) +
                                           " read7 900 " + std::to_string(s) + ".." +
                                           std::to_string(e) + " segs=2 bases=64");
    }
}

// The greedy scan written out plainly over a stably sorted copy: every hit
// is compared with the chain's record by name and size, and the segments are
// the joined hits in scan order.
std::vector<std::string> PlainChains(SearchResultVec hits, int width, int length) {
    std::stable_sort(hits.begin(), hits.end(), SearchResultVec::cmpBySourceStart);
    std::vector<bool> joined(hits.size(), false);
    std::vector<std::string> out;
    for (size_t i = 0; i < hits.size(); ++i) {
        if (joined[i]) continue;
        const SearchResult& head = hits[i];
        uint32_t end = head.mSourceEnd, qEnd = head.mQueryEnd;
        long bases = head.mSourceEnd - head.mSourceStart + 1;
        std::ostringstream segs;
        int count = 0;
        for (size_t j = i + 1; j < hits.size(); ++j) {
            const SearchResult& h = hits[j];
            if (h.mSourceName != head.mSourceName || h.mSourceSize != head.mSourceSize) continue;
            if (h.mSourceStart > end + static_cast<uint32_t>(width + length)) break;
            if (joined[j]) continue;
            const long diag = static_cast<long>(h.mSourceStart) + qEnd - end;
            const long anti = static_cast<long>(qEnd) + end - h.mSourceStart;
            const long q = h.mQueryStart;
            if (!(q < diag + width && q > diag - width && q > anti - length && q < anti + length))
                continue;
            if (count++ == 0) segs << " " << head.mSourceStart << "/" << head.mQueryStart;
            segs << " " << h.mSourceStart << "/" << h.mQueryStart;
            joined[j] = true;
            bases += h.mSourceEnd - h.mSourceStart + 1;
            end = h.mSourceEnd;
            qEnd = h.mQueryEnd;
        }
        out.push_back(head.mSourceName + " " + std::to_string(head.mSourceSize) + " " +
                      std::to_string(head.mSourceStart) + ".." + std::to_string(end) + " " +
                      std::to_string(head.mQueryStart) + ".." + std::to_string(qEnd) + " " +
                      std::to_string(bases) + segs.str());
    }
    return out;
}

// Random lists of a few records (one name under two sizes among them), hits
// along shared diagonals with scattered repeats and equal source starts: the
// chainer gives the chains, their order and their segments of the plain scan.
TEST(HitChainerTest, ComputeChainsMatchesPlainScanOnRandomLists) {
    std::mt19937 random(7);
    const struct { long name, size; } records[] = {{0, 5000}, {1, 700}, {0, 800}, {2, 5000}};
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const int recordCount = round % 4 + 1;  // one record: the in-place path
        std::vector<HitRow> rows;
        std::vector<std::string> names = {"chrA", "chrB", "chrC"};
        const int n = 50 + static_cast<int>(random() % 400);
        for (int i = 0; i < n; ++i) {
            const auto& r = records[random() % recordCount];
            const unsigned long diagonal = random() % 4 * 300;
            const unsigned long s = random() % 3000;
            const unsigned long q = random() % 5 == 0 ? random() % 4000 : s + diagonal;
            rows.push_back({s, q, 20 + random() % 20, names[r.name].c_str(), r.size});
        }
        SearchResultVec hits = Hits(rows);
        HitChainer chainer;
        const std::vector<std::string> expected =
            PlainChains(hits, chainer.mWindowWidth, chainer.mWindowLength);
        std::vector<Chain> chains;
        chainer.ComputeChains(hits, chains);
        std::vector<std::string> got;
        for (const Chain& c : chains) {
            std::string line = c.mSourceName + " " + std::to_string(c.mSourceSize) + " " +
                               std::to_string(c.mSourceBegin) + ".." +
                               std::to_string(c.mSourceEnd) + " " + std::to_string(c.mQueryBegin) +
                               ".." + std::to_string(c.mQueryEnd) + " " + std::to_string(c.mBases);
            for (const Segment& seg : c.mSegments)
                line +=
                    " " + std::to_string(seg.mSourceStart) + "/" + std::to_string(seg.mQueryStart);
            got.push_back(line);
        }
        ASSERT_EQ(got, expected);
    }
}

// Hits of 2^28 bases, each one base further along one diagonal (the window
// widened to reach them): eight of them sum to 2^31, past INT_MAX.
TEST(HitChainerTest, ChainScoreSaturatesAtIntMax) {
    const unsigned long len = 1ul << 28;
    const struct {
        int hits;
        int bases;
    } cases[] = {
        {1, 1 << 28},
        {7, 7 << 28},
        {8, INT_MAX},
        {12, INT_MAX},
    };
    HitChainer chainer;
    chainer.mWindowLength = 1 << 29;
    chainer.mMinScore = 500;
    for (const auto& c : cases) {
        std::vector<HitRow> rows;
        for (int i = 0; i < c.hits; ++i)
            rows.push_back(
                {static_cast<unsigned long>(i), static_cast<unsigned long>(i), len, "chrA"});
        for (bool exhaustive : {false, true}) {
            SCOPED_TRACE(std::to_string(c.hits) + (exhaustive ? " hits, exhaustive" : " hits"));
            SearchResultVec hits = Hits(rows);
            std::vector<Chain> chains;
            if (exhaustive)
                chainer.ComputeChains0(hits, chains);
            else
                chainer.ComputeChains(hits, chains);
            ASSERT_EQ(chains.size(), 1u);
            EXPECT_EQ(chains[0].mBases, c.bases);
            EXPECT_EQ(chains[0].mSegments.size(), c.hits > 1 ? static_cast<size_t>(c.hits) : 0u);
            // The best chain passes the score filter.
            Sequence query;
            query.mName = "q";
            std::ostringstream out;
            chainer.WriteTabbed(out, query, chains[0], false);
            EXPECT_NE(out.str().find("\t" + std::to_string(c.bases) + "\t+\n"), std::string::npos)
                << out.str();
        }
    }
}

// An exact match of 127 bases (96 hits of 32) that ends a record of INT_MAX
// bases, on the query side, the source side or both: the window's sums pass
// INT_MAX there, and the match is still one chain of every hit.
TEST(HitChainerTest, MatchAtTheTopOfTheIntRangeIsOneChain) {
    const unsigned long top = INT_MAX - 127;  // the match's first base
    const struct {
        const char* what;
        unsigned long s, q;
    } cases[] = {
        {"query end", 1000, top},
        {"source end", top, 1000},
        {"both ends", top, top},
    };
    for (const auto& c : cases) {
        std::vector<HitRow> rows;
        for (unsigned long i = 0; i < 96; ++i)
            rows.push_back({c.s + i, c.q + i, 32, "chrA", INT_MAX});
        for (bool exhaustive : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (exhaustive ? ", exhaustive" : ""));
            SearchResultVec hits = Hits(rows);
            std::vector<Chain> chains;
            if (exhaustive)
                HitChainer().ComputeChains0(hits, chains);
            else
                HitChainer().ComputeChains(hits, chains);
            ASSERT_EQ(chains.size(), 1u);
            EXPECT_EQ(chains[0].mSegments.size(), 96u);
            EXPECT_EQ(chains[0].mBases, 96 * 32);
            EXPECT_EQ(chains[0].mSourceEnd, static_cast<int32_t>(c.s + 95 + 31));
            EXPECT_EQ(chains[0].mQueryEnd, static_cast<int32_t>(c.q + 95 + 31));
        }
    }
    // The window's edges hold there as well.
    HitChainer chainer;
    Chain chain;
    chain.mSourceEnd = INT_MAX - 1;
    chain.mQueryEnd = INT_MAX - 1;
    const struct {
        int x, y;
        bool in;
    } edges[] = {{-1, -1, true}, {-250, -249, true}, {-250, -250, false}, {0, -100, false}};
    for (const auto& e : edges) {
        SearchResult hit;
        hit.setSourceStart(INT_MAX - 1 + e.x);
        hit.setQueryStart(INT_MAX - 1 + e.y);
        EXPECT_EQ(chainer.InWindow(chain, hit), e.in) << e.x << "," << e.y;
    }
}

TEST(HitChainerTest, SegmentsRecordEveryJoinedHit) {
    SearchResultVec hits = Hits({{0, 5, 32, "chrA"}, {3, 9, 32, "chrA"}});
    std::vector<Chain> chains;
    HitChainer().ComputeChains(hits, chains);
    ASSERT_EQ(chains.size(), 1u);
    ASSERT_EQ(chains[0].mSegments.size(), 2u);
    const Segment& a = chains[0].mSegments[0];
    const Segment& b = chains[0].mSegments[1];
    EXPECT_EQ(a.mSourceStart, 0);
    EXPECT_EQ(a.mSourceEnd, 31);
    EXPECT_EQ(a.mQueryStart, 5);
    EXPECT_EQ(a.mQueryEnd, 36);
    EXPECT_EQ(b.mSourceStart, 3);
    EXPECT_EQ(b.mSourceEnd, 34);
    EXPECT_EQ(b.mQueryStart, 9);
    EXPECT_EQ(b.mQueryEnd, 40);
    EXPECT_EQ(a.mSpareInt, 0);
}

TEST(HitChainerTest, ComputeChains0SearchesAllHitsAndMayReuseOne) {
    // X is long, Y short and inside X's span: Y's start is far (along the
    // anti-diagonal) from X's end, but X's start is near Y's end. The greedy
    // chainer only looks forward from X and leaves both alone; the exhaustive
    // one joins X again to the chain started at Y.
    const std::vector<HitRow> rows = {{0, 0, 1000, "chrA"}, {10, 10, 10, "chrA"}};
    HitChainer chainer;

    SearchResultVec hits = Hits(rows);
    std::vector<Chain> greedy;
    chainer.ComputeChains(hits, greedy);
    EXPECT_EQ(Describe(greedy),
              (std::vector<std::string>{"chrA 5000 0..999 read7 900 0..999 segs=0 bases=1000",
                                        "chrA 5000 10..19 read7 900 10..19 segs=0 bases=10"}));

    hits = Hits(rows);
    std::vector<Chain> exhaustive;
    chainer.ComputeChains0(hits, exhaustive);
    EXPECT_EQ(Describe(exhaustive),
              (std::vector<std::string>{"chrA 5000 0..999 read7 900 0..999 segs=0 bases=1000",
                                        "chrA 5000 10..999 read7 900 10..999 segs=2 bases=1010"}));

    // Once X has a second hit (Z) it is flagged: the chain started at Y may
    // not take it again, nor Z.
    hits = Hits({{0, 0, 1000, "chrA"}, {10, 10, 10, "chrA"}, {1000, 1000, 10, "chrA"}});
    exhaustive.clear();
    chainer.ComputeChains0(hits, exhaustive);
    EXPECT_EQ(Describe(exhaustive),
              (std::vector<std::string>{"chrA 5000 0..1009 read7 900 0..1009 segs=2 bases=1010",
                                        "chrA 5000 10..19 read7 900 10..19 segs=0 bases=10"}));

    // Equal source starts: the greedy chainer keeps the order of appending,
    // the exhaustive one orders them by query start.
    const std::vector<HitRow> ties = {{50, 900, 32, "chrA"}, {50, 50, 32, "chrA"}};
    hits = Hits(ties);
    greedy.clear();
    chainer.ComputeChains(hits, greedy);
    ASSERT_EQ(greedy.size(), 2u);
    EXPECT_EQ(greedy[0].mQueryBegin, 900);
    hits = Hits(ties);
    exhaustive.clear();
    chainer.ComputeChains0(hits, exhaustive);
    ASSERT_EQ(exhaustive.size(), 2u);
    EXPECT_EQ(exhaustive[0].mQueryBegin, 50);
}

Sequence Query(const std::string& name, size_t bases) {
    Sequence q;
    q.mName = name;
    q.mBases.assign(bases, 'A');
    return q;
}

Chain MakeChain(int sourceBegin, int sourceEnd, int queryBegin, int queryEnd, int bases,
                int segments) {
    Chain c;
    c.mSourceName = "chr1 desc";
    c.mSourceSize = 5000;
    c.mQueryName = "ignored";
    c.mQuerySize = 1;
    c.mSourceBegin = sourceBegin;
    c.mSourceEnd = sourceEnd;
    c.mQueryBegin = queryBegin;
    c.mQueryEnd = queryEnd;
    c.mBases = bases;
    c.mSegments.resize(segments);
    return c;
}

// Hit indices are 32 bits: a longer list is refused with the query's name,
// and the largest list they can number is accepted.
TEST(HitChainerTest, HitCountBeyondThirtyTwoBitsIsRefused) {
    static_assert(sizeof(std::size_t) >= 8, "a count beyond 32 bits must be representable");
    EXPECT_NO_THROW(CheckChainHitCount(0, ""));
    EXPECT_NO_THROW(CheckChainHitCount(std::size_t(0xFFFFFFFFu), "q1"));
    for (std::size_t count : {std::size_t(1) << 32, std::size_t(1) << 40}) {
        try {
            CheckChainHitCount(count, "chr7");
            ADD_FAILURE() << count << " hits accepted";
        } catch (const std::length_error& e) {
            EXPECT_STREQ(e.what(),
                         "more than 4294967295 hits on one strand of query chr7: the chainer "
                         "numbers hits in 32 bits");
        }
    }
}

TEST(HitChainerTest, WriteTabbedLines) {
    Sequence query = Query("read7", 40);
    HitChainer writer;
    writer.mMinScore = 32;
    {
        std::ostringstream out;
        Chain reverse = MakeChain(99, 130, 8, 39, 32, 0);
        writer.WriteTabbed(out, query, reverse, true);
        Chain forward = MakeChain(0, 32, 0, 32, 64, 2);
        writer.WriteTabbed(out, query, forward, false);
        EXPECT_EQ(out.str(),
                  "chr1 desc\t5000\tread7\t40\t32\t131\t100\t9\t40\t0\t32\t-\n"
                  "chr1 desc\t5000\tread7\t40\t33\t1\t33\t1\t33\t2\t64\t+\n");
    }
    // The minimum score is inclusive; 0 or less writes every chain.
    const struct {
        int bases, minScore;
        bool written;
    } cases[] = {
        {50, 50, true}, {49, 50, false}, {32, 0, true}, {0, 0, true}, {0, -1, true}, {-5, 0, false},
    };
    for (const auto& c : cases) {
        writer.mMinScore = c.minScore;
        std::vector<Chain> list = {MakeChain(0, 31, 0, 31, c.bases, 0),
                                   MakeChain(0, 31, 0, 31, 1000, 0)};
        std::ostringstream out;
        writer.WriteTabbed(out, query, list, false);
        const std::string one = "chr1 desc\t5000\tread7\t40\t32\t1\t32\t1\t32\t0\t";
        EXPECT_EQ(out.str(), (c.written ? one + std::to_string(c.bases) + "\t+\n" : std::string()) +
                                 one + "1000\t+\n")
            << c.bases << " " << c.minScore;
    }
}

TEST(HitChainerTest, HeaderAndMarkerLines) {
    HitChainer writer;
    std::ostringstream out;
    writer.WriteTabbedHeader(out);
    writer.WriteLVHeader(out);
    writer.WriteLVFooter(out);
    EXPECT_EQ(out.str(),
              "SourceName\tSourceSize\tQueryName\tQuerySize\tchainSize\tSourceBegin\tSourceEnd"
              "\tQueryBegin\tQueryEnd\tchainHits\tchainBases\tSense\n#:lav\n#:eof\n");
    EXPECT_EQ(writer.mWindowLength, 500);
    EXPECT_EQ(writer.mWindowWidth, 100);
    EXPECT_EQ(writer.mMinScore, 50);
}

TEST(HitChainerTest, ReadTabbedWholeChainFile) {
    std::ifstream in(TEST_DATA_DIR "/index/chains.tsv");
    ASSERT_TRUE(in.is_open());
    HitChainer reader;
    std::vector<Chain> chains;
    reader.ReadTabbed(in, chains);
    EXPECT_EQ(reader.mHeader, "zarn\t-M\t0\tsrc.fa\tq.fa\tout.txt\t\tVersion: zarn");
    EXPECT_EQ(Describe(chains), (std::vector<std::string>{
                                    // The column header line: a name, then nothing to read.
                                    "SourceName 0 0..0  0 0..0 segs=0 bases=0",
                                    // Names end at their first blank.
                                    "chr1 5000 1..33 read7 40 1..33 segs=0 bases=64",
                                    "chr1 5000 131..100 read7 40 9..40 segs=0 bases=32",
                                    // A blank followed by digits shifts the numbers; the last
                                    // line has no newline and is read all the same.
                                    "chr 2 5..14 300 50 1..10 segs=0 bases=10",
                                }));
}

TEST(HitChainerTest, WrittenChainsReadBack) {
    SearchResultVec fwd = Hits({{0, 0, 32, "chrA"}, {1, 1, 32, "chrA"}, {3000, 10, 32, "chrA"}});
    std::vector<Chain> chains;
    HitChainer chainer;
    chainer.mMinScore = 0;
    chainer.ComputeChains(fwd, chains);
    Sequence query = Query("read7", 900);
    std::stringstream file;
    file << "zarn\t\tVersion: zarn\n";
    chainer.WriteTabbedHeader(file);
    chainer.WriteTabbed(file, query, chains, false);

    std::vector<Chain> back;
    chainer.ReadTabbed(file, back);
    ASSERT_EQ(back.size(), chains.size() + 1);
    for (size_t i = 0; i < chains.size(); ++i) {
        const Chain& c = chains[i];
        const Chain& r = back[i + 1];
        EXPECT_EQ(r.mSourceName, c.mSourceName);
        EXPECT_EQ(r.mSourceSize, c.mSourceSize);
        EXPECT_EQ(r.mQueryName, query.mName);
        EXPECT_EQ(r.mQuerySize, 900);
        EXPECT_EQ(r.mSourceBegin, c.mSourceBegin + 1);
        EXPECT_EQ(r.mSourceEnd, c.mSourceEnd + 1);
        EXPECT_EQ(r.mQueryBegin, c.mQueryBegin + 1);
        EXPECT_EQ(r.mQueryEnd, c.mQueryEnd + 1);
        EXPECT_EQ(r.mBases, c.mBases);
    }
}

}  // namespace
