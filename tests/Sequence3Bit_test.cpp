#include "toolkit/Sequence3Bit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/Sequence.h"

namespace {

std::string Letters(const Sequence3Bit& s) {
    std::string out;
    for (int i = 0; i < s.mBaseSize; ++i) out += s[i];
    return out;
}

void Fill(Sequence3Bit& s, const std::string& text) {
    std::string copy = text;
    s.ConcatenateString(copy);
}

// The layout every member but a direct Set keeps.
void ExpectInvariants(const Sequence3Bit& s) {
    EXPECT_EQ(s.mBaseSize, 10 * s.mWordIndex + s.mWordSlot);
    EXPECT_GE(s.mWordSlot, 0);
    EXPECT_LE(s.mWordSlot, 10);
    if (s.mBaseSize > 0) {
        ASSERT_GE(static_cast<int>(s.mWords.size()), s.mWordIndex + 1);
    }
    for (int w = 0; w < static_cast<int>(s.mWords.size()); ++w) {
        unsigned word = static_cast<unsigned>(s.mWords[w]);
        EXPECT_EQ(word >> 30, 0u) << "word " << w;
        if (w > s.mWordIndex) {
            EXPECT_EQ(word, 0u) << "spare word " << w;
        } else if (w == s.mWordIndex && s.mWordSlot < 10) {
            EXPECT_EQ(word >> (3 * s.mWordSlot), 0u) << "unused slots of word " << w;
        }
    }
}

// ---------------------------------------------------------------- storage

TEST(Sequence3BitStore, AcgtnPacksIntoOneWord) {
    Sequence3Bit s;
    s.ConcatenateCString("ACGTN");
    ASSERT_EQ(s.mWords.size(), 1u);
    EXPECT_EQ(s.mWords[0], 0x74C8);
    EXPECT_EQ(s.mBaseSize, 5);
    EXPECT_EQ(s.NumBases(), 5);
    EXPECT_EQ(s.mWordSlot, 5);
    EXPECT_EQ(s.mWordIndex, 0);
    EXPECT_EQ(Letters(s), "ACGTN");
}

TEST(Sequence3BitStore, CharactersReadBackAsTheirCodesLetter) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"acgtnx", "ACGTNX"}, {"ACGTNX", "ACGTNX"}, {"*", "?"},    {"-", "?"},
        {"?", "N"},           {" ", "A"},           {"\t", "X"},   {"\r", "?"},
        {"\n", "?"},          {"01", "AA"},         {"\xC7", "G"},
    };
    for (const Case& c : cases) {
        Sequence3Bit s;
        Fill(s, c.in);
        EXPECT_EQ(Letters(s), c.out) << "input " << testing::PrintToString(c.in);
    }
}

TEST(Sequence3BitStore, EleventhBaseStartsTheNextWord) {
    Sequence3Bit s;
    s.ConcatenateCString("ACGTACGTAC");
    EXPECT_EQ(s.mWordSlot, 10);
    EXPECT_EQ(s.mWordIndex, 0);
    s.ConcatenateCString("G");
    EXPECT_EQ(s.mWordSlot, 1);
    EXPECT_EQ(s.mWordIndex, 1);
    EXPECT_EQ(s.mWords[1], 3);
    EXPECT_EQ(s[9], 'C');
    EXPECT_EQ(s[10], 'G');
    ExpectInvariants(s);
}

TEST(Sequence3BitStore, OneCallReservesWordsByTheRule) {
    struct Case {
        int n;
        size_t words;
    } cases[] = {{1, 1}, {9, 1}, {10, 1}, {11, 2}, {19, 2}, {20, 2}, {21, 3}, {35, 4}};
    const std::string pattern = "ACGTNXGCTA";
    for (const Case& c : cases) {
        std::string text;
        for (int i = 0; i < c.n; ++i) text += pattern[i % pattern.size()];
        Sequence3Bit s;
        s.ConcatenateCString(text.c_str());
        EXPECT_EQ(s.mWords.size(), c.words) << "n=" << c.n;
        EXPECT_EQ(Letters(s), text);
        ExpectInvariants(s);
    }
}

