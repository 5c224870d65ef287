#include "toolkit/Sequence.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

Sequence Seq(const std::string& bases, const std::string& name = "", const std::string& desc = "") {
    Sequence s;
    s.mBases.assign(bases.begin(), bases.end());
    s.mName = name;
    s.mDescription = desc;
    return s;
}

std::string Str(const Sequence& s) { return std::string(s.mBases.begin(), s.mBases.end()); }

SequenceQuality Qual(const std::vector<int>& values, const std::string& name = "",
                     const std::string& desc = "") {
    SequenceQuality q;
    q.mQuality = values;
    q.mName = name;
    q.mDescription = desc;
    return q;
}

// A collection of records made only of 'A's with the given sizes.
SequenceVector WithSizes(const std::vector<int>& sizes) {
    SequenceVector v;
    for (int n : sizes) v.push_back(Seq(std::string(n, 'A')));
    return v;
}

// An output buffer that remembers what had been written at each flush.
class FlushLog : public std::stringbuf {
public:
    std::vector<std::string> flushes;

protected:
    int sync() override {
        flushes.push_back(str());
        return 0;
    }
};

}  // namespace

// ------------------------------------------------------------- the record

TEST(SequenceRecord, CopyIsIndependentOfSource) {
    Sequence empty;
    Sequence emptyCopy(empty);
    EXPECT_TRUE(emptyCopy.mBases.empty() && emptyCopy.mName.empty() &&
                emptyCopy.mDescription.empty() && emptyCopy.mPadded2Depadded.empty() &&
                emptyCopy.mDepadded2Padded.empty());

    Sequence src = Seq("A-C", "n", "d");
    src.ComputeDepadded2Padded();
    Sequence copy(src);
    Sequence assigned;
    assigned = src;
    for (Sequence* c : {&copy, &assigned}) {
        EXPECT_EQ(Str(*c), "A-C");
        EXPECT_EQ(c->mName, "n");
        EXPECT_EQ(c->mDescription, "d");
        EXPECT_EQ(c->mPadded2Depadded, src.mPadded2Depadded);
        EXPECT_EQ(c->mDepadded2Padded, src.mDepadded2Padded);
        c->mBases[0] = 'T';
        c->mName = "x";
        c->mDescription = "y";
    }
    EXPECT_EQ(Str(src), "A-C");
    EXPECT_EQ(src.mName, "n");
    EXPECT_EQ(src.mDescription, "d");
}

TEST(SequenceRecord, CharacterClassesOverEveryByte) {
    const std::string strict = "ACGTacgt";
    const std::string nx = "ACGTNXacgtnx";
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        EXPECT_EQ(Sequence::IsBase(c), strict.find(c) != std::string::npos) << b;
        EXPECT_EQ(Sequence::IsBaseNX(c), b != 0 && nx.find(c) != std::string::npos) << b;
    }
    const std::string from = "ACGTacgtNnXxU-*R";
    const std::string to = "TGCAtgcaNnXxU-*R";
    for (size_t i = 0; i < from.size(); ++i)
        EXPECT_EQ(Sequence::ComplementBase(from[i]), to[i]) << from[i];
}

TEST(SequenceRecord, UpperCaseBitTest) {
    struct Case {
        const char* bases;
        bool expected;
    };
    const Case cases[] = {
        {"ACGT", true},  {"ACGt", false},       {"ACGN", false},
        {"ACGX", false}, {"BDEFPQRSUVW", true},  // only bits 0x08 and 0x20 are looked at
        {"AC1", false},  {"A C", false},        {"", true},
    };
    for (const Case& c : cases) {
        Sequence s = Seq(c.bases);
        EXPECT_EQ(s.OnlyUpperCaseBases(), c.expected) << c.bases;
    }
    Sequence s = Seq("acGTn");
    EXPECT_TRUE(s.OnlyUpperCaseBases(2, 2));
    EXPECT_FALSE(s.OnlyUpperCaseBases(2, 3));
    EXPECT_TRUE(s.OnlyUpperCaseBases(0, 0));
}

TEST(SequenceRecord, StrictBaseContentTests) {
    Sequence mixed = Seq("ACGTacgt");
    EXPECT_TRUE(mixed.ContainsOnlyBasesSafe());
    Sequence withN = Seq("ACGN");
    EXPECT_FALSE(withN.ContainsOnlyBasesSafe());
    EXPECT_TRUE(withN.ContainsOnlyBasesSafe(0, 3));
    EXPECT_TRUE(withN.ContainsNonBaseSafe(0, 4));
    EXPECT_FALSE(withN.ContainsNonBaseSafe(0, 3));
    EXPECT_FALSE(withN.ContainsNonBaseSafe(3, 0));
    EXPECT_TRUE(withN.ContainsOnlyBasesSafe(3, 0));
    Sequence empty;
    EXPECT_TRUE(empty.ContainsOnlyBasesSafe());
    Sequence lower = Seq("acgt");
    EXPECT_FALSE(lower.ContainsNonBaseSafe(0, 4));
}

