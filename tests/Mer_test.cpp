#include "kmer/Mer.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tests/TestFixtures.h"
#include "toolkit/Sequence.h"

namespace {

// The k-mer statics are process-wide: every test sets what it needs and the
// guard puts back what was set before it.
class MerTest : public ::testing::Test {
protected:
    void SetUp() override { SetK(4); }
    static void SetK(int k) { Mer::setMerSize(k); }

    MerStaticsGuard mMerGuard;
};

Sequence Record(const std::string& s) {
    Sequence seq;
    seq.mBases.assign(s.begin(), s.end());
    return seq;
}

std::string RevComp(const std::string& s) {
    std::string r(s.rbegin(), s.rend());
    for (char& c : r) c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : 'A';
    return r;
}

// Drives the clean walk the way the comparison engine does and records, after
// each call, the position returned and the k-mer.
std::vector<std::pair<int, std::string>> Walk(const std::string& text) {
    Sequence seq = Record(text);
    std::vector<std::pair<int, std::string>> out;
    Mer m;
    for (int idx = 0; idx < (int)text.size(); ++idx) {
        m.ShiftInClean(seq, idx);
        out.emplace_back(idx, m.ToString());
    }
    return out;
}

typedef std::vector<std::pair<int, std::string>> Steps;

TEST(MerStatics, StartUpValues) {
    EXPECT_EQ(Mer::mMerSize, 32);
    EXPECT_EQ(Mer::mThinFactor, 1);
    EXPECT_EQ(Mer::mThinSlice, 1);
    EXPECT_EQ(Mer::BITSUNUSED, 0);
    EXPECT_EQ(Mer::BASESUNUSED, 0);
    EXPECT_EQ(Mer().mValue, 0u);
}

TEST_F(MerTest, SetMerSizeDerivesUnusedCounts) {
    Mer::setMerSize(5);
    EXPECT_EQ(Mer::mMerSize, 5);
    EXPECT_EQ(Mer::BASESUNUSED, 27);
    EXPECT_EQ(Mer::BITSUNUSED, 54);
}

TEST_F(MerTest, CodesAndToString) {
    struct Case {
        const char* text;
        std::uint64_t value;
        const char* back;
    } cases[] = {
        {"ACGT", 27, "ACGT"},  {"acgt", 27, "ACGT"}, {"AAAA", 0, "AAAA"},
        {"TTTT", 255, "TTTT"}, {"AACG", 6, "AACG"},  {"GATC", 0x8D, "GATC"},
    };
    for (const Case& c : cases) {
        Mer m(c.text);
        EXPECT_EQ(m.mValue, c.value) << c.text;
        EXPECT_EQ(m.ToString(), c.back) << c.text;
    }
}

TEST_F(MerTest, SetSkipsNonBasesWithoutShifting) {
    // Four characters are read; the tab and the 5 are skipped.
    Mer m;
    m.set("ACG\t5");
    EXPECT_EQ(m.ToString(), "AACG");
    // set starts from 0 and reads exactly k characters, NUL included.
    const char text[] = {'T', '\0', 'G', 'G', 'C'};
    m.set(text);
    EXPECT_EQ(m.ToString(), "ATGG");
}

TEST_F(MerTest, ShiftInBitsKeepsOnlyKBases) {
    Mer m("ACGT");
    m.ShiftInBits(0);
    EXPECT_EQ(m.ToString(), "CGTA");
    m.ShiftInBase('g');
    EXPECT_EQ(m.ToString(), "GTAG");
    m.ShiftInBase('N');
    m.ShiftInBase('r');
    EXPECT_EQ(m.ToString(), "GTAG");
    EXPECT_LT(m.mValue, 256u);
}

TEST_F(MerTest, ReverseComplement) {
    Mer m("AACG");
    m.Reverse();
    EXPECT_EQ(m.ToString(), "CGTT");
    for (const char* pal : {"ACGT", "GATC"}) {
        Mer p(pal);
        p.Reverse();
        EXPECT_EQ(p.ToString(), pal);
    }
}

TEST_F(MerTest, ReverseMatchesTextReverseComplementForEveryLength) {
    std::mt19937 rng(7);
    for (int k : {1, 2, 3, 5, 15, 16, 17, 31, 32}) {
        SetK(k);
        for (int trial = 0; trial < 20; ++trial) {
            std::string s;
            for (int i = 0; i < k; ++i) s += "ACGT"[rng() % 4];
            Mer m(s.c_str());
            ASSERT_EQ(m.ToString(), s);
            m.Reverse();
            EXPECT_EQ(m.ToString(), RevComp(s)) << "k=" << k << " " << s;
            if (k < 32) {
                EXPECT_EQ(m.mValue >> (2 * k), 0u) << "bits above 2k must stay clear";
            }
            m.Reverse();
            EXPECT_EQ(m.ToString(), s);
        }
    }
}

TEST_F(MerTest, CanonicalValue) {
    EXPECT_EQ(MerSymmetricHashF::canonicalValue(Mer("CGTT")).mValue, 6u);
    EXPECT_EQ(MerSymmetricHashF::canonicalValue(Mer("AACG")).mValue, 6u);
    EXPECT_EQ(MerSymmetricHashF().canonicalValue(Mer("ACGT")).ToString(), "ACGT");
    EXPECT_EQ(MerSymmetricHashF::canonicalValue(Mer("TTTT")).ToString(), "AAAA");
}

TEST_F(MerTest, ThinningRules) {
    struct Rule {
        int factor, slice;
    } rules[] = {{1, 1}, {1, 0}, {2, 0}, {2, 1}, {3, 2}, {5, 7}, {4, -1}};
    for (const Rule& r : rules) {
        Mer::mThinFactor = r.factor;
        Mer::mThinSlice = r.slice;
        for (std::uint64_t v = 0; v < 256; ++v) {
            Mer m;
            m.mValue = v;
            Mer rc = m;
            rc.Reverse();
            std::uint64_t canon = rc.mValue < v ? rc.mValue : v;
            bool excluded = (long long)(canon % (std::uint64_t)r.factor) != r.slice;
            EXPECT_EQ(m.isThinned(), excluded) << r.factor << "," << r.slice << " v=" << v;
            EXPECT_EQ(m.isThinned(rc), excluded);
            EXPECT_EQ(rc.isThinned(), excluded) << "a k-mer and its reverse complement agree";
        }
    }
    // The start-up rule (1, 1) excludes everything, (1, 0) nothing, (2, 0) the odd ones.
    Mer::mThinFactor = 1;
    Mer::mThinSlice = 1;
    EXPECT_TRUE(Mer("ACGT").isThinned());
    Mer::mThinSlice = 0;
    EXPECT_FALSE(Mer("ACGT").isThinned());
    Mer::mThinFactor = 2;
    EXPECT_FALSE(Mer("CGTT").isThinned());  // canonical AACG = 6
    EXPECT_TRUE(Mer("ACGT").isThinned());   // 27
    // A factor of 0 has no modulus: every k-mer is excluded, none divides by zero.
    Mer::mThinFactor = 0;
    EXPECT_TRUE(Mer("AAAA").isThinned());
    EXPECT_TRUE(Mer("ACGT").isThinned(Mer("ACGT")));
}

TEST_F(MerTest, ThinningUsesTheSuppliedReverseComplement) {
    Mer::mThinFactor = 2;
    Mer::mThinSlice = 0;
    Mer m("ACGT");  // 27, odd
    Mer fake;       // 0, even: not recomputed, so it decides
    EXPECT_FALSE(m.isThinned(fake));
    EXPECT_TRUE(m.isThinned());
}

TEST_F(MerTest, CleanWalks) {
    struct Case {
        const char* record;
        Steps steps;  // the (idx, k-mer) pairs while idx stays inside the record
    } cases[] = {
        {"NACGTTGCA", {{4, "ACGT"}, {5, "CGTT"}, {6, "GTTG"}, {7, "TTGC"}, {8, "TGCA"}}},
        {"ACGNACGT", {{7, "ACGT"}}},
        {"ACRGTA", {{3, "AACG"}, {4, "ACGT"}, {5, "CGTA"}}},
    };
    for (const Case& c : cases) {
        Steps got = Walk(c.record);
        EXPECT_EQ(got, c.steps) << c.record;
    }
}

TEST_F(MerTest, CleanWalkEndsWhenNoWindowFits) {
    Sequence seq = Record("ACGTNACG");
    Mer m;
    int idx = 0;
    m.ShiftInClean(seq, idx);
    EXPECT_EQ(idx, 3);
    EXPECT_EQ(m.ToString(), "ACGT");
    idx = 4;
    m.ShiftInClean(seq, idx);  // meets N: end = 9 > 8
    EXPECT_EQ(idx, 8);
    EXPECT_EQ(Walk("ACGTNACG"), (Steps{{3, "ACGT"}, {8, "ACGT"}}));
}

TEST_F(MerTest, InitOnARecordShorterThanKEndsTheWalk) {
    Sequence seq = Record("ACG");
    Mer m;
    int idx = 0;
    m.InitWithFirstCleanMer(seq, idx);
    EXPECT_GE(idx, 3);
}

TEST_F(MerTest, UncleanCharactersRestartTheWindowCleanOnesAreSkipped) {
    // Bit 0x08 set: the window restarts after the character.
    for (char c :
         {'N', 'n', 'X', 'x', 'H', 'M', 'Y', '8', '9', '\t', '\n', '\r', '-', '.', '*', '>', '_'}) {
        EXPECT_EQ(Walk(std::string("ACGT") + c + "TTTT"), (Steps{{3, "ACGT"}, {8, "TTTT"}}))
            << "char " << (int)c;
    }
    // Clean non-bases are skipped: the k-mer keeps its value while idx advances.
    for (char c : {'R', 'r', 'B', 'D', 'U', 'W', '0', '7', ' ', '!', '$'}) {
        EXPECT_EQ(Walk(std::string("ACGT") + c + "TT"),
                  (Steps{{3, "ACGT"}, {4, "ACGT"}, {5, "CGTT"}, {6, "GTTT"}}))
            << "char " << (int)c;
    }
}

TEST_F(MerTest, LengthOne) {
    SetK(1);
    Mer m("G");
    EXPECT_EQ(m.mValue, 2u);
    m.ShiftInBase('T');
    EXPECT_EQ(m.ToString(), "T");
    EXPECT_EQ(m.mValue, 3u);
    m.Reverse();
    EXPECT_EQ(m.ToString(), "A");
    EXPECT_EQ(Walk("ANC"), (Steps{{0, "A"}, {2, "C"}}));
}

TEST_F(MerTest, LengthThirtyTwoUsesAllBits) {
    SetK(32);
    std::string s;
    for (int i = 0; i < 8; ++i) s += "ACGT";
    Mer m(s.c_str());
    EXPECT_EQ(m.mValue, 0x1B1B1B1B1B1B1B1BULL);
    EXPECT_EQ(MerHashF()(m), 0u);
    EXPECT_EQ(m.ToString(), s);
    m.ShiftInBase('A');
    EXPECT_EQ(m.ToString(), s.substr(1) + "A");
    m.mValue = ~0ULL;
    m.Reverse();
    EXPECT_EQ(m.mValue, 0u);
}

TEST_F(MerTest, HashFunctors) {
    Mer a("AAAA"), t("TTTT"), g("GGGG");
    MerHashF exact;
    MerSymmetricHashF sym;
    EXPECT_FALSE(exact(a, t));
    EXPECT_NE(exact(a), exact(t));
    EXPECT_TRUE(sym(a, t));
    EXPECT_TRUE(sym(t, a));
    EXPECT_EQ(sym(a), 0u);
    EXPECT_EQ(sym(t), 0u);
    EXPECT_FALSE(sym(a, g));
    EXPECT_TRUE(exact(g, Mer("GGGG")));

    SetK(20);
    Mer big("TTTTTTTTTTTTTTTTGGGG");  // both halves in use
    EXPECT_EQ(exact(big),
              (std::size_t)((std::uint32_t)(big.mValue >> 32) ^ (std::uint32_t)big.mValue));

    // In a map, the strand-blind functor makes a k-mer and its reverse complement one key.
    SetK(4);
    std::unordered_map<Mer, int, MerSymmetricHashF, MerSymmetricHashF> strandBlind;
    std::unordered_map<Mer, int, MerHashF, MerHashF> exactMap;
    for (const char* s : {"AACG", "CGTT", "ACGT"}) {
        ++strandBlind[Mer(s)];
        ++exactMap[Mer(s)];
    }
    EXPECT_EQ(strandBlind.size(), 2u);
    EXPECT_EQ(strandBlind[Mer("CGTT")], 2);
    EXPECT_EQ(exactMap.size(), 3u);
}

TEST_F(MerTest, FlaggedWindowConstructor) {
    Sequence seq = Record("ACNGTacgt");
    bool bad = true;
    Mer clean(seq, 5, bad);
    EXPECT_FALSE(bad);
    EXPECT_EQ(clean.ToString(), "ACGT");
    Mer dirty(seq, 0, bad);
    EXPECT_TRUE(bad);
    EXPECT_EQ(dirty.ToString(), "AACG");  // N not shifted in: the other three bases
}

TEST_F(MerTest, UnflaggedWindowConstructorReportsEachNonBase) {
    Sequence seq = Record("ANCRG");
    std::ostringstream err;
    std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
    Mer m(seq, 0);
    std::cerr.rdbuf(old);
    EXPECT_EQ(m.ToString(), "AAAC");
    EXPECT_EQ(err.str(),
              "Mer(Seq,int) ILLEGAL CHARACTER: N from: ANCRG\n"
              "Mer(Seq,int) ILLEGAL CHARACTER: R from: ANCRG\n");
}

}  // namespace