TEST(Sequence3BitStore, OneBaseAtATimeLeavesSpareWords) {
    Sequence3Bit s;
    std::string text;
    for (int i = 0; i < 100; ++i) {
        char c[2] = {"TGCA"[i % 4], 0};
        text += c[0];
        s.ConcatenateCString(c);
    }
    EXPECT_EQ(s.mWords.size(), 20u);
    EXPECT_EQ(s.mWordIndex, 9);
    EXPECT_EQ(s.mWordSlot, 10);
    EXPECT_EQ(Letters(s), text);
    ExpectInvariants(s);

    // The next append lands in word 10, a spare word, whatever follows it.
    s.ConcatenateCString("N");
    EXPECT_EQ(s.mWordIndex, 10);
    EXPECT_EQ(s[100], 'N');
    ExpectInvariants(s);
}

TEST(Sequence3BitStore, EmptyAppendOnAFullWordAddsOneSpareWord) {
    Sequence3Bit s;
    s.ConcatenateCString("ACGTACGTAC");
    ASSERT_EQ(s.mWords.size(), 1u);
    s.ConcatenateCString("");
    EXPECT_EQ(s.mWords.size(), 2u);
    EXPECT_EQ(s.mWords[1], 0);
    EXPECT_EQ(s.mBaseSize, 10);
    EXPECT_EQ(s.mWordSlot, 10);
    EXPECT_EQ(s.mWordIndex, 0);
}

TEST(Sequence3BitStore, SetAppendsAWordOrRewritesACode) {
    Sequence3Bit s;
    s.Set(0, 0, 'G');
    ASSERT_EQ(s.mWords.size(), 1u);
    EXPECT_EQ(s.mWords[0], 3);
    EXPECT_EQ(s.mBaseSize, 0);
    EXPECT_EQ(s.mWordSlot, 0);

    Sequence3Bit t;
    t.ConcatenateCString("ACGTACGTAN");
    t.Set(0, 9, 'c');  // the top slot of a word
    t.Set(0, 2, 'A');
    EXPECT_EQ(Letters(t), "ACATACGTAC");
    EXPECT_EQ(t.mWords.size(), 1u);
    ExpectInvariants(t);
}

TEST(Sequence3BitStore, ConcatenateMembersAppendBehindWhatIsHeld) {
    Sequence3Bit s;
    s.ConcatenateCString("AC*");
    s.Concatenate(s);
    EXPECT_EQ(Letters(s), "AC?ACN");
    ExpectInvariants(s);

    // A NUL ends a string's contribution; the string is left as it was.
    Sequence3Bit t;
    std::string withNul("AC\0G", 4);
    t.ConcatenateString(withNul);
    EXPECT_EQ(Letters(t), "AC");
    EXPECT_EQ(withNul.size(), 4u);

    // A Sequence gives all of its characters, a NUL byte included (code 0).
    Sequence seq;
    seq.mBases = {'G', 'G', '\0', 't'};
    t.ConcatenateSequence(seq);
    EXPECT_EQ(Letters(t), "ACGGAT");
    EXPECT_EQ(seq.mBases.size(), 4u);

    // Self-concatenation across several words.
    Sequence3Bit u;
    u.ConcatenateCString("ACGTNACGTNAC");
    u.Concatenate(u);
    EXPECT_EQ(Letters(u), "ACGTNACGTNACACGTNACGTNAC");
    ExpectInvariants(u);
}

TEST(Sequence3BitStore, AppendPastTheIntBaseCountFailsUnchanged) {
    // The counts of a record near INT_MAX bases (its words are not needed: the
    // append fails before it touches them).
    Sequence3Bit s;
    const int kMax = std::numeric_limits<int>::max();
    s.mBaseSize = kMax - 1;
    s.mWordIndex = (kMax - 1) / 10;
    s.mWordSlot = (kMax - 1) % 10;
    std::string two = "AC";
    Sequence seq;
    seq.mBases = {'A', 'C'};
    EXPECT_THROW(s.ConcatenateCString("AC"), std::length_error);
    EXPECT_THROW(s.ConcatenateString(two), std::length_error);
    EXPECT_THROW(s.ConcatenateSequence(seq), std::length_error);
    EXPECT_THROW(s.ConcatenateCStringTrimLowQual("AC"), std::length_error);
    EXPECT_THROW(s.Concatenate(s), std::length_error);
    EXPECT_EQ(s.mBaseSize, kMax - 1);
    EXPECT_EQ(s.mWordSlot, (kMax - 1) % 10);
    EXPECT_TRUE(s.mWords.empty());
}

