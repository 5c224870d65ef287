#include "kmer/Mer2IntMap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestFixtures.h"

namespace {

typedef Mer2IntMap<MerSymmetricHashF> CountMap;

class Mer2IntMapTest : public ::testing::Test {
protected:
    void SetUp() override { SetMers(4, 1, 0); }

    MerStaticsGuard mMerGuard;
};

Sequence Record(const std::string& name, const std::string& bases) {
    Sequence seq;
    seq.mName = name;
    seq.mBases.assign(bases.begin(), bases.end());
    return seq;
}

std::map<std::string, int> Counts(const CountMap& m) {
    std::map<std::string, int> out;
    for (const auto& e : m.mCounts) out[e.first.ToString()] = e.second;
    return out;
}

std::string RevComp(const std::string& s) {
    std::string r(s.rbegin(), s.rend());
    for (char& c : r) c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : 'A';
    return r;
}

// Counts the clean windows of each text the slow way, one window at a time.
std::map<std::string, int> Expected(const std::vector<std::string>& texts, int k) {
    std::map<std::string, int> out;
    for (const std::string& t : texts) {
        for (int i = 0; i + k <= (int)t.size(); ++i) {
            std::string w = t.substr(i, k);
            bool clean = true;
            for (char& c : w) {
                c = (char)toupper((unsigned char)c);
                if (c != 'A' && c != 'C' && c != 'G' && c != 'T') clean = false;
            }
            if (!clean) continue;
            std::string rc = RevComp(w);
            ++out[rc < w ? rc : w];  // letter order A<C<G<T matches the 2-bit order
        }
    }
    return out;
}

TEST_F(Mer2IntMapTest, ContainsIsStrandBlind) {
    CountMap m;
    EXPECT_FALSE(m.Contains(Mer("AACG")));
    m.mCounts[Mer("AACG")] = 3;
    EXPECT_TRUE(m.Contains(Mer("AACG")));
    EXPECT_TRUE(m.Contains(Mer("CGTT")));
    EXPECT_FALSE(m.Contains(Mer("ACGT")));
}

TEST_F(Mer2IntMapTest, AddCountsCanonicalWindows) {
    CountMap m;
    Sequence r = Record("r1", "ACGTT");
    m.Add(r);
    EXPECT_EQ(Counts(m), (std::map<std::string, int>{{"ACGT", 1}, {"AACG", 1}}));
    EXPECT_EQ(m.mWindowCount, 2);

    Sequence rc = Record("r1rc", "AACGT");  // reverse complement of ACGTT
    m.Add(rc);
    EXPECT_EQ(Counts(m), (std::map<std::string, int>{{"ACGT", 2}, {"AACG", 2}}));
    EXPECT_EQ(m.mSequenceNames, (std::vector<std::string>{"r1", "r1rc"}));
}

TEST_F(Mer2IntMapTest, AddSkipsWindowsWithNonBasesAndShortRecords) {
    struct Case {
        const char* bases;
        std::map<std::string, int> counts;
    } cases[] = {
        {"ACGTNACGTA", {{"ACGT", 2}, {"CGTA", 1}}},
        {"acgtRacgt", {{"ACGT", 2}}},
        {"ACGTT-", {{"ACGT", 1}, {"AACG", 1}}},
        {"ACG", {}},
        {"", {}},
        {"NNNNNNNN", {}},
        {"AC\rGTACGT", {{"ACGT", 1}, {"GTAC", 1}, {"CGTA", 1}}},
    };
    for (const Case& c : cases) {
        CountMap m;
        Sequence r = Record("x", c.bases);
        m.Add(r);
        EXPECT_EQ(Counts(m), c.counts) << c.bases;
        EXPECT_EQ(m.mSequenceNames.size(), 1u) << "the name is kept even when nothing is counted";
    }
}

TEST_F(Mer2IntMapTest, AddMatchesWindowByWindowCounting) {
    std::mt19937 rng(11);
    for (int k : {1, 3, 11, 31, 32}) {
        SetMers(k, 1, 0);
        std::vector<std::string> texts;
        for (int t = 0; t < 4; ++t) {
            std::string s;
            for (int i = 0; i < 400; ++i) s += "ACGTacgtN"[rng() % (i % 50 < 45 ? 8 : 9)];
            texts.push_back(s);
        }
        CountMap m;
        for (const std::string& t : texts) {
            Sequence r = Record("t", t);
            m.Add(r);
        }
        EXPECT_EQ(Counts(m), Expected(texts, k)) << "k=" << k;
    }
}

TEST_F(Mer2IntMapTest, AddHonoursThinning) {
    Sequence r = Record("r", "ACGTTGCAAAGG");
    SetMers(4, 1, 1);
    CountMap none;
    none.Add(r);
    EXPECT_TRUE(none.mCounts.empty());
    EXPECT_EQ(none.mWindowCount, 0);

    SetMers(4, 2, 0);
    CountMap even;
    even.Add(r);
    std::map<std::string, int> want;
    for (const auto& e : Expected({"ACGTTGCAAAGG"}, 4))
        if (Mer(e.first.c_str()).mValue % 2 == 0) want.insert(e);
    EXPECT_FALSE(want.empty());
    EXPECT_EQ(Counts(even), want);
}

TEST_F(Mer2IntMapTest, AddStreamCountsEveryRecord) {
    std::istringstream in(">r1 first\nACG\nTT\n\n>r2\nAACGT\n>empty\n>r3\nacgt");
    CountMap m;
    m.Add(in);
    EXPECT_EQ(Counts(m), (std::map<std::string, int>{{"ACGT", 3}, {"AACG", 2}}));
    EXPECT_EQ(m.mSequenceNames, (std::vector<std::string>{"r1 first", "r2", "empty", "r3"}));
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.bad());
}