TEST(SequenceRecord, EditsInPlace) {
    Sequence s = Seq("ACGTNXacgtnx-*", "n", "d");
    s.ComputePadded2Depadded();
    const std::vector<int> map = s.mPadded2Depadded;
    s.Nify();
    EXPECT_EQ(Str(s), "ACGTnnacgtnnnn");
    EXPECT_EQ(s.mPadded2Depadded, map);  // edits never touch the maps
    EXPECT_EQ(s.mName, "n");
    EXPECT_EQ(s.mDescription, "d");

    struct Case {
        const char* bases;
        void (Sequence::*edit)();
        const char* expected;
    };
    const Case cases[] = {
        {"AaCcGgTtNn-*", &Sequence::Complement, "TtGgCcAaNn-*"},
        {"AACGt", &Sequence::ReverseComplement, "aCGTT"},
        {"AACG", &Sequence::Reverse, "GCAA"},
    };
    for (const Case& c : cases) {
        Sequence r = Seq(c.bases);
        (r.*c.edit)();
        EXPECT_EQ(Str(r), c.expected) << c.bases;
    }

    Sequence cs = Seq("acgT-\xe9z");
    cs.ToUpperCase();
    EXPECT_EQ(Str(cs), "ACGT-\xe9Z");
    cs.ToLowerCase();
    EXPECT_EQ(Str(cs), "acgt-\xe9z");
}

TEST(SequenceRecord, TrimBounds) {
    struct Case {
        long left, right;
        const char* expected;
    };
    const Case cases[] = {
        {1, 5, "XXGTAXXX"},    {-1, 8, "ACGTACGT"},   // right at the length: nothing at the back
        {-1, 100, "ACGTACGT"}, {-1, -1, "ACGTACGT"},  // negative right compares as unsigned
        {3, 2, "XXXXXXXX"},                           // right <= left + 1: everything
        {3, 4, "XXXXXXXX"},    {0, 7, "XCGTACGX"},   {-1, 0, "XXXXXXXX"},
    };
    for (const Case& c : cases) {
        Sequence s = Seq("ACGTACGT");
        s.Trim(c.left, c.right);
        EXPECT_EQ(Str(s), c.expected) << c.left << "," << c.right;
    }
}

TEST(SequenceRecord, ComputeGCStats) {
    struct Case {
        const char* bases;
        int length, gc, cpg;
        const char* after;
    };
    const Case cases[] = {
        {"ACGCG", 5, 4, 2, "acgcg"}, {"GC", 2, 2, 0, "gc"},           {"C", 1, 1, 0, "c"},
        {"", 0, 0, 0, ""},           {"cGcgNCG", 7, 6, 3, "cgcgncg"}, {"CCGG", 4, 4, 1, "ccgg"},
    };
    for (const Case& c : cases) {
        Sequence s = Seq(c.bases);
        int length = -7, gc = -7, cpg = -7;
        s.ComputeGCStats(length, gc, cpg);
        EXPECT_EQ(length, c.length) << c.bases;
        EXPECT_EQ(gc, c.gc) << c.bases;
        EXPECT_EQ(cpg, c.cpg) << c.bases;
        EXPECT_EQ(Str(s), c.after) << c.bases;
    }
}

TEST(SequenceRecord, CopyOutAndPrinting) {
    Sequence s = Seq("ACG", "r1", "len 3");
    std::string out = "xy";
    s.CopyToString(out);
    EXPECT_EQ(out, "xyACG");
    char buf[5] = {'?', '?', '?', '?', '?'};
    s.CopyToCString(buf);
    EXPECT_EQ(std::string(buf, 5), std::string("ACG\0?", 5));

    std::ostringstream p;
    s.Print(p);
    EXPECT_EQ(p.str(), "r1 len 3\nACG\n");
    std::ostringstream blank;
    Sequence empty;
    empty.Print(blank);
    EXPECT_EQ(blank.str(), " \n\n");

    // Only the header line is flushed.
    FlushLog log;
    std::ostream logged(&log);
    s.Print(logged);
    EXPECT_EQ(log.flushes, (std::vector<std::string>{"r1 len 3\n"}));

    std::ostringstream ps, op;
    empty.PrintSeq(ps);
    EXPECT_EQ(ps.str(), "\n");
    op << empty << "|" << s;
    EXPECT_EQ(op.str(), "|ACG");
}