TEST(Sequence3BitValue, CopyReencodesWhileAssignmentCopiesWords) {
    Sequence3Bit s;
    s.ConcatenateCString("A*");
    s.mName = "r1";
    s.mDescription = "d";
    for (int i = 0; i < 9; ++i) s.ConcatenateCString("-");  // leaves spare words
    ASSERT_GT(s.mWords.size(), 2u);

    Sequence3Bit copy(s);
    EXPECT_EQ(Letters(copy), "ANNNNNNNNNN");
    EXPECT_EQ(copy.mName, "r1");
    EXPECT_EQ(copy.mDescription, "d");
    EXPECT_EQ(copy.mWords.size(), 2u);
    ExpectInvariants(copy);

    Sequence3Bit assigned;
    assigned.ConcatenateCString("GGGGGGGGGGGGGGGGGGGGGGGGG");
    assigned = s;
    EXPECT_EQ(Letters(assigned), "A??????????");
    EXPECT_EQ(assigned.mWords, s.mWords);
    EXPECT_EQ(assigned.mWordSlot, s.mWordSlot);
    EXPECT_EQ(assigned.mWordIndex, s.mWordIndex);
    EXPECT_EQ(assigned.mName, "r1");

    // Neither shares anything with its source.
    s.Set(0, 0, 'T');
    EXPECT_EQ(copy[0], 'A');
    EXPECT_EQ(assigned[0], 'A');
}

TEST(Sequence3BitValue, BugWritesOneLine) {
    Sequence3Bit s;
    s.ConcatenateCString("ACGTACGTACGT");
    testing::internal::CaptureStdout();
    s.Bug(7);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "You've found a bug n=7 mBaseSize=12\n");
}

// ---------------------------------------------------------------- readers

enum Reader { kPlain, kTrim };

struct ReadResult {
    int result;
    std::string name, description, bases, buffer, out;
};

// Reads one record with the buffer of exactly bsize bytes (heap, so that the
// sanitizer sees any access outside it).
class PackedReader {
public:
    PackedReader(const std::string& input, int bsize = 64)
        : mIn(input), mBuf(static_cast<size_t>(bsize), '\0'), mSize(bsize) {
        mBuf[0] = '1';
    }
    ReadResult Next(Reader which) {
        testing::internal::CaptureStdout();
        int r = which == kPlain ? mSeq.GetNextRead(mIn, mBuf.data(), mSize)
                                : mSeq.GetNextReadTrimLowQual(mIn, mBuf.data(), mSize);
        std::string out = testing::internal::GetCapturedStdout();
        ExpectInvariants(mSeq);
        return {r, mSeq.mName, mSeq.mDescription, Letters(mSeq), std::string(mBuf.data()), out};
    }
    std::istringstream mIn;
    std::vector<char> mBuf;
    int mSize;
    Sequence3Bit mSeq;
};

TEST(Sequence3BitRead, PlainReaderReadsRecordsInTurn) {
    PackedReader rd(">r1 first read\nACGT\nTTAA\n>r2\nGG\n");
    ReadResult a = rd.Next(kPlain);
    EXPECT_EQ(a.result, 1);
    EXPECT_EQ(a.name, "r1");
    EXPECT_EQ(a.description, "first read");
    EXPECT_EQ(a.bases, "ACGTTTAA");
    EXPECT_EQ(a.buffer, ">r2");
    EXPECT_FALSE(rd.mIn.eof());

    ReadResult b = rd.Next(kPlain);
    EXPECT_EQ(b.result, 1);
    EXPECT_EQ(b.name, "r2");
    EXPECT_EQ(b.description, "");
    EXPECT_EQ(b.bases, "GG");
    EXPECT_TRUE(rd.mIn.eof());
    EXPECT_EQ(a.out + b.out, "");
}

