#include "kmer/ZarnEngine.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestFixtures.h"

namespace {

Sequence MakeQuery(const std::string& name, const std::string& bases) {
    Sequence s;
    s.mName = name;
    s.mBases.assign(bases.begin(), bases.end());
    return s;
}

std::string ReverseComplement(std::string s) {
    std::string r(s.rbegin(), s.rend());
    for (char& c : r) c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : 'A';
    return r;
}

void Index(ZarnEngine& engine, const std::string& fasta) {
    std::istringstream in(fasta);
    ASSERT_EQ(engine.mMerLocations.Add(in), SourceScanStatus::Ok);
}

typedef std::vector<std::pair<unsigned long, unsigned long>> Spans;

Spans QuerySpans(const SearchResultVec& hits) {
    Spans spans;
    for (const SearchResult& h : hits) spans.push_back({h.queryStart(), h.queryEnd()});
    return spans;
}

const char kSource40[] = "GATTACACCGTAGGCTTAACGATCGGATCCATGCAAGTCC";

}  // namespace

TEST(ZarnEngineTest, QueryCoordinatesOnBothStrands) {
    SetMers(32, 1, 0);
    ZarnEngine engine;
    Index(engine, std::string(">src\n") + kSource40 + "\n");

    // Forward: the query is the source; positions 31 to 39 are looked up.
    Sequence fwdQuery = MakeQuery("qf", kSource40);
    SearchResultVec fwd, rev;
    engine.GetHits(fwdQuery, fwd, rev);
    ASSERT_EQ(fwd.size(), 9u);
    EXPECT_TRUE(rev.empty());
    for (unsigned i = 0; i < fwd.size(); i++) {
        EXPECT_EQ(fwd[i].sourceStart(), i);
        EXPECT_EQ(fwd[i].sourceEnd(), i + 31);
        EXPECT_EQ(fwd[i].queryStart(), i);
        EXPECT_EQ(fwd[i].queryEnd(), i + 31);
        EXPECT_EQ(fwd[i].queryName(), "qf");
        EXPECT_EQ(fwd[i].querySize(), 40u);
        EXPECT_EQ(fwd[i].sourceName(), "src");
    }

    // Reverse: the query is the source's reverse complement; the hits count
    // positions on the query's reverse complement, so the first k-mer
    // (forward positions 0 to 31) lies at 8 to 39 and hits source 8 to 39.
    Sequence revQuery = MakeQuery("qr", ReverseComplement(kSource40));
    SearchResultVec fwd2, rev2;
    engine.GetHits(revQuery, fwd2, rev2);
    EXPECT_TRUE(fwd2.empty());
    ASSERT_EQ(rev2.size(), 9u);
    EXPECT_EQ(rev2[0].queryStart(), 8u);
    EXPECT_EQ(rev2[0].queryEnd(), 39u);
    EXPECT_EQ(rev2[0].sourceStart(), 8u);
    EXPECT_EQ(rev2[8].queryStart(), 0u);
    EXPECT_EQ(rev2[8].sourceStart(), 0u);
}

TEST(ZarnEngineTest, ARecordThatOutgrowsItsFirstRoomKeepsEveryListInOrder) {
    // A query of 600,000 random bases that is its own source finds a list in
    // each of its 599,969 windows: more than the room reserved up front, so
    // the found lists grow (their mapped room doubles) while they are found.
    SetMers(32, 1, 0);
    std::mt19937 random(7);
    std::string bases(600000, 'A');
    for (char& c : bases) c = "ACGT"[random() & 3];
    ZarnEngine engine;
    Index(engine, ">src\n" + bases + "\n");
    Sequence q = MakeQuery("q", bases);
    SearchResultVec fwd, rev;
    engine.GetHits(q, fwd, rev);
    ASSERT_EQ(fwd.size(), bases.size() - 31);
    std::size_t misplaced = 0;
    for (std::size_t i = 0; i < fwd.size(); i++)
        misplaced += fwd[i].queryStart() != i || fwd[i].sourceStart() != i;
    EXPECT_EQ(misplaced, 0u);
    EXPECT_TRUE(rev.empty());
}