TEST(SequenceRecord, InitialisingAndAppending) {
    Sequence s = Seq("TT");
    std::string text = " AC G\t\n";
    s.InitFromString(text);
    EXPECT_EQ(Str(s), "TTACG");
    EXPECT_EQ(text, "ACG");
    std::string crlf = "A\rC";  // a carriage return is kept
    Sequence cr;
    cr.InitFromString(crlf);
    EXPECT_EQ(Str(cr), "A\rC");

    Sequence c = Seq("TTTT");
    c.InitFromCString("ACG");
    EXPECT_EQ(Str(c), "ACG");
    char mutableText[] = "GG";
    c.InitFromCString(mutableText);
    EXPECT_EQ(Str(c), "GG");
    c.ConcatenateCString(mutableText);
    EXPECT_EQ(Str(c), "GGGG");

    std::string spaced = "A C";
    Sequence t = Seq("T");
    t.ConcatenateString(spaced);
    EXPECT_EQ(Str(t), "TA C");

    std::string ws = "A C\tG\n";
    Sequence nws = Seq("T");
    nws.ConcatenateNonWhiteSpace(ws);
    EXPECT_EQ(Str(nws), "TACG");
    std::string onlyWs = " \t\n";
    Sequence emptyNws;
    emptyNws.ConcatenateNonWhiteSpace(onlyWs);
    EXPECT_TRUE(emptyNws.mBases.empty());

    std::string unsafe = "AxC";
    Sequence safe = Seq("G");
    safe.ConcatenateStringSafe(unsafe);
    EXPECT_EQ(Str(safe), std::string("GA\0C", 4));

    Sequence self = Seq("AC");
    self.Concatenate(self);
    EXPECT_EQ(Str(self), "ACAC");
}

// ------------------------------------------------------ coordinate maps

TEST(SequenceCoordinates, MapsWithInnerPads) {
    Sequence s = Seq("A-C*G");
    EXPECT_EQ(s.Padded2Depadded(1), 1);
    EXPECT_EQ(s.mPadded2Depadded, (std::vector<int>{1, 1, 2, 2, 3}));
    struct Conv {
        int in, out;
    };
    for (Conv c : {Conv{3, 2}, Conv{-1, 0}, Conv{-3, -2}, Conv{5, 4}, Conv{7, 6}, Conv{0, 1}})
        EXPECT_EQ(s.Padded2Depadded(c.in), c.out) << c.in;

    EXPECT_EQ(s.Depadded2Padded(1), 0);
    EXPECT_EQ(s.mDepadded2Padded, (std::vector<int>{0, 0, 2, 4}));
    for (Conv c : {Conv{2, 2}, Conv{3, 4}, Conv{4, 5}, Conv{0, -1}, Conv{-2, -3}})
        EXPECT_EQ(s.Depadded2Padded(c.in), c.out) << c.in;

    for (int p : {0, 2, 4}) EXPECT_EQ(s.Depadded2Padded(s.Padded2Depadded(p)), p);
}

TEST(SequenceCoordinates, ConversionsHoldAtIntRange) {
    // Past either end the conversions continue linearly; a result beyond the
    // int range is held at its limit instead of wrapping to the other end.
    Sequence s = Seq("ACG");
    EXPECT_EQ(s.Padded2Depadded(INT_MAX), INT_MAX);
    EXPECT_EQ(s.Depadded2Padded(INT_MIN), INT_MIN);
    Sequence lead = Seq("--A");  // base 1 sits at position 2
    EXPECT_EQ(lead.Depadded2Padded(INT_MAX), INT_MAX);
    Sequence empty;
    EXPECT_EQ(empty.Padded2Depadded(INT_MAX), INT_MAX);
    EXPECT_EQ(empty.Depadded2Padded(INT_MIN), INT_MIN);
}