TEST(Sequence3BitRead, HeaderSplitsIntoNameAndDescription) {
    struct Case {
        std::string header, name, description;
    } cases[] = {
        {">r1", "r1", ""},           {">r1 ", "r1", ""},    {">r1  x", "r1", " x"},
        {">r1\tx y ", "r1", "x y "}, {"> r1 a", "r1", "a"}, {">", "", ""},
    };
    for (Reader which : {kPlain, kTrim}) {
        for (const Case& c : cases) {
            PackedReader rd(c.header + "\nAC\n");
            ReadResult r = rd.Next(which);
            EXPECT_EQ(r.result, 1);
            EXPECT_EQ(r.name, c.name) << c.header << " reader " << which;
            EXPECT_EQ(r.description, c.description) << c.header << " reader " << which;
            EXPECT_EQ(r.bases, "AC");
        }
    }
}

TEST(Sequence3BitRead, EmptyRecordsAndEndOfInput) {
    for (Reader which : {kPlain, kTrim}) {
        PackedReader rd(">r1\n>r2\nAC\n\nGT");  // last line without a newline
        ReadResult a = rd.Next(which);
        EXPECT_EQ(a.result, 1);
        EXPECT_EQ(a.name, "r1");
        EXPECT_EQ(a.bases, "");
        EXPECT_EQ(a.buffer, ">r2");
        ReadResult b = rd.Next(which);
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.name, "r2");
        EXPECT_EQ(b.bases, "ACGT") << "reader " << which;
        EXPECT_TRUE(rd.mIn.eof());
    }
    // A header as the last line, and an empty input.
    for (Reader which : {kPlain, kTrim}) {
        PackedReader rd(">only");
        ReadResult a = rd.Next(which);
        EXPECT_EQ(a.result, 1);
        EXPECT_EQ(a.name, "only");
        EXPECT_EQ(a.bases, "");
        EXPECT_TRUE(rd.mIn.eof());
        PackedReader none("");
        ReadResult b = none.Next(which);
        EXPECT_EQ(b.result, 1);
        EXPECT_EQ(b.name, "");
        EXPECT_TRUE(none.mIn.eof());
    }
}

TEST(Sequence3BitRead, PlainReaderKeepsInnerCharacters) {
    struct Case {
        std::string line, bases;
    } cases[] = {
        {"AC GT", "ACAGT"},
        {"ACGT\r", "ACGT"},  // the CR of a CR LF line end is no base
        {"AC\rGT\r", "AC?GT"},
        {"acgt*-?x", "ACGT??NX"},
    };
    for (const Case& c : cases) {
        PackedReader rd(">r\n" + c.line + "\n");
        EXPECT_EQ(rd.Next(kPlain).bases, c.bases) << testing::PrintToString(c.line);
    }
}

TEST(Sequence3BitRead, PlainReaderTrailingBlankDebugLines) {
    PackedReader rd(">r\nACGT \t\nACGTACGTACGT \nAC\n");
    ReadResult r = rd.Next(kPlain);
    EXPECT_EQ(r.bases, "ACGTACGTACGTACGTAC");
    EXPECT_EQ(r.out,
              "\nConsuming white space: 9 sEnd=5\n"
              "Buffer=ACGT \t\n"
              "\nConsuming white space: 20 sEnd=4\n"
              "Buffer=ACGT \n"
              "\nConsuming white space: 20 sEnd=c\n"
              "Buffer=ACGTACGTACGT \n");
}