// Counting a stream line by line must match reading each record whole and
// adding it: the same counts in the same slot order (the distribution file's
// line order), windows, names and stream state.
TEST_F(Mer2IntMapTest, AddStreamMatchesWholeRecords) {
    const std::string cases[] = {
        "",
        "\n",
        "ACGTAC\nGTTG\n",                     // no header: a record without name
        "AC\n>r1\nACGTTG\n",                  // headerless lines, then a record
        ">r1\nAC\nGT\nT\nACCA\n>r2\nGGTACA",  // windows across lines, no final newline
        ">r1 x\r\nACGT \t\r\nTGCA\r\n",       // CR LF, trailing blanks stripped per line
        ">r1\nACGTNACGTA\nacgtt\n>\n>r3\n",   // N breaks a window; lower case; empty records
        std::string(">r1\nACGTACGT\nAC\0GT\nACGT\n",
                    24),                       // a NUL byte ends the record and the input
        ">r1\nAAAAAAAA\n\n\nAAAA\n>r1\nAAAA",  // empty lines; a repeated name
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        std::istringstream streamed(text), whole(text);
        CountMap byLine, byRecord;
        byLine.Add(streamed);
        FASTAFile reader;
        Sequence seq;
        do {
            reader.GetNextSequence(whole, seq);
            byRecord.Add(seq);
        } while (whole.good());
        std::vector<std::pair<std::uint64_t, int>> a, b;
        for (const auto& e : byLine.mCounts) a.emplace_back(e.first.mValue, e.second);
        for (const auto& e : byRecord.mCounts) b.emplace_back(e.first.mValue, e.second);
        EXPECT_EQ(a, b);
        EXPECT_EQ(byLine.mWindowCount, byRecord.mWindowCount);
        EXPECT_EQ(byLine.mSequenceNames, byRecord.mSequenceNames);
        EXPECT_EQ(streamed.rdstate(), whole.rdstate());
    }
}

TEST_F(Mer2IntMapTest, CountsSaturateInsteadOfWrapping) {
    CountMap m;
    m.mCounts[Mer("AAAA")] = INT_MAX - 1;
    Sequence r = Record("r", "AAAAAA");  // three windows AAAA
    m.Add(r);
    EXPECT_EQ(m.mCounts[Mer("TTTT")], INT_MAX);
    EXPECT_EQ(m.mWindowCount, 3);
}

}  // namespace