TEST(SequenceCoordinates, LeadingPadsAndPadsOnly) {
    Sequence lead = Seq("--AC");
    lead.ComputeDepadded2Padded();
    EXPECT_EQ(lead.mPadded2Depadded, (std::vector<int>{0, 0, 1, 2}));
    EXPECT_EQ(lead.mDepadded2Padded, (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(lead.Padded2Depadded(0), 0);

    Sequence pads = Seq("--");
    EXPECT_EQ(pads.Depadded2Padded(3), 3);
    EXPECT_EQ(pads.mDepadded2Padded, (std::vector<int>{0}));
    EXPECT_EQ(pads.Padded2Depadded(1), 0);
}

TEST(SequenceCoordinates, RecordWithoutCharacters) {
    Sequence s;
    for (int v : {-3, -1, 0, 1, 5}) {
        EXPECT_EQ(s.Padded2Depadded(v), v + 1) << v;
        EXPECT_EQ(s.Depadded2Padded(v), v - 1) << v;
    }
    s.ComputeDepadded2Padded();
    EXPECT_EQ(s.mDepadded2Padded, (std::vector<int>{0}));
    EXPECT_TRUE(s.mPadded2Depadded.empty());
}

TEST(SequenceCoordinates, StaleAndRebuiltMaps) {
    Sequence s = Seq("A-CC");
    EXPECT_EQ(s.Padded2Depadded(1), 1);
    EXPECT_EQ(s.Depadded2Padded(2), 2);
    s.Reverse();  // 'CC-A': same length, so both maps stay stale
    EXPECT_EQ(s.Padded2Depadded(1), 1);
    EXPECT_EQ(s.mPadded2Depadded, (std::vector<int>{1, 1, 2, 3}));
    // A direct rebuild of the depadded map reads the stale padded map as it is.
    Sequence stale = s;
    stale.ComputeDepadded2Padded();
    EXPECT_EQ(stale.mPadded2Depadded, (std::vector<int>{1, 1, 2, 3}));
    EXPECT_EQ(stale.mDepadded2Padded, (std::vector<int>{0, 0, 2, 3}));

    std::string g = "G";
    s.ConcatenateString(g);  // 'CC-AG': the length changed
    EXPECT_EQ(s.Padded2Depadded(1), 2);
    EXPECT_EQ(s.mPadded2Depadded, (std::vector<int>{1, 2, 2, 3, 4}));
    // The depadded map is only built while empty.
    EXPECT_EQ(s.mDepadded2Padded, (std::vector<int>{0, 0, 2, 3}));
    EXPECT_EQ(s.Depadded2Padded(2), 2);

    s.ComputeDepadded2Padded();
    EXPECT_EQ(s.mDepadded2Padded, (std::vector<int>{0, 0, 1, 3, 4}));
    EXPECT_EQ(s.Depadded2Padded(2), 1);

    s.depad();
    EXPECT_EQ(s.Depadded2Padded(2), 1);
    EXPECT_EQ(s.mDepadded2Padded, (std::vector<int>{0, 0, 1, 2, 3}));
}

TEST(SequenceCoordinates, Depad) {
    Sequence s = Seq("A-C*G", "n", "d");
    s.ComputeDepadded2Padded();
    s.depad();
    EXPECT_EQ(Str(s), "ACG");
    EXPECT_EQ(s.mName, "n");
    EXPECT_EQ(s.mDescription, "d");
    EXPECT_TRUE(s.mPadded2Depadded.empty());
    EXPECT_TRUE(s.mDepadded2Padded.empty());
}

// --------------------------------------------------------- sub-sequences

TEST(SequenceSubSequence, ClampsAndRecordsRange) {
    struct Case {
        long start, end;
        const char* bases;
        const char* desc;
    };
    const Case cases[] = {
        {2, 4, "GTA", "d[3,5]"},      {-5, 2, "ACG", "d[1,3]"},
        {6, 100, "GT", "d[7,8]"},     {6, 8, "GT", "d[7,8]"},  // end just past the last character
        {0, 7, "ACGTACGT", "d[1,8]"}, {5, 2, "", "own"},
        {0, -1, "", "own"},           {9, 12, "", "own"},
    };
    Sequence src = Seq("ACGTACGT", "n", "d");
    for (const Case& c : cases) {
        Sequence out = Seq("TTTTTTTTTTTT", "ownName", "own");
        src.GetSubSequence(out, c.start, c.end);
        EXPECT_EQ(Str(out), c.bases) << c.start << "," << c.end;
        EXPECT_EQ(out.mDescription, c.desc) << c.start << "," << c.end;
        EXPECT_EQ(out.mName, std::string(c.bases).empty() ? "ownName" : "n");
    }
    EXPECT_EQ(Str(src), "ACGTACGT");

    Sequence self = Seq("ACGT", "n", "d");
    self.GetSubSequence(self, 1, 2);
    EXPECT_TRUE(self.mBases.empty());
    EXPECT_EQ(self.mName, "n");
    EXPECT_EQ(self.mDescription, "d");
}

// --------------------------------------------------------------- searches

TEST(SequenceSearch, FindFamily) {
    Sequence s = Seq("ACGACG");
    Sequence cg = Seq("CG");
    EXPECT_EQ(s.Find(cg), 1);
    long from = 0;
    EXPECT_EQ(s.Find(cg, from), 1);
    EXPECT_EQ(from, 2);
    EXPECT_EQ(s.Find(cg, from), 4);
    EXPECT_EQ(from, 5);
    EXPECT_EQ(s.Find(cg, from), -1);
    EXPECT_EQ(from, 5);

    Sequence aaaa = Seq("AAAA");
    Sequence aa = Seq("AA");
    long f = 0;
    std::vector<int> hits;
    for (int p; (p = aaaa.Find(aa, f)) >= 0;) hits.push_back(p);
    EXPECT_EQ(hits, (std::vector<int>{0, 1, 2}));

    Sequence upper = Seq("ACG");
    Sequence lower = Seq("acg");
    EXPECT_EQ(upper.Find(lower), -1);
    Sequence empty;
    EXPECT_EQ(upper.Find(empty), 0);
    long atEnd = 3;
    EXPECT_EQ(upper.Find(empty, atEnd), -1);
    long mid = 2;
    EXPECT_EQ(upper.Find(empty, mid), 2);
    EXPECT_EQ(empty.Find(empty), -1);
    EXPECT_EQ(empty.Find(upper), -1);

    Sequence piece = Seq("TTGAC");
    EXPECT_EQ(s.Find(piece.mBases.begin() + 2, piece.mBases.begin() + 4), 2);
}

TEST(SequenceSearch, FindEndOfBothStrands) {
    Sequence rec = Seq("TTACGTT");
    bool reversed = true;
    EXPECT_EQ(rec.FindEndOf(Seq("ACG"), reversed), 4);
    EXPECT_FALSE(reversed);

    Sequence r2 = Seq("GGTTACC");
    Sequence tag = Seq("GTAA");
    reversed = false;
    EXPECT_EQ(r2.FindEndOf(tag, reversed), 5);
    EXPECT_TRUE(reversed);
    EXPECT_EQ(Str(r2), "ggttacc");
    EXPECT_EQ(Str(tag), "GTAA");  // passed by value

    bool untouched = true;
    EXPECT_EQ(r2.FindEndOf(Seq("CCCC"), untouched), -1);
    EXPECT_TRUE(untouched);
    untouched = false;
    EXPECT_EQ(r2.FindEndOf(Seq("CCCC"), untouched), -1);
    EXPECT_FALSE(untouched);

    bool emptyTag = false;
    EXPECT_EQ(r2.FindEndOf(Sequence(), emptyTag), -1);
    EXPECT_TRUE(emptyTag);
}

TEST(SequenceSearch, FindEndOfTagForward) {
    Sequence rec = Seq("GGACGTT");
    Sequence tag = Seq("TTACG");
    long pos = -9;
    bool reversed = true;
    rec.FindEndOfTag(tag, 2, 5, pos, reversed);
    EXPECT_EQ(pos, 5);
    EXPECT_FALSE(reversed);
    EXPECT_EQ(Str(tag), "ttacg");

    Sequence rec2 = Seq("GGACGTT");
    Sequence tag2 = Seq("TTACG");
    pos = -9;
    reversed = true;
    rec2.FindEndOfTag(tag2, 2, 6, pos, reversed);
    EXPECT_EQ(pos, -9);
    EXPECT_FALSE(reversed);
    EXPECT_EQ(Str(tag2), "TTACG");
    EXPECT_EQ(Str(rec2), "GGACGTT");
}

TEST(SequenceSearch, FindEndOfTagReverseSearchesMirrorPiece) {
    // Tag 'AACGG' reverse-complemented is 'ccgtt'; the piece 0..1 ('aa')
    // mirrors to 3..4 ('tt'), and the piece 3..4 ('gg') to 0..1 ('cc'),
    // which is where a piece ending at the tag's end must stay inside it.
    struct Case {
        const char* rec;
        int start, end;
        long pos;
        bool reversed;
    };
    const Case cases[] = {
        {"GGTTG", 0, 2, 4, true},
        {"AACCA", 3, 5, 4, true},
        {"CCGTT", 0, 5, 5, true},
        {"GGGGG", 0, 2, -1, true},
    };
    for (const Case& c : cases) {
        Sequence rec = Seq(c.rec);
        Sequence tag = Seq("AACGG");
        long pos = -9;
        bool reversed = false;
        rec.FindEndOfTag(tag, c.start, c.end, pos, reversed);
        EXPECT_EQ(pos, c.pos) << c.rec;
        EXPECT_EQ(reversed, c.reversed) << c.rec;
        EXPECT_EQ(Str(tag), "aacgg") << c.rec;
    }
}

// --------------------------------------------------------- quality record

TEST(SequenceQualityRecord, Phred20SearchesReturnOtherEnd) {
    SequenceQuality q = Qual({5, 25, 10, 30, 2});
    EXPECT_EQ(q.FindPhred20(0), 1);
    EXPECT_EQ(q.FindPhred20(2), 3);
    EXPECT_EQ(q.FindPhred20(4), 4);
    EXPECT_EQ(q.FindPhred20(-1), 4);  // negative from is a huge unsigned one
    EXPECT_EQ(q.RFindPhred20(), 3);
    EXPECT_EQ(q.RFindPhred20(2), 1);
    EXPECT_EQ(q.RFindPhred20(-1), 0);
    EXPECT_EQ(q.CountPhred20(), 2);

    SequenceQuality low = Qual({5, 10});
    EXPECT_EQ(low.FindPhred20(0), 1);
    EXPECT_EQ(low.RFindPhred20(), 0);

    SequenceQuality none;
    EXPECT_EQ(none.FindPhred20(0), -1);
    EXPECT_EQ(none.RFindPhred20(), 0);
    EXPECT_EQ(none.CountPhred20(), 0);

    SequenceQuality edge = Qual({19, 20, -25});
    EXPECT_EQ(edge.CountPhred20(), 1);
    EXPECT_EQ(edge.FindPhred20(0), 1);
}

TEST(SequenceQualityRecord, EditsAndCuts) {
    struct Case {
        long left, right;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {1, 4, {0, 0, 3, 4, 0, 0}},
        {-1, 6, {1, 2, 3, 4, 5, 6}},
        {-1, -1, {1, 2, 3, 4, 5, 6}},
        {3, 2, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SequenceQuality q = Qual({1, 2, 3, 4, 5, 6});
        q.Trim(c.left, c.right);
        EXPECT_EQ(q.mQuality, c.expected) << c.left << "," << c.right;
    }

    SequenceQuality r = Qual({1, 2, 3}, "n", "d");
    r.Reverse();
    EXPECT_EQ(r.mQuality, (std::vector<int>{3, 2, 1}));
    SequenceQuality self = Qual({1, 2});
    self.Concatenate(self);
    EXPECT_EQ(self.mQuality, (std::vector<int>{1, 2, 1, 2}));

    struct Cut {
        long start, end;
        std::vector<int> values;
        const char* desc;
    };
    const Cut cuts[] = {
        {1, 3, {8, 7, 6}, "x[2,4]"},
        {-3, 99, {9, 8, 7, 6, 5}, "x[1,5]"},
        {3, 1, {}, "own"},
        {0, -1, {}, "own"},
    };
    SequenceQuality src = Qual({9, 8, 7, 6, 5}, "q1", "x");
    for (const Cut& c : cuts) {
        SequenceQuality out = Qual({1, 1}, "ownName", "own");
        src.GetSubSequence(out, c.start, c.end);
        EXPECT_EQ(out.mQuality, c.values) << c.start << "," << c.end;
        EXPECT_EQ(out.mDescription, c.desc);
        EXPECT_EQ(out.mName, c.values.empty() ? "ownName" : "q1");
    }
    SequenceQuality ten = Qual(std::vector<int>(10, 1), "", "read7");
    SequenceQuality out;
    ten.GetSubSequence(out, 0, 9);
    EXPECT_EQ(out.mDescription, "read7[1,10]");
    ten.GetSubSequence(ten, 0, 9);
    EXPECT_TRUE(ten.mQuality.empty());
    EXPECT_EQ(ten.mDescription, "read7");
}

TEST(SequenceQualityRecord, PrintLayout) {
    auto printed = [](const std::vector<int>& values) {
        std::ostringstream os;
        Qual(values, "q", "d").Print(os);
        return os.str();
    };
    EXPECT_EQ(printed({20, 30}), ">q d\n20 30 \n");
    EXPECT_EQ(printed({7}), ">q d\n7 \n");
    EXPECT_EQ(printed({}), ">q d\n\n");

    auto line = [](int from, int to) {
        std::string s;
        for (int i = from; i < to; ++i) s += std::to_string(i) + " ";
        return s + "\n";
    };
    auto count = [](int n) {
        std::vector<int> v;
        for (int i = 0; i < n; ++i) v.push_back(i);
        return v;
    };
    // 51 values on the first line, 50 on each further one, one final newline.
    EXPECT_EQ(printed(count(51)), ">q d\n" + line(0, 51));
    EXPECT_EQ(printed(count(52)), ">q d\n" + line(0, 51) + line(51, 52));
    EXPECT_EQ(printed(count(101)), ">q d\n" + line(0, 51) + line(51, 101));
    EXPECT_EQ(printed(count(102)), ">q d\n" + line(0, 51) + line(51, 101) + line(101, 102));
}

// ------------------------------------------------------------ collections

TEST(SequenceCollection, GrowAndAdd) {
    SequenceVector v;
    EXPECT_TRUE(v.mName.empty());
    v.GrowVec();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_TRUE(v[0].mBases.empty());
    EXPECT_EQ(v[0].mDescription, "Empty");
    EXPECT_TRUE(v[0].mName.empty());

    Sequence r1 = Seq("ACGT", "r1", "desc");
    r1.ComputeDepadded2Padded();
    v.AddSequence(r1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(Str(v[1]), "ACGT");
    EXPECT_EQ(v[1].mName, "r1");
    EXPECT_EQ(v[1].mDescription, "desc");
    EXPECT_TRUE(v[1].mPadded2Depadded.empty());
    EXPECT_TRUE(v[1].mDepadded2Padded.empty());
}

TEST(SequenceCollection, AddSubSequenceKeepsUnclampedRange) {
    struct Case {
        long start, end;
        const char* bases;
        const char* desc;
    };
    const Case cases[] = {
        {2, 4, "GTA", "d[3,5]"},
        {6, 20, "GT", "d[7,21]"},
        {-5, 100, "ACGTACGT", "d[-4,101]"},
        {2, -1, "", "d[3,0]"},
        {5, 3, "", "d[6,4]"},
        {0, LONG_MAX, "ACGTACGT", "d[1,9223372036854775808]"},  // no overflow
    };
    Sequence src = Seq("ACGTACGT", "r", "d");
    for (const Case& c : cases) {
        SequenceVector v;
        v.AddSubSequence(src, c.start, c.end);
        ASSERT_EQ(v.size(), 1u);
        EXPECT_EQ(Str(v[0]), c.bases) << c.start << "," << c.end;
        EXPECT_EQ(v[0].mDescription, c.desc);
        EXPECT_EQ(v[0].mName, "r");
    }
}

TEST(SequenceCollection, AddFromOwnRecord) {
    // Each add grows a full collection, moving the record it copies from.
    SequenceVector v;
    v.push_back(Seq("ACGT", "r", "d"));
    v.shrink_to_fit();
    ASSERT_EQ(v.capacity(), 1u);
    v.AddSequence(v[0]);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(Str(v[1]), "ACGT");
    EXPECT_EQ(v[1].mName, "r");
    EXPECT_EQ(v[1].mDescription, "d");
    v.shrink_to_fit();
    v.AddSubSequence(v[1], 1, 2);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(Str(v[2]), "CG");
    EXPECT_EQ(v[2].mDescription, "d[2,3]");
    EXPECT_EQ(v[2].mName, "r");

    SequenceQualityVector q;
    q.push_back(Qual({20, 5}, "q", "x"));
    q.shrink_to_fit();
    q.AddQuality(q[0]);
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[1].mQuality, (std::vector<int>{20, 5}));
    EXPECT_EQ(q[1].mName, "q");
    EXPECT_EQ(q[1].mDescription, "x");
}

TEST(SequenceCollection, SizesAndN50) {
    SequenceVector v = WithSizes({10, 20, 30, 40});
    EXPECT_EQ(v.MaxSize(), 40);
    EXPECT_EQ(WithSizes({40, 10}).MaxSize(), 40);
    EXPECT_EQ(v.TotalBases(), 100);
    std::vector<int> sizes;
    v.GetSortedSizes(sizes);
    EXPECT_EQ(sizes, (std::vector<int>{40, 30, 20, 10}));
    EXPECT_EQ(v.N50(), 30);

    SequenceVector two = WithSizes({10, 30});
    std::vector<int> held{25};
    two.GetSortedSizes(held);
    EXPECT_EQ(held, (std::vector<int>{30, 25, 10}));

    struct Case {
        std::vector<int> sizes;
        int n50;
    };
    const Case cases[] = {
        {{5, 5}, 5}, {{1}, 1}, {{0, 0}, 0}, {{}, -1}, {{3, 1, 1, 1}, 3}, {{2, 2, 2, 1, 1}, 2},
    };
    for (const Case& c : cases) EXPECT_EQ(WithSizes(c.sizes).N50(), c.n50) << c.sizes.size();

    SequenceVector none;
    EXPECT_EQ(none.MaxSize(), 0);
    EXPECT_EQ(none.TotalBases(), 0);
    EXPECT_TRUE(lt_myint(2, 1));
    EXPECT_FALSE(lt_myint(1, 1));
    EXPECT_FALSE(lt_myint(-1, 1));
}

TEST(SequenceCollection, N50HalvesInSinglePrecision) {
    // Total 2^25 + 3: as a float it rounds to 2^25 + 4, so half is 2^24 + 2
    // and the largest record (2^24 + 1) alone no longer reaches it.
    SequenceVector v;
    for (size_t n : {size_t(1) << 24, (size_t(1) << 24) + 1, size_t(2)}) {
        v.emplace_back();
        v.back().mBases.resize(n, 'A');
    }
    EXPECT_EQ(v.TotalBases(), (1 << 25) + 3);
    EXPECT_EQ(v.N50(), 1 << 24);
}

TEST(SequenceCollection, SizeStats) {
    float mean = 0, variance = 0;
    WithSizes({2, 4, 6}).SizeStats(mean, variance);
    EXPECT_FLOAT_EQ(mean, 4.0f);
    EXPECT_FLOAT_EQ(variance, 4.0f);

    WithSizes({7}).SizeStats(mean, variance);
    EXPECT_FLOAT_EQ(mean, 7.0f);
    EXPECT_TRUE(std::isnan(variance));

    WithSizes({}).SizeStats(mean, variance);
    EXPECT_TRUE(std::isnan(mean));
    EXPECT_EQ(variance, 0.0f);
    EXPECT_TRUE(std::signbit(variance));

    WithSizes({1, 2}).SizeStats(mean, variance);
    EXPECT_FLOAT_EQ(mean, 1.5f);
    EXPECT_FLOAT_EQ(variance, 0.5f);
}

TEST(SequenceCollection, PrintWritesHeaderTwice) {
    SequenceVector v;
    v.push_back(Seq("AC", "r1", "d"));
    v.push_back(Seq("", "r2", ""));
    std::ostringstream os;
    v.Print(os);
    EXPECT_EQ(os.str(), "r1 d\nr1 d\nAC\nr2 \nr2 \n\n");

    // Both header lines of a record are flushed, its characters are not.
    FlushLog log;
    std::ostream logged(&log);
    v.resize(1);
    v.Print(logged);
    EXPECT_EQ(log.flushes, (std::vector<std::string>{"r1 d\n", "r1 d\nr1 d\n"}));
}

TEST(SequenceCollection, FindEndOfAcrossRecords) {
    SequenceVector v;
    for (const char* b : {"AAAA", "TTACGTT", "CGT"}) v.push_back(Seq(b));
    Sequence tag = Seq("CGT");
    int index = -9;
    long pos = -9;
    bool reversed = true;
    v.FindEndOf(tag, index, pos, reversed);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(pos, 5);
    EXPECT_FALSE(reversed);
    EXPECT_EQ(Str(v[0]), "aaaa");
    EXPECT_EQ(Str(v[1]), "ttacgtt");
    EXPECT_EQ(Str(v[2]), "CGT");
    EXPECT_EQ(Str(tag), "CGT");

    Sequence rcTag = Seq("ACG");  // 'cgt' reverse-complemented
    SequenceVector w;
    for (const char* b : {"GGGG", "TTCGT"}) w.push_back(Seq(b));
    w.FindEndOf(rcTag, index, pos, reversed);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(pos, 4);
    EXPECT_TRUE(reversed);

    Sequence missing = Seq("CCCCC");
    v.FindEndOf(missing, index, pos, reversed);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(pos, -1);

    SequenceVector empty;
    index = 5;
    pos = 5;
    empty.FindEndOf(tag, index, pos, reversed);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(pos, -1);
}

TEST(SequenceQualityCollection, AddStatsAndPrint) {
    SequenceQualityVector v;
    v.GrowVec();
    ASSERT_EQ(v.size(), 1u);
    EXPECT_TRUE(v[0].mQuality.empty());
    EXPECT_TRUE(v[0].mDescription.empty());
    v.clear();

    SequenceQuality a = Qual({20, 1, 1}, "a", "x");
    SequenceQuality b = Qual({25, 30, 40}, "b", "y");
    v.AddQuality(a);
    v.AddQuality(b);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[1].mQuality, b.mQuality);
    EXPECT_EQ(v[1].mName, "b");
    EXPECT_EQ(v[1].mDescription, "y");
    EXPECT_EQ(v.Phred20Total(), 4);

    float mean = 0, variance = 0;
    v.Phred20Stats(mean, variance);
    EXPECT_FLOAT_EQ(mean, 2.0f);
    EXPECT_FLOAT_EQ(variance, 2.0f);

    FlushLog log;  // nothing is flushed
    std::ostream os(&log);
    v.Print(os);
    EXPECT_EQ(log.str(), ">a x\n20 1 1 \n>b y\n25 30 40 \n");
    EXPECT_TRUE(log.flushes.empty());

    SequenceQualityVector one;
    one.AddQuality(a);
    one.Phred20Stats(mean, variance);
    EXPECT_FLOAT_EQ(mean, 1.0f);
    EXPECT_TRUE(std::isnan(variance));
    SequenceQualityVector none;
    none.Phred20Stats(mean, variance);
    EXPECT_TRUE(std::isnan(mean));
    EXPECT_TRUE(std::signbit(variance));
    EXPECT_EQ(none.Phred20Total(), 0);
}