TEST(Sequence3BitRead, TrimReaderTrailingBlankDebugLines) {
    PackedReader rd(">r\nACGT \nACGTACGTACGT \t\n");
    ReadResult r = rd.Next(kTrim);
    EXPECT_EQ(r.bases, "ACGTACGTACGTACGT");
    // The count goes back to decimal after each hexadecimal pair.
    EXPECT_EQ(r.out,
              "bsize=5\n"
              "Buffer=ACGT \n"
              "Consuming white space: 20 sEnd=4\n"
              "bsize=14\n"
              "Buffer=ACGTACGTACGT \t\n"
              "Consuming white space: 9 sEnd=d\n"
              "bsize=14\n"
              "Buffer=ACGTACGTACGT \n"
              "Consuming white space: 20 sEnd=c\n");
}

TEST(Sequence3BitRead, LineOfBlanksEmptiesWithoutReadingBeforeTheBuffer) {
    // The buffer is exactly the line's size plus NUL: nothing in front of it.
    PackedReader rd(">r\n   \nAC\n", 4);
    ReadResult r = rd.Next(kPlain);
    EXPECT_EQ(r.bases, "AC");
    EXPECT_EQ(r.out,
              "\nConsuming white space: 20 sEnd=2\nBuffer=   \n"
              "\nConsuming white space: 20 sEnd=1\nBuffer=  \n"
              "\nConsuming white space: 20 sEnd=0\nBuffer= \n");

    PackedReader trim(">r\nAC\n \t \nGT\n", 4);
    ReadResult t = trim.Next(kTrim);
    EXPECT_EQ(t.bases, "ACGT");
    EXPECT_EQ(t.out,
              "bsize=3\nBuffer= \t \nConsuming white space: 20 sEnd=2\n"
              "bsize=3\nBuffer= \t\nConsuming white space: 9 sEnd=1\n"
              "bsize=3\nBuffer= \nConsuming white space: 20 sEnd=0\n");
}

TEST(Sequence3BitRead, ReadersRejectANulInsideALine) {
    // A NUL anywhere in a line that holds anything else, the input's last line
    // included, is corruption; a line of nothing but NULs counts as empty.
    struct Case {
        std::string line;
        bool last;  // the input's last line, without a newline
        bool corrupt;
    } cases[] = {
        {std::string("AC\0GT", 5), false, true},  {std::string("AC\0\0", 4), false, true},
        {std::string("\0GT", 3), false, true},    {std::string("\0\0G", 3), false, true},
        {std::string("\0A", 2), true, true},      {std::string("AC\0", 3), true, true},
        {std::string(">s\0", 3), false, true},    {std::string("\0", 1), false, false},
        {std::string("\0\0\0", 3), false, false}, {std::string("\0", 1), true, false},
    };
    for (Reader which : {kPlain, kTrim}) {
        for (const Case& c : cases) {
            std::string input = ">r\nTT\n" + c.line + (c.last ? "" : "\nGG\n");
            PackedReader rd(input);
            testing::internal::CaptureStderr();
            ReadResult r = rd.Next(which);
            std::string err = testing::internal::GetCapturedStderr();
            std::string label = testing::PrintToString(input) + " reader " + std::to_string(which);
            if (c.corrupt) {
                EXPECT_EQ(err, "ERROR CORRUPT SEQ: NULL BEFORE NEWLINE\n") << label;
                EXPECT_EQ(r.result, 0) << label;
                EXPECT_EQ(r.bases, "TT") << label;
                EXPECT_EQ(r.buffer, c.line.substr(0, c.line.find('\0'))) << label;
            } else {
                EXPECT_EQ(err, "") << label;
                EXPECT_EQ(r.result, 1) << label;
                EXPECT_EQ(r.bases, c.last ? "TT" : "TTGG") << label;
            }
        }
    }
    // A NUL in the first header line is corruption too.
    PackedReader first(std::string(">r\0x\nAC\n", 8));
    testing::internal::CaptureStderr();
    EXPECT_EQ(first.Next(kPlain).result, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR CORRUPT SEQ: NULL BEFORE NEWLINE\n");
}

TEST(Sequence3BitRead, TrimReaderKeepsTheHighQualityPartOfEachLine) {
    struct Case {
        std::string input, bases, buffer;
    } cases[] = {
        {">r1\nacgtACGTacgt\nGGCCaa\n>r2\n", "ACGTGGCC", ">r2"},
        {">r1\n  ACGT\n", "ACGT", ">r1"},
        {">r1\nACGT1234\n", "ACGT", ">r1"},
        {">r1\n12 ac?~\x80GT\n", "AGT", ">r1"},
        {">r1\nACgtAC\nTT TT\n\nG-G\n", "ACTTG", ">r1"},
        {">r1\nAC\r\n", "AC", ">r1"},
        {">r1\nAC\rGT\r\n", "AC?GT", ">r1"},  // an inner CR is high quality, a base
        {">r1\n  \r\nGT\r\n", "GT", ">r1"},
        {">r1\nacgtG", "G", ">r1"},  // the skip ends on the input's last character
    };
    for (const Case& c : cases) {
        PackedReader rd(c.input);
        ReadResult r = rd.Next(kTrim);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.name, "r1");
        EXPECT_EQ(r.bases, c.bases) << testing::PrintToString(c.input);
        if (c.buffer != ">r1") {
            EXPECT_EQ(r.buffer, c.buffer);
        }
    }
}