TEST(ZarnEngineTest, WalkOverCharactersThatAreNotBases) {
    SetMers(4, 1, 0);
    ZarnEngine engine;
    Index(engine, ">s\nAACGTTAC\n");  // AACG at 0, ACGT 1, CGTT 2, GTTA 3, TTAC 4

    struct Case {
        const char* query;
        Spans fwd;
    } cases[] = {
        // R is clean but no base: AACG is looked up again one position on.
        {"AACGRTT", {{0, 3}, {1, 4}, {2, 5}, {3, 6}}},
        // N restarts the window behind it.
        {"AACGNGTTA", {{0, 3}, {5, 8}}},
        // A last window holding N is never looked up: no hit reaches past the end.
        {"GTTACAN", {{0, 3}, {1, 4}}},
        {"AANCG", {}},
    };
    for (const Case& c : cases) {
        Sequence q = MakeQuery("q", c.query);
        SearchResultVec fwd, rev;
        engine.GetHits(q, fwd, rev);
        EXPECT_EQ(QuerySpans(fwd), c.fwd) << c.query;
    }
}

TEST(ZarnEngineTest, DefaultThinningLooksNothingUp) {
    SetMers(32, 1, 1);
    ZarnEngine engine;
    Index(engine, std::string(">src\n") + kSource40 + "\n");
    EXPECT_TRUE(engine.mMerLocations.mLocationLists.empty());
    // Even with an entry in the index, every query k-mer is thinned out.
    Mer m(kSource40);
    BigSequenceLocation loc;
    engine.mMerLocations.mLocationLists[m].push_back(loc);
    engine.mMerLocations.mSourceNames.push_back("src");
    engine.mMerLocations.mSourceSizes.push_back(40);
    Sequence q = MakeQuery("q", kSource40);
    SearchResultVec fwd, rev;
    engine.GetHits(q, fwd, rev);
    EXPECT_TRUE(fwd.empty());
    EXPECT_TRUE(rev.empty());
}

TEST(ZarnEngineTest, StreamCompareOutputForms) {
    SetMers(32, 1, 0);
    const std::string chain = "src\t40\tq1\t40\t40\t1\t40\t1\t40\t9\t288\t+\n";
    const std::string queries =
        std::string(">q1\n") + kSource40 + "\n>q2\n" + std::string(kSource40).substr(0, 32) + "\n";
    struct Case {
        int tabbed;
        int alignments;
        std::string expected;
    } cases[] = {
        {0, 0, "#:lav\n" + chain + "#:eof\n"},
        {0, 1, "#:lav\n#:eof\n"},
        {1, 1,
         "SourceName\tSourceSize\tQueryName\tQuerySize\tchainSize\tSourceBegin\tSourceEnd"
         "\tQueryBegin\tQueryEnd\tchainHits\tchainBases\tSense\n"},
    };
    for (const Case& c : cases) {
        ZarnEngine engine;
        engine.mTabbedOutput = c.tabbed;
        engine.mPerformAlignments = c.alignments;
        engine.mMinScore = 100;
        Index(engine, std::string(">src\n") + kSource40 + "\n");
        std::istringstream in(queries);
        std::ostringstream out;
        EXPECT_TRUE(engine.Compare(in, out));
        EXPECT_EQ(out.str(), c.expected) << c.tabbed << c.alignments;
    }
}

TEST(ZarnEngineTest, StreamCompareStopsAtNulLine) {
    SetMers(32, 1, 0);
    ZarnEngine engine;
    engine.mTabbedOutput = 0;
    engine.mMinScore = 100;
    Index(engine, std::string(">src\n") + kSource40 + "\n");
    std::string queries =
        std::string(">q1\n") + kSource40 + "\n>q2\nAC" + '\0' + "GT\n>q3\n" + kSource40 + "\n";
    std::istringstream in(queries);
    std::ostringstream out;
    EXPECT_FALSE(engine.Compare(in, out));
    EXPECT_NE(engine.mError.find("NUL"), std::string::npos);
    // q1's chain was written; nothing after the NUL line was compared.
    EXPECT_EQ(out.str(), "#:lav\nsrc\t40\tq1\t40\t40\t1\t40\t1\t40\t9\t288\t+\n");
}

