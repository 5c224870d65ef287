#include <gtest/gtest.h>

#include <string>

#include "kmer/Mer.h"
#include "tests/TestFixtures.h"
#include "toolkit/Sequence.h"
#include "toolkit/Sequence3Bit.h"

namespace {

// Restores the process-wide k-mer length after each test.
class MerPacked : public testing::Test {
protected:
    static void Fill(Sequence3Bit& s, const std::string& text) {
        std::string copy = text;
        s.ConcatenateString(copy);
    }
    MerStaticsGuard mMerGuard;
};

TEST_F(MerPacked, CleanWindowGivesItsTwoBitCodes) {
    Mer::setMerSize(4);
    Sequence3Bit s;
    Fill(s, "ACGT");
    bool bad = true;
    Mer m(s, 0, bad);
    EXPECT_EQ(m.mValue, 0x1Bu);
    EXPECT_FALSE(bad);
    EXPECT_EQ(m.ToString(), "ACGT");

    // T and G keep Mer's codes (3 and 2), not the packed ones; the window may
    // cross a word boundary.
    Sequence3Bit t;
    Fill(t, "NNNNNNNNggTAcc");
    Mer w(t, 8, bad);
    EXPECT_FALSE(bad);
    EXPECT_EQ(w.ToString(), "GGTA");
    EXPECT_EQ(w.mValue, 0xACu);
}

TEST_F(MerPacked, NonBaseSetsBadAndIsNotShiftedIn) {
    Mer::setMerSize(4);
    struct Case {
        std::string text;
        std::uint64_t value;
    } cases[] = {
        {"ACXT", 0x07},  // A C T shifted into the initial 0
        {"ACNT", 0x07}, {"AC*T", 0x07}, {"AC-T", 0x07}, {"AC?T", 0x07}, {"NNNN", 0x00},
    };
    for (const Case& c : cases) {
        Sequence3Bit s;
        Fill(s, c.text);
        bool bad = false;
        Mer m(s, 0, bad);
        EXPECT_TRUE(bad) << c.text;
        EXPECT_EQ(m.mValue, c.value) << c.text;
    }
}

TEST_F(MerPacked, AgreesWithTheSequenceWindowOnEveryWindow) {
    const std::string text =
        "ACGTTGCAacgtNNACGTXGGATCCAT*GCATGCAAACCCGGGTTTacgtagctagNACGTAGCTAGGATCCAT";
    Sequence3Bit packed;
    Fill(packed, text);
    Sequence seq;
    seq.mBases.assign(text.begin(), text.end());
    for (int k : {1, 4, 13, 32}) {
        Mer::setMerSize(k);
        for (int start = 0; start + k <= static_cast<int>(text.size()); ++start) {
            bool badPacked = false, badSeq = false;
            Mer a(packed, start, badPacked);
            Mer b(seq, start, badSeq);
            EXPECT_EQ(a.mValue, b.mValue) << "k=" << k << " start=" << start;
            EXPECT_EQ(badPacked, badSeq) << "k=" << k << " start=" << start;
        }
    }
}

}  // namespace