TEST(Sequence3BitRead, TrimReaderSkipThatMeetsANewline) {
    // The all-low-quality (or empty) first line adds nothing; the next line is
    // read whole, and a header there still ends the record.
    struct Case {
        std::string input, bases;
    } cases[] = {
        {">r1\nacgt\nACGT\n>r2\nGG\n", "ACGT"},
        {">r1\n\n>r2\nGG\n", ""},
        {">r1\nac gt\n\n>r2\nGG\n", ""},
    };
    for (const Case& c : cases) {
        PackedReader rd(c.input);
        ReadResult a = rd.Next(kTrim);
        EXPECT_EQ(a.result, 1);
        EXPECT_EQ(a.bases, c.bases) << testing::PrintToString(c.input);
        EXPECT_EQ(a.buffer, ">r2");
        ReadResult b = rd.Next(kTrim);
        EXPECT_EQ(b.name, "r2");
        EXPECT_EQ(b.bases, "GG");
        EXPECT_TRUE(rd.mIn.eof());
    }
    PackedReader rd(">r1\nacgt\n");
    ReadResult a = rd.Next(kTrim);
    EXPECT_EQ(a.result, 1);
    EXPECT_EQ(a.bases, "");
    EXPECT_TRUE(rd.mIn.eof());
}

TEST(Sequence3BitRead, BufferWithoutMarkOrHeader) {
    PackedReader trim(">x\nTT\n");
    std::snprintf(trim.mBuf.data(), trim.mBuf.size(), "ACGT");
    Fill(trim.mSeq, "GGG");
    trim.mSeq.mName = "old";
    ReadResult t = trim.Next(kTrim);
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(t.bases, "");
    EXPECT_EQ(t.name, "");
    EXPECT_EQ(trim.mIn.tellg(), 0);  // nothing read

    PackedReader plain("TT\n");
    std::snprintf(plain.mBuf.data(), plain.mBuf.size(), "ACGT");
    ReadResult p = plain.Next(kPlain);
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.name, "CGT");
    EXPECT_EQ(p.bases, "TT");
}

TEST(Sequence3BitRead, LongLinesAreReadWholeAndHeadersCutToTheBuffer) {
    // A sequence line longer than the buffer is read whole; a header keeps the
    // bsize - 1 characters that fit in the buffer.
    struct Case {
        std::string input, name, bases, buffer;
    } cases[] = {
        {">r\nAC\nACGTACGT\nTT\n>s\nGG\n", "r", "ACACGTACGTTT", ">s"},
        {">r12345678\nAC\n", "r12345", "AC", "AC"},
        {">r\nACGTACGT\n>s234567\nGG\n", "r", "ACGTACGT", ">s23456"},
    };
    for (Reader which : {kPlain, kTrim}) {
        for (const Case& c : cases) {
            PackedReader rd(c.input, 8);
            ReadResult r = rd.Next(which);
            EXPECT_EQ(r.result, 1) << c.input << which;
            EXPECT_EQ(r.name, c.name) << c.input << which;
            EXPECT_EQ(r.bases, c.bases) << c.input << which;
            if (c.buffer[0] == '>') {
                EXPECT_EQ(r.buffer, c.buffer) << c.input << which;
                EXPECT_EQ(rd.Next(which).bases, "GG") << c.input << which;
            }
        }
    }
    // The trim reader's skip finds a header that is cut the same way.
    PackedReader skipHeader(">r\n  >s234567\nGG\n", 8);
    EXPECT_EQ(skipHeader.Next(kTrim).buffer, ">s23456");
    EXPECT_EQ(skipHeader.Next(kTrim).bases, "GG");
}