namespace {

// An output that takes the first mCapacity characters, then fails every write.
class FailingSink : public std::streambuf {
public:
    explicit FailingSink(std::size_t capacity) : mCapacity(capacity) {}
    std::string mTaken;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (mTaken.size() >= mCapacity) return traits_type::eof();
        mTaken.push_back(traits_type::to_char_type(c));
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::streamsize room = static_cast<std::streamsize>(mCapacity - mTaken.size());
        std::streamsize take = n < room ? n : room;
        mTaken.append(s, static_cast<std::size_t>(take));
        return take;
    }

private:
    std::size_t mCapacity;
};

}  // namespace

TEST(ZarnEngineTest, StreamCompareStopsAtFirstFailedWrite) {
    SetMers(32, 1, 0);
    const std::string s = kSource40;
    const std::string queries = ">q1\n" + s + "\n>q2\n" + s + "\n>q3\n" + s + "\n";
    const std::string head = "#:lav\n";
    auto line = [](const char* q) {
        return std::string("src\t40\t") + q + "\t40\t40\t1\t40\t1\t40\t9\t288\t+\n";
    };
    const std::string all = head + line("q1") + line("q2") + line("q3") + "#:eof\n";
    struct Case {
        const char* name;
        std::size_t capacity;
        bool ok;
        // The query input left unread: the reader has taken the header line
        // of the record after the last one compared.
        std::string unread;
    } cases[] = {
        {"header fails", 0, false, queries},
        {"first record's line fails", head.size() + 5, false, s + "\n>q3\n" + s + "\n"},
        {"second record's line fails", head.size() + line("q1").size() + 5, false, s + "\n"},
        {"footer fails", all.size() - 1, false, ""},
        {"all written", all.size(), true, ""},
    };
    for (const Case& c : cases) {
        ZarnEngine engine;
        engine.mMinScore = 100;
        Index(engine, ">src\n" + s + "\n");
        std::istringstream in(queries);
        FailingSink sink(c.capacity);
        std::ostream out(&sink);
        EXPECT_EQ(engine.Compare(in, out), c.ok) << c.name;
        EXPECT_EQ(engine.mError, c.ok ? "" : "write error") << c.name;
        EXPECT_EQ(sink.mTaken, all.substr(0, c.capacity)) << c.name;
        in.clear();
        std::string unread((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(unread, c.unread) << c.name;
    }
}

TEST(ZarnEngineTest, DebugDumpOfOneRecord) {
    // k = 4, even canonical values used: AACG (6), CGTT (6), GTTA (188) pass
    // thinning, ACGT (27) does not; GTTA is then refused by the repeat model.
    SetMers(4, 2, 0);
    ZarnEngine engine;
    engine.mDebug = 1;
    Index(engine, ">s\nAACGTTAC\n");
    engine.mRepeatModel.mCounts[Mer("GTTA")] = 5;
    engine.mRepeatModel.mMaxCount = 1;

    Sequence q = MakeQuery("q", "AACGTTA");
    std::vector<Chain> fwdChains, revChains;
    std::ostringstream dump;
    std::streambuf* saved = std::cout.rdbuf(dump.rdbuf());
    engine.Compare(q, fwdChains, revChains);
    std::cout.rdbuf(saved);

    const std::string f1 = "s\t8\t0\t3\tq\t7\t0\t3\n", f2 = "s\t8\t2\t5\tq\t7\t2\t5\n";
    const std::string r1 = "s\t8\t2\t5\tq\t7\t3\t6\n", r2 = "s\t8\t0\t3\tq\t7\t1\t4\n";
    EXPECT_EQ(dump.str(),
              // Every position gets its qIdx line; only the k-mers that pass
              // thinning and the repeat model get FWD and REV with the hits so far.
              "qIdx=3\tMer=AACG\nFWD: AACG\n" + f1 + "REV: CGTT\n" + r1 + "\n" +
                  "qIdx=4\tMer=ACGT\n"
                  "qIdx=5\tMer=CGTT\nFWD: CGTT\n" +
                  f1 + f2 + "REV: AACG\n" + r1 + r2 + "\n" +
                  "qIdx=6\tMer=GTTA\n"
                  "\n\n\nFwdHits:\n" +
                  f1 + f2 + "RevHits:\n" + r1 + r2);
}