TEST(Sequence3BitRead, FailedStreamEndsTheRecordWithResultZero) {
    for (Reader which : {kPlain, kTrim}) {
        PackedReader rd(">r\nAC\n");
        rd.mIn.setstate(std::ios::badbit);
        EXPECT_EQ(rd.Next(which).result, 0) << which;
    }
}

TEST(Sequence3BitRead, TrimAppendReservesOneWordMore) {
    struct Case {
        const char* in;
        std::string bases;
        size_t words;
    } cases[] = {
        {"ACgt", "AC", 1},
        {"acGT", "", 1},
        {"", "", 1},
        {"ACGTACGTAC", "ACGTACGTAC", 2},
        {"ACGTACGTACGTACGTACGTa", "ACGTACGTACGTACGTACGT", 3},
    };
    for (const Case& c : cases) {
        Sequence3Bit s;
        s.ConcatenateCStringTrimLowQual(c.in);
        EXPECT_EQ(Letters(s), c.bases) << c.in;
        EXPECT_EQ(s.mWords.size(), c.words) << c.in;
        ExpectInvariants(s);
    }
}

// ---------------------------------------------------------------- operations

TEST(Sequence3BitOps, GetSubSequenceClampsAndRecordsTheRange) {
    Sequence3Bit src;
    Fill(src, "ACGTACGTAC");
    src.mName = "r1";
    src.mDescription = "d";
    struct Case {
        int start, end;
        std::string bases, name, description;
    } cases[] = {
        {2, 5, "GTAC", "r1", "d[2,5]"},
        {-3, 20, "ACGTACGTAC", "r1", "d[0,9]"},
        {9, 9, "C", "r1", "d[9,9]"},
        {5, 2, "", "", ""},
        {0, -1, "", "", ""},
        {10, 12, "", "", ""},
    };
    for (const Case& c : cases) {
        Sequence3Bit out;
        Fill(out, "TTTTTTTTTTTT");
        out.mName = "old";
        out.mDescription = "old";
        src.GetSubSequence(out, c.start, c.end);
        EXPECT_EQ(Letters(out), c.bases) << c.start << ".." << c.end;
        EXPECT_EQ(out.mName, c.name);
        EXPECT_EQ(out.mDescription, c.description);
        ExpectInvariants(out);
    }
    EXPECT_EQ(Letters(src), "ACGTACGTAC");

    Sequence3Bit padded;
    Fill(padded, "AC*GT-NX");
    Sequence3Bit out;
    padded.GetSubSequence(out, 0, 4);
    EXPECT_EQ(Letters(out), "ACGT");
    EXPECT_EQ(out.mDescription, "[0,4]");
    padded.GetSubSequence(out, 1, 7);
    EXPECT_EQ(Letters(out), "CGTNX");

    src.GetSubSequence(src, 0, 9);
    EXPECT_EQ(src.mBaseSize, 0);
    EXPECT_EQ(src.mName, "");
    EXPECT_EQ(src.mDescription, "");
}

TEST(Sequence3BitOps, ReverseReplacesOut) {
    struct Case {
        std::string in, out;
    } cases[] = {{"AACGX", "XGCAA"}, {"AC*", "NCA"}, {"", ""}, {"ACGTNACGTNAGG", "GGANTGCANTGCA"}};
    for (const Case& c : cases) {
        Sequence3Bit s, out;
        Fill(s, c.in);
        s.mName = "s";
        Fill(out, "TTT");
        out.mName = "old";
        out.mDescription = "old";
        std::string before = Letters(s);
        s.Reverse(out);
        EXPECT_EQ(Letters(out), c.out);
        EXPECT_EQ(out.mName, "");
        EXPECT_EQ(out.mDescription, "");
        EXPECT_EQ(Letters(s), before);
        EXPECT_EQ(s.mName, "s");
        ExpectInvariants(out);
    }
    Sequence3Bit self;
    Fill(self, "AAC");
    self.mName = "n";
    self.Reverse(self);
    EXPECT_EQ(Letters(self), "CAA");
    EXPECT_EQ(self.mName, "");
}

TEST(Sequence3BitOps, ReverseComplementAppendsToOut) {
    Sequence3Bit s;
    Fill(s, "AACGX*");
    Sequence3Bit empty;
    s.ReverseComplement(empty);
    EXPECT_EQ(Letters(empty), "NXCGTT");

    Sequence3Bit q;
    Fill(q, "GG");
    q.mName = "q";
    q.mDescription = "d";
    Sequence3Bit t;
    Fill(t, "AACGX");
    t.ReverseComplement(q);
    EXPECT_EQ(Letters(q), "GGXCGTT");
    EXPECT_EQ(q.mName, "q");
    EXPECT_EQ(q.mDescription, "d");
    ExpectInvariants(q);

    Sequence3Bit self;
    Fill(self, "AAC");
    self.ReverseComplement(self);
    EXPECT_EQ(Letters(self), "AACGTT");
}

TEST(Sequence3BitOps, PrintWrapsAfterPosition50AndEvery50) {
    auto printed = [](int n) {
        Sequence3Bit s;
        std::string text;
        for (int i = 0; i < n; ++i) text += "ACGT"[i % 4];
        Fill(s, text);
        std::ostringstream os;
        testing::internal::CaptureStdout();
        s.Print(os);
        return std::make_pair(os.str(), testing::internal::GetCapturedStdout());
    };
    std::string a51, a50, a19;
    for (int i = 0; i < 120; ++i) (i <= 50 ? a51 : i <= 100 ? a50 : a19) += "ACGT"[i % 4];
    EXPECT_EQ(printed(120).first, a51 + "\n" + a50 + "\n" + a19);
    EXPECT_EQ(printed(101).first, a51 + "\n" + a50 + "\n");
    EXPECT_EQ(printed(51).first, a51 + "\n");
    EXPECT_EQ(printed(1).first, "A");
    EXPECT_EQ(printed(1).second, "");
    EXPECT_EQ(printed(0).first, "");
    EXPECT_EQ(printed(0).second, "No sequence\n");
}

TEST(Sequence3BitOps, OnlyBasesAndContainsNX) {
    struct Case {
        std::string text;
        int start, length;
        bool only;
    } cases[] = {
        {"ACGT", 0, 4, true},          {"ACGN", 0, 4, false},
        {"ACGX", 0, 4, false},         {"AC*T", 0, 4, false},
        {"AC-T", 0, 4, false},         {"AC?T", 0, 4, false},
        {"ACGT", 0, 0, true},          {"ACGTN", 0, 100, false},
        {"ACGTN", 0, 4, true},         {"NACGT", 1, 4, true},
        {"ACGTN", 3, 1, true},         {"ACGTN", 5, 3, true},
        {"ACGTACGTACGN", 10, 1, true}, {"ACGTACGTACGN", 10, 2, false},
        {"ACGTACGTAC", 5, 20, true},  // the cut keeps the reads inside mWords
        {"acgtACGT", 0, 8, true},      {"NACG", -2, 4, false},
        {"ANCG", -2, 3, true},
    };
    for (const Case& c : cases) {
        Sequence3Bit s;
        Fill(s, c.text);
        EXPECT_EQ(s.OnlyBases(c.start, c.length), c.only)
            << c.text << " " << c.start << "+" << c.length;
        EXPECT_EQ(s.ContainsNX(c.start, c.length), !c.only);
    }
}

}  // namespace
