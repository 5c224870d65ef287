#include "toolkit/FASTAFile.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/TestFixtures.h"
#include "toolkit/gzstream.h"

namespace {

std::string Str(const Sequence& s) { return std::string(s.mBases.begin(), s.mBases.end()); }

Sequence Seq(const std::string& bases, const std::string& name, const std::string& desc) {
    Sequence s;
    s.mBases.assign(bases.begin(), bases.end());
    s.mName = name;
    s.mDescription = desc;
    return s;
}

SequenceQuality Qual(const std::vector<int>& values, const std::string& name,
                     const std::string& desc) {
    SequenceQuality q;
    q.mQuality = values;
    q.mName = name;
    q.mDescription = desc;
    return q;
}

std::vector<int> Range(int n) {
    std::vector<int> v;
    for (int i = 1; i <= n; ++i) v.push_back(i);
    return v;
}

std::string RandomBases(size_t n, unsigned seed) {
    std::string s(n, 'A');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = "ACGTacgtNn"[(seed >> 16) % 10];
    }
    return s;
}

std::string Wrap(const std::string& bases, size_t width) {
    std::string out;
    for (size_t i = 0; i < bases.size(); i += width) out += bases.substr(i, width) + "\n";
    return out;
}

class FASTAFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) { return mTemp.Path(name); }
    std::string Missing() { return mTemp.Path("no/such/dir/file"); }

    std::string WriteFile(const std::string& name, const std::string& text) {
        std::string p = Path(name);
        std::ofstream out(p, std::ios::binary);
        out << text;
        return p;
    }

    static std::string ReadFile(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    TempFolder mTemp{"fastafile_test"};
};

// Reads every record with the four-argument reader and a buffer of `size`.
std::vector<Sequence> ReadAllFour(std::istream& in, int size, std::vector<int>* results = nullptr) {
    FASTAFile f;
    std::vector<char> buf(static_cast<size_t>(size), '\0');
    buf[0] = '1';
    std::vector<Sequence> out;
    for (int guard = 0; guard < 1000; ++guard) {
        Sequence s;
        int r = f.GetNextSequence(in, buf.data(), size, s);
        out.push_back(s);
        if (results) results->push_back(r);
        if (r == 0 || in.eof()) break;
    }
    return out;
}

std::vector<Sequence> ReadAllTwo(std::istream& in) {
    FASTAFile f;
    std::vector<Sequence> out;
    for (int guard = 0; guard < 1000; ++guard) {
        Sequence s;
        f.GetNextSequence(in, s);
        out.push_back(s);
        if (in.eof() || in.fail()) break;
    }
    return out;
}

// ---- four-argument GetNextSequence ------------------------------------------

TEST(FASTAFileFourArg, HeaderWaitsInTheCallersBuffer) {
    std::istringstream in(">q1 first read\nACGT \nac\tgt\t\n>q2\nGG");
    FASTAFile f;
    char buf[5000];
    buf[0] = '1';
    Sequence s = Seq("old", "x", "y");
    EXPECT_EQ(f.GetNextSequence(in, buf, 5000, s), 1);
    EXPECT_EQ(s.mName, "q1");
    EXPECT_EQ(s.mDescription, "first read");
    EXPECT_EQ(Str(s), "ACGTac\tgt");
    EXPECT_STREQ(buf, ">q2");
    EXPECT_FALSE(in.eof());

    EXPECT_EQ(f.GetNextSequence(in, buf, 5000, s), 1);
    EXPECT_EQ(s.mName, "q2");
    EXPECT_EQ(s.mDescription, "");
    EXPECT_EQ(Str(s), "GG");
    EXPECT_TRUE(in.eof());
}

TEST(FASTAFileFourArg, EndOfInputIsTestedBeforeTheHeader) {
    // The last header has no newline: the call returns 1 with it waiting in
    // the buffer and the stream at end of input.
    std::istringstream in(">a\nAC\n>b");
    FASTAFile f;
    char buf[100];
    buf[0] = '1';
    Sequence s;
    EXPECT_EQ(f.GetNextSequence(in, buf, 100, s), 1);
    EXPECT_EQ(Str(s), "AC");
    EXPECT_STREQ(buf, ">b");
    EXPECT_TRUE(in.eof());
}

TEST(FASTAFileFourArg, EmptyInputGivesOneEmptyRecord) {
    std::istringstream in("");
    std::vector<int> results;
    std::vector<Sequence> recs = ReadAllFour(in, 5000, &results);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(results[0], 1);
    EXPECT_EQ(recs[0].mName, "");
    EXPECT_EQ(recs[0].mDescription, "");
    EXPECT_TRUE(recs[0].mBases.empty());
    EXPECT_TRUE(in.eof());
}

TEST(FASTAFileFourArg, NulByteRule) {
    using namespace std::string_literals;
    const struct {
        const char* label;
        std::string text;
        int result;
        std::string bases;
    } cases[] = {
        {"NUL inside a data line stops", ">q\nTT\nAC\0GT\nCC\n"s, 0, "TT"},
        // damaged text: the characters behind the NUL would be lost unseen
        {"NUL as first byte stops too", ">q\nTT\n\0GT\nAC\n"s, 0, "TT"},
        {"NUL ending the last line stops", ">q\nTT\nAC\0"s, 0, "TT"},
        {"NUL in the first header line stops", ">q\0x\nAC\n"s, 0, ""},
        {"NUL in a first line without newline stops", ">q\0"s, 0, ""},
        {"NUL inside the next header stops", ">q\nTT\n>r\0x\nAC\n"s, 0, "TT"},
        {"NUL in a long line read in pieces", ">q\nTT\n"s + std::string(50, 'A') + "\0GT\n"s, 0,
         "TT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::istringstream in(c.text);
        std::vector<int> results;
        std::vector<Sequence> recs = ReadAllFour(in, 16, &results);
        EXPECT_EQ(results.back(), c.result);
        EXPECT_EQ(Str(recs.back()), c.bases);
    }
}

TEST(FASTAFileFourArg, LinesLongerThanTheBufferAreReadWhole) {
    // Buffer of 8: at most 7 characters a read.
    std::istringstream in(std::string(">name description that is far too long\n") +
                          "ACGTACG TACGTAC \t \t \t\n" + std::string(15, 'G') +
                          "\n"
                          ">n2\nTT\n");
    std::vector<Sequence> recs = ReadAllFour(in, 8);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].mName, "name");
    EXPECT_EQ(recs[0].mDescription, "d");  // the header keeps the 7 characters that fitted
    EXPECT_EQ(Str(recs[0]), "ACGTACG TACGTAC" + std::string(15, 'G'));
    EXPECT_EQ(recs[1].mName, "n2");
    EXPECT_EQ(Str(recs[1]), "TT");
}

TEST(FASTAFileFourArg, ARecordLongerThanTheLimitIsRefusedBeforeItGrowsPastIt) {
    const struct {
        const char* label;
        std::string text;
        std::vector<int> results;  // one per call
        std::string lastBases;     // of the last record read
    } cases[] = {
        {"at the limit", ">a\nACG \nTT\n>b\nA\n", {1, 1}, "A"},
        {"trailing blanks count nothing", ">a\nACGTT \t\n", {1}, "ACGTT"},
        {"one base over in a later line", ">a\nACG\nTTA\n>b\nA\n", {2}, "ACG"},
        {"a long first line", ">a\nACGTACGT\n", {2}, ""},
        {"a later record", ">a\nAC\n>b\nACGTAC\n", {1, 2}, ""},
        {"text before the first header", "ACGTAC\n>a\nA\n", {2}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::istringstream in(c.text);
        FASTAFile f;
        char buf[100];
        buf[0] = '1';
        std::vector<int> results;
        Sequence s;
        while (results.size() < 10) {
            s = Sequence();
            results.push_back(f.GetNextSequence(in, buf, 100, s, 5));
            if (results.back() != 1 || in.eof()) break;
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(Str(s), c.lastBases);
    }
}

TEST(FASTAFileFourArg, ALongRecordHasRoomInProportionToItsBases) {
    // Limit 3000, lines of 10 bases: past a quarter of the limit the room
    // stays within twice the record and never passes the limit.
    const std::size_t longest = 3000;
    for (std::size_t bases : {800u, 1300u, 2100u, 2990u, 3000u}) {
        SCOPED_TRACE(bases);
        std::string text = ">a\n";
        for (std::size_t i = 0; i < bases / 10; ++i) text += "ACGTACGTAC\n";
        std::istringstream in(text);
        FASTAFile f;
        char buf[100];
        buf[0] = '1';
        Sequence s;
        EXPECT_EQ(f.GetNextSequence(in, buf, 100, s, longest), 1);
        EXPECT_EQ(s.mBases.size(), bases);
        EXPECT_LE(s.mBases.capacity(), 2 * bases);
        EXPECT_LE(s.mBases.capacity(), longest);
    }
}

// ---- two-argument GetNextSequence -------------------------------------------

TEST(FASTAFileTwoArg, WholeNameHeaderAndPendingHeader) {
    std::istringstream in(">s1 desc\nAC \n\n>s2\nGT");
    FASTAFile f;
    Sequence s = Seq("", "", "kept");
    f.GetNextSequence(in, s);
    EXPECT_EQ(s.mName, "s1 desc");
    EXPECT_EQ(Str(s), "AC");
    EXPECT_EQ(f.mPendingHeader, ">s2");
    EXPECT_FALSE(in.eof());
    f.GetNextSequence(in, s);
    EXPECT_EQ(s.mName, "s2");
    EXPECT_EQ(Str(s), "GT");
    EXPECT_EQ(s.mDescription, "kept");
    EXPECT_TRUE(in.eof());
}

TEST(FASTAFileTwoArg, EmptyHeaderGivesEmptyName) {
    for (const char* text : {"", ">\nAC\n", "\nAC\n"}) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        std::vector<Sequence> recs = ReadAllTwo(in);
        ASSERT_EQ(recs.size(), 1u);
        EXPECT_EQ(recs[0].mName, "");
    }
}

// ---- Read / Append -------------------------------------------------------------

TEST(FASTAFileRead, SplitHeaderForms) {
    const struct {
        const char* header;
        const char* name;
        const char* desc;
    } cases[] = {
        {">read7 from lane 2", "read7", "from lane 2"},
        {">read7  x", "read7", " x"},
        {"> read7", "read7", ""},
        {">read7\tx y", "read7", "x y"},
        {">read7 ", "read7", ""},
        {">", "", ""},
        {">  \t", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        std::istringstream in(std::string(c.header) + "\nAC\n");
        FASTAFile f;
        SequenceVector v;
        ASSERT_EQ(f.Read(in, v), 1);
        ASSERT_EQ(v.size(), 1u);
        EXPECT_EQ(v[0].mName, c.name);
        EXPECT_EQ(v[0].mDescription, c.desc);

        // The four-argument reader splits its header the same way.
        std::istringstream in4(std::string(c.header) + "\nAC\n");
        std::vector<Sequence> recs = ReadAllFour(in4, 5000);
        EXPECT_EQ(recs[0].mName, c.name);
        EXPECT_EQ(recs[0].mDescription, c.desc);
    }
}

TEST(FASTAFileRead, TrailingWhiteSpace) {
    // Read removes one trailing white-space character, the record-at-a-time
    // readers all of it.
    const std::string text = ">s1 d\nAC \t\nACGT  \n";
    FASTAFile f;
    std::istringstream in(text);
    SequenceVector v;
    ASSERT_EQ(f.Read(in, v), 1);
    EXPECT_EQ(Str(v[0]), "AC ACGT ");
    std::istringstream in4(text);
    EXPECT_EQ(Str(ReadAllFour(in4, 5000)[0]), "ACACGT");
    std::istringstream in2(text);
    EXPECT_EQ(Str(ReadAllTwo(in2)[0]), "ACACGT");
}

// Every reader, as one text: each record's name, description and contents.
std::string ReadAs(const std::string& reader, const std::string& text, const std::string& path) {
    FASTAFile f;
    std::ostringstream out;
    auto put = [&out](const std::string& name, const std::string& desc, const std::string& items) {
        out << '[' << name << '|' << desc << '|' << items << ']';
    };
    std::istringstream in(text);
    {
        std::ofstream file(path, std::ios::binary);
        file << text;
    }
    if (reader == "four") {
        for (const Sequence& s : ReadAllFour(in, 5000)) put(s.mName, s.mDescription, Str(s));
    } else if (reader == "two") {
        for (const Sequence& s : ReadAllTwo(in)) put(s.mName, s.mDescription, Str(s));
    } else if (reader == "Read" || reader == "Read0") {
        SequenceVector v;
        out << (reader == "Read" ? f.Read(in, v) : f.Read0(path, v));
        for (const Sequence& s : v) put(s.mName, s.mDescription, Str(s));
    } else {
        SequenceQualityVector q;
        out << (reader == "ReadQual"    ? f.ReadQual(in, q)
                : reader == "ReadQual0" ? f.ReadQual0(path, q)
                                        : f.ReadQualX(in, q));
        for (const SequenceQuality& r : q) {
            std::string values;
            for (int x : r.mQuality) values += std::to_string(x) + ",";
            put(r.mName, r.mDescription, values);
        }
    }
    return out.str();
}

TEST_F(FASTAFileTest, CarriageReturnsEndingALineGoWithTheNewline) {
    // A CR LF text reads as its LF twin in every reader; a CR inside a line
    // stays an ordinary character.
    const std::string lf = ">s1 d\nAC \nGT\n>s2\n\nTT";
    const std::string qlf = ">q1 d\n30 20\n>q2 x\n10\n";
    auto crlf = [](const std::string& t) {
        std::string out;
        for (char c : t) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    };
    for (const char* reader : {"four", "two", "Read", "Read0"}) {
        SCOPED_TRACE(reader);
        const std::string want = ReadAs(reader, lf, Path("lf.fa"));
        EXPECT_EQ(ReadAs(reader, crlf(lf), Path("crlf.fa")), want);
        EXPECT_EQ(ReadAs(reader, crlf(lf) + "\r", Path("crlf.fa")), want);  // CR last byte
    }
    for (const char* reader : {"ReadQual", "ReadQual0", "ReadQualX"}) {
        SCOPED_TRACE(reader);
        EXPECT_EQ(ReadAs(reader, crlf(qlf), Path("crlf.q")), ReadAs(reader, qlf, Path("lf.q")));
    }
    const std::string inner = ">s1 a\rb\r\nA\rC\r\n";
    EXPECT_EQ(ReadAs("Read", inner, Path("cr.fa")), "1[s1|a\rb|A\rC]");
    EXPECT_EQ(ReadAs("four", inner, Path("cr.fa")), "[s1|a\rb|A\rC]");
    EXPECT_EQ(ReadAs("two", inner, Path("cr.fa")), "[s1 a\rb||A\rC]");
}

TEST(FASTAFileRecordReaders, TextBeforeTheFirstHeaderIsANamelessRecord) {
    struct Case {
        const char* label;
        std::string text, four, two;
    } cases[] = {
        {"two lines, no header", "ACGTACGTAA\nCCGGTTAACC\n", "[||ACGTACGTAACCGGTTAACC]",
         "[||ACGTACGTAACCGGTTAACC]"},
        {"lines then records", "AC \nGT\n>r1 d\nTT\n>r2\nGG", "[||ACGT][r1|d|TT][r2||GG]",
         "[||ACGT][r1 d||TT][r2||GG]"},
        {"one line without newline", "ACG", "[||ACG]", "[||ACG]"},
        {"empty first line", "\n>r1\nTT\n", "[||][r1||TT]", "[||][r1||TT]"},
        {"header first, as before", ">r1\nTT\n", "[r1||TT]", "[r1||TT]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ReadAs("four", c.text, "/dev/null"), c.four);
        EXPECT_EQ(ReadAs("two", c.text, "/dev/null"), c.two);
    }
}

TEST(FASTAFileRead, ManyRecordsAndEmptyInput) {
    std::string text;
    for (int i = 0; i < 301; ++i) text += ">r" + std::to_string(i) + "\n" + (i % 2 ? "AC\n" : "");
    FASTAFile f;
    std::istringstream in(text);
    SequenceVector v;
    ASSERT_EQ(f.Read(in, v), 1);
    ASSERT_EQ(v.size(), 301u);
    EXPECT_EQ(v[300].mName, "r300");
    EXPECT_EQ(Str(v[299]), "AC");
    EXPECT_TRUE(v[300].mBases.empty());

    std::istringstream empty("");
    EXPECT_EQ(f.Read(empty, v), 0);
    EXPECT_TRUE(v.empty());
}

TEST(FASTAFileRead, DataBeforeTheFirstHeaderIsKept) {
    FASTAFile f;
    std::istringstream in("\nAC\nGT\n>s1\nTT\n");
    SequenceVector v;
    ASSERT_EQ(f.Read(in, v), 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].mName, "");
    EXPECT_EQ(v[0].mDescription, "");
    EXPECT_EQ(Str(v[0]), "ACGT");
    EXPECT_EQ(v[1].mName, "s1");

    // A blank line alone before the first header makes no record.
    std::istringstream blank("\n>s1\nTT\n");
    ASSERT_EQ(f.Read(blank, v), 1);
    EXPECT_EQ(v.size(), 1u);
}

TEST(FASTAFileRead, AppendAddsAfterExistingRecords) {
    FASTAFile f;
    SequenceVector v;
    v.push_back(Seq("CC", "a", ""));
    v.push_back(Seq("AA", "b", ""));
    std::istringstream in("TT\n>c\nGG\n");
    EXPECT_EQ(f.Append(in, v), 1);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(Str(v[0]), "CC");
    EXPECT_EQ(Str(v[1]), "AATT");
    EXPECT_EQ(v[2].mName, "c");
    EXPECT_EQ(Str(v[2]), "GG");

    std::istringstream nothing("");
    EXPECT_EQ(f.Append(nothing, v), 1);
    EXPECT_EQ(v.size(), 3u);

    SequenceVector none;
    std::istringstream headerless("AC\n");
    EXPECT_EQ(f.Append(headerless, none), 1);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(Str(none[0]), "AC");
}

TEST_F(FASTAFileTest, ReadFromFileAndOneRecordForms) {
    std::string p = WriteFile("two.fa", ">a one\nAC\n>b\nGT\n");
    FASTAFile f;
    SequenceVector v;
    EXPECT_EQ(f.Read(p, v), 1);
    EXPECT_EQ(v.size(), 2u);

    Sequence s;
    EXPECT_EQ(f.Read(p, s), 1);
    EXPECT_EQ(s.mName, "a");
    EXPECT_EQ(s.mDescription, "one");
    EXPECT_EQ(Str(s), "AC");

    std::istringstream in(">x\nTT\n>y\n");
    EXPECT_EQ(f.Read(in, s), 1);
    EXPECT_EQ(s.mName, "x");

    // Without any record the one-record forms leave the record alone.
    Sequence keep = Seq("GG", "keep", "me");
    std::string empty = WriteFile("empty.fa", "");
    std::istringstream none("");
    EXPECT_EQ(f.Read(none, keep), 0);
    EXPECT_EQ(f.Read(empty, keep), 0);
    EXPECT_EQ(f.Read0(empty, keep), 0);
    EXPECT_EQ(keep.mName, "keep");
    EXPECT_EQ(Str(keep), "GG");

    // Data without a header line make a first record without name.
    std::istringstream headerless("AC\nGT\n");
    EXPECT_EQ(f.Read(headerless, keep), 1);
    EXPECT_EQ(keep.mName, "");
    EXPECT_EQ(Str(keep), "ACGT");
}

// ---- Read0 -----------------------------------------------------------------------

TEST_F(FASTAFileTest, Read0KeepsOnlyBaseLetters) {
    std::string p = WriteFile("r0.fa", ">s1 desc\n\nac-gt*NN x\r\n>s2\nXX\n");
    FASTAFile f;
    SequenceVector v;
    v.push_back(Seq("old", "", ""));
    EXPECT_EQ(f.Read0(p, v), 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].mName, "");
    EXPECT_EQ(v[0].mDescription, "s1 desc");
    EXPECT_EQ(Str(v[0]), "acgtNNx");
    EXPECT_EQ(v[1].mDescription, "s2");
    EXPECT_EQ(Str(v[1]), "XX");

    Sequence s;
    EXPECT_EQ(f.Read0(p, s), 1);
    EXPECT_EQ(s.mDescription, "s1 desc");

    std::string headerless = WriteFile("h.fa", "--\nAC\n>s\nG\n");
    EXPECT_EQ(f.Read0(headerless, v), 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(Str(v[0]), "AC");
    EXPECT_EQ(v[0].mDescription, "");
}

// ---- long lines ------------------------------------------------------------------

TEST_F(FASTAFileTest, MillionBaseLineReadsLikeTheWrappedSequence) {
    const std::string bases = RandomBases(1000000, 7);
    const std::string second = "ACGTTGCA";
    const std::string oneLine = ">chr1 long\n" + bases + "\n>chr2\n" + second + "\n";
    const std::string wrapped = ">chr1 long\n" + Wrap(bases, 60) + ">chr2\n" + second + "\n";

    for (const std::string* text : {&oneLine, &wrapped}) {
        SCOPED_TRACE(text == &oneLine ? "one line" : "wrapped at 60");
        {
            std::istringstream in(*text);
            std::vector<Sequence> recs = ReadAllFour(in, 5000);
            ASSERT_EQ(recs.size(), 2u);
            EXPECT_TRUE(Str(recs[0]) == bases);
            EXPECT_EQ(Str(recs[1]), second);
        }
        {
            std::istringstream in(*text);
            std::vector<Sequence> recs = ReadAllTwo(in);
            ASSERT_EQ(recs.size(), 2u);
            EXPECT_TRUE(Str(recs[0]) == bases);
            EXPECT_EQ(recs[1].mName, "chr2");
            EXPECT_EQ(Str(recs[1]), second);
        }
        {
            std::istringstream in(*text);
            FASTAFile f;
            SequenceVector v;
            ASSERT_EQ(f.Read(in, v), 1);
            ASSERT_EQ(v.size(), 2u);
            EXPECT_TRUE(Str(v[0]) == bases);
            EXPECT_EQ(Str(v[1]), second);
        }
        {
            // Through a gzip-compressed file and the gzip stream.
            std::string p = Path("long.fa.gz");
            gzFile gz = gzopen(p.c_str(), "wb");
            ASSERT_NE(gz, nullptr);
            gzwrite(gz, text->data(), static_cast<unsigned>(text->size()));
            gzclose(gz);
            igzstream in;
            in.open(p.c_str(), std::ios::in);
            std::vector<Sequence> recs = ReadAllFour(in, 5000);
            ASSERT_EQ(recs.size(), 2u);
            EXPECT_TRUE(Str(recs[0]) == bases);
            EXPECT_FALSE(in.bad());
        }
    }
}

TEST_F(FASTAFileTest, OverlongHeaderKeepsItsRecordTogether) {
    const std::string longName(400000, 'n');
    const std::string text = ">" + longName + " d\nACGT\n>n2\nGG\n";
    const std::string headerPrefix = longName.substr(0, 4000);
    std::string p = WriteFile("lh.fa", text);
    FASTAFile f;

    std::istringstream in4(text);
    std::vector<Sequence> four = ReadAllFour(in4, 5000);
    ASSERT_EQ(four.size(), 2u);
    EXPECT_EQ(four[0].mName.size(), 4998u);
    EXPECT_EQ(Str(four[0]), "ACGT");
    EXPECT_EQ(four[1].mName, "n2");

    std::istringstream in2(text);
    std::vector<Sequence> two = ReadAllTwo(in2);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].mName.size(), 299998u);
    EXPECT_EQ(Str(two[0]), "ACGT");
    EXPECT_EQ(Str(two[1]), "GG");

    SequenceVector v;
    ASSERT_EQ(f.Read(p, v), 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].mName.size(), 4898u);
    EXPECT_EQ(v[0].mName.substr(0, 4000), headerPrefix);
    EXPECT_EQ(Str(v[0]), "ACGT");
    EXPECT_EQ(Str(v[1]), "GG");

    ASSERT_EQ(f.Read0(p, v), 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(Str(v[0]), "ACGT");
    EXPECT_EQ(Str(v[1]), "GG");
}

TEST_F(FASTAFileTest, NulByteIsDamagedText) {
    // A NUL byte anywhere in a line, also far beyond a line buffer's length or
    // in a header, ends the reading with failure: the records before it stay,
    // nothing of the line is kept, and stream readers mark the stream bad.
    using namespace std::string_literals;
    const std::string longA(300500, 'A');
    const struct {
        const char* label;
        std::string text;
        size_t records;  // kept by the whole-input readers
    } cases[] = {
        {"short data line", ">s1\nAC\0GG\n>s2\nTT\n"s, 1},
        {"long data line", ">s1\n"s + longA + "\0"s + std::string(400000, 'G') + "\n>s2\nTT\n", 1},
        {"NUL as the last byte", ">s1\nAC\n>s2\nTT\0"s, 2},
        {"second header", ">s1\nAC\n>s\0\nTT\n"s, 1},
        {"first header", ">s\0"s + "1\nAC\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string p = WriteFile("nul.fa", c.text);
        FASTAFile f;
        SequenceVector v;
        std::istringstream in(c.text);
        EXPECT_EQ(f.Read(in, v), 0);
        EXPECT_EQ(v.size(), c.records);
        EXPECT_TRUE(in.bad());
        EXPECT_EQ(f.Read0(p, v), 0);
        EXPECT_EQ(v.size(), c.records);
        std::istringstream in2(c.text);
        ReadAllTwo(in2);
        EXPECT_TRUE(in2.bad());
        std::istringstream in4(c.text);
        std::vector<int> results;
        ReadAllFour(in4, 5000, &results);
        EXPECT_EQ(results.back(), 0);
    }
}

// ---- failed streams ----------------------------------------------------------------

TEST_F(FASTAFileTest, FailedStreamEndsEveryReader) {
    // Neither a stream that never opened nor a damaged gzip file may make a
    // reader loop or pass for a clean end of input.
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += ">r" + std::to_string(i) + "\n" + RandomBases(70, static_cast<unsigned>(i)) + "\n";
    std::string gzPath = Path("q.fa.gz");
    gzFile gz = gzopen(gzPath.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
    gzclose(gz);
    std::string bytes = ReadFile(gzPath);
    std::string truncated = WriteFile("t.fa.gz", bytes.substr(0, bytes.size() / 2));

    // Each reader reads the whole input and tells how many records it kept.
    const struct {
        const char* label;
        std::function<size_t(igzstream&)> read;
    } readers[] = {
        {"four-argument GetNextSequence",
         [](igzstream& in) {
             std::vector<int> results;
             std::vector<Sequence> recs = ReadAllFour(in, 5000, &results);
             EXPECT_EQ(results.back(), 0);
             return recs.size();
         }},
        {"two-argument GetNextSequence", [](igzstream& in) { return ReadAllTwo(in).size(); }},
        {"Read",
         [](igzstream& in) {
             FASTAFile f;
             SequenceVector v;
             EXPECT_EQ(f.Read(in, v), 0);
             return v.size();
         }},
        {"ReadQual, then ReadQualX",
         [](igzstream& in) {
             FASTAFile f;
             SequenceQualityVector q;
             EXPECT_EQ(f.ReadQual(in, q), 0);
             EXPECT_EQ(f.ReadQualX(in, q), 0);
             return q.size();
         }},
    };
    for (const std::string& p : {Missing(), truncated}) {
        for (const auto& r : readers) {
            SCOPED_TRACE(p + ": " + r.label);
            igzstream in;
            in.open(p.c_str(), std::ios::in);
            EXPECT_LT(r.read(in), 300u);
            EXPECT_TRUE(in.bad());
        }
    }
}

// ---- writers ----------------------------------------------------------------------

TEST(FASTAFileWrite, FastaLayout) {
    const std::string a50(50, 'A');
    const struct {
        size_t bases;
        const char* desc;
        std::string expected;
    } cases[] = {
        {120, "x", ">s1 x\n" + a50 + "\n" + a50 + "\n" + std::string(20, 'A') + "\n"},
        {100, "x", ">s1 x\n" + a50 + "\n" + a50 + "\n"},
        {1, "x", ">s1 x\nA\n"},
        {0, "x", ">s1 x\n"},
        {3, "", ">s1 \nAAA\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bases);
        FASTAFile f;
        Sequence s = Seq(std::string(c.bases, 'A'), "s1", c.desc);
        std::ostringstream out;
        f.Write(out, s);
        EXPECT_EQ(out.str(), c.expected);
    }
    FASTAFile f;
    SequenceVector v;
    v.push_back(Seq("AC", "a", "1"));
    v.push_back(Seq("", "b", "2"));
    std::ostringstream out;
    f.Write(out, v);
    EXPECT_EQ(out.str(), ">a 1\nAC\n>b 2\n");
}

TEST(FASTAFileWrite, QualityLayout) {
    std::string line25;
    for (int i = 1; i <= 25; ++i) line25 += std::to_string(i) + (i < 25 ? " " : "");
    const struct {
        std::vector<int> values;
        std::string expected;
    } cases[] = {
        {{30, 20, 10}, ">q1 lane 2\n30 20 10 \n"},
        {Range(25), ">q1 lane 2\n" + line25 + "\n"},
        {Range(26), ">q1 lane 2\n" + line25 + "\n26 \n"},
        {{}, ">q1 lane 2\n"},
        {{-3, 0}, ">q1 lane 2\n-3 0 \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.values.size());
        FASTAFile f;
        SequenceQuality q = Qual(c.values, "q1", "lane 2");
        std::ostringstream out;
        f.WriteQual(out, q);
        EXPECT_EQ(out.str(), c.expected);
    }
}

TEST_F(FASTAFileTest, WriteToFileTruncatesAndReadsBack) {
    std::string p = WriteFile("out.fa", std::string(1000, 'z'));
    FASTAFile f;
    Sequence s = Seq(RandomBases(777, 3), "s1", "some text");
    f.Write(p, s);
    Sequence back;
    ASSERT_EQ(f.Read(p, back), 1);
    EXPECT_EQ(back.mName, "s1");
    EXPECT_EQ(back.mDescription, "some text");
    EXPECT_EQ(Str(back), Str(s));

    // The quality writer flushes each line: the file holds it while the
    // stream is still open.
    std::string q = Path("out.qual");
    std::ofstream os(q);
    SequenceQuality values = Qual({30, 20}, "q1", "d");
    f.WriteQual(os, values);
    EXPECT_EQ(ReadFile(q), ">q1 d\n30 20 \n");
}

// ---- quality readers ----------------------------------------------------------------

TEST_F(FASTAFileTest, QualityRoundTrips) {
    SequenceQualityVector v;
    v.push_back(Qual(Range(60), "q1", "lane 2"));
    v.push_back(Qual({}, "q2", ""));
    v.push_back(Qual({-3, 40, 0}, "q3", "x  y"));
    std::string p = Path("q.qual");
    FASTAFile f;
    f.WriteQual(p, v);

    auto check = [&](SequenceQualityVector& got) {
        ASSERT_EQ(got.size(), v.size());
        for (size_t i = 0; i < v.size(); ++i) {
            EXPECT_EQ(got[i].mName, v[i].mName);
            EXPECT_EQ(got[i].mDescription, v[i].mDescription);
            EXPECT_EQ(got[i].mQuality, v[i].mQuality);
        }
    };
    SequenceQualityVector got;
    EXPECT_EQ(f.ReadQual(p, got), 1);
    check(got);
    std::ifstream in(p);
    EXPECT_EQ(f.ReadQual(in, got), 1);
    check(got);
    std::ifstream inX(p);
    EXPECT_EQ(f.ReadQualX(inX, got), 1);
    check(got);

    SequenceQuality one;
    EXPECT_EQ(f.ReadQual(p, one), 1);
    EXPECT_EQ(one.mName, "q1");
    EXPECT_EQ(one.mQuality, Range(60));

    // A file without any record leaves the record as it was.
    std::string empty = WriteFile("empty.qual", "\n");
    EXPECT_EQ(f.ReadQual(empty, one), 0);
    EXPECT_EQ(one.mName, "q1");
    EXPECT_EQ(one.mQuality, Range(60));

    SequenceQuality single = Qual({5, 6}, "only", "d");
    f.WriteQual(p, single);
    EXPECT_EQ(ReadFile(p), ">only d\n5 6 \n");
}

TEST_F(FASTAFileTest, QualityReaderHeaderFormsAndValueWords) {
    const std::string text = ">q1 lane 2\n30 20\nx5 -3\n";
    std::string p = WriteFile("q.qual", text);
    FASTAFile f;
    SequenceQualityVector v;
    EXPECT_EQ(f.ReadQual0(p, v), 1);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].mName, "");
    EXPECT_EQ(v[0].mDescription, "q1 lane 2");
    EXPECT_EQ(v[0].mQuality, (std::vector<int>{30, 20, 0, -3}));

    std::istringstream in(text);
    EXPECT_EQ(f.ReadQualX(in, v), 1);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].mName, "q1");
    EXPECT_EQ(v[0].mDescription, "lane 2");
    EXPECT_EQ(v[0].mQuality, (std::vector<int>{30, 20, 0, -3}));

    std::istringstream empty1(""), empty2("");
    EXPECT_EQ(f.ReadQualX(empty1, v), 1);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(f.ReadQual(empty2, v), 0);
    EXPECT_TRUE(v.empty());
}

TEST_F(FASTAFileTest, QualityValuesBeforeTheFirstHeaderAreKept) {
    // Leading values form a first record without name; a blank line alone does not.
    std::string p = WriteFile("lead.qual", "  \n5 6\n>q\n1\n");
    std::string blankOnly = WriteFile("blank.qual", "  \n>q\n1\n");
    FASTAFile f;
    SequenceQualityVector v;
    const struct {
        const char* label;
        std::function<int(const std::string&)> read;
    } readers[] = {
        {"ReadQual", [&](const std::string& n) { return f.ReadQual(n, v); }},
        {"ReadQual0", [&](const std::string& n) { return f.ReadQual0(n, v); }},
        {"ReadQualX",
         [&](const std::string& n) {
             std::ifstream in(n);
             return f.ReadQualX(in, v);
         }},
    };
    for (const auto& r : readers) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(r.read(p), 1);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0].mName, "");
        EXPECT_EQ(v[0].mQuality, (std::vector<int>{5, 6}));
        EXPECT_EQ(v[1].mQuality, std::vector<int>{1});
        EXPECT_EQ(r.read(blankOnly), 1);
        EXPECT_EQ(v.size(), 1u);
    }
}

TEST_F(FASTAFileTest, BlankQualityLines) {
    const std::string text = ">q1\n1 2\n  \n\n3\n";
    FASTAFile f;
    SequenceQualityVector v;

    std::istringstream in(text);
    testing::internal::CaptureStdout();
    EXPECT_EQ(f.ReadQual(in, v), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Hey why is there white space here?\nHey why is there white space here?\n");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].mQuality, (std::vector<int>{1, 2, 3}));

    std::string p = WriteFile("b.qual", text);
    testing::internal::CaptureStdout();
    EXPECT_EQ(f.ReadQual(p, v), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].mQuality, (std::vector<int>{1, 2, 3}));
}

TEST_F(FASTAFileTest, LongQualityLineKeepsNumbersWhole) {
    // A value line far beyond 4,899 characters: numbers that straddle the
    // line buffer's limit must not be split in two.
    std::vector<int> values;
    std::string line;
    for (int i = 0; i < 5000; ++i) {
        values.push_back(10000 + i);
        line += std::to_string(10000 + i) + " ";
    }
    const std::string text = ">q\n" + line + "\n>r\n7\n";
    std::string p = WriteFile("l.qual", text);
    FASTAFile f;
    SequenceQualityVector v;
    ASSERT_EQ(f.ReadQual(p, v), 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].mQuality, values);
    EXPECT_EQ(v[1].mQuality, std::vector<int>{7});
    std::istringstream in(text);
    ASSERT_EQ(f.ReadQual(in, v), 1);
    EXPECT_EQ(v[0].mQuality, values);
}

// ---- files that do not open -------------------------------------------------------

TEST_F(FASTAFileTest, FileOpenFailures) {
    const std::string bad = Missing();
    const std::string multi = bad + " file open failed (Read Multiple FASTA)\n";
    const std::string plain = bad + " file open failed\n";
    FASTAFile f;
    SequenceVector v;
    SequenceQualityVector qv;
    Sequence s = Seq("GG", "keep", "");
    SequenceQuality q = Qual({1}, "keep", "");

    const struct {
        const char* label;
        std::function<int()> call;
        int result;
        std::string message;
    } cases[] = {
        {"Read collection", [&] { return f.Read(bad, v); }, 0, multi},
        {"Read record", [&] { return f.Read(bad, s); }, 0, ""},
        {"Read0 collection", [&] { return f.Read0(bad, v); }, 0, multi},
        {"Read0 record", [&] { return f.Read0(bad, s); }, 0, multi},
        {"ReadQual collection", [&] { return f.ReadQual(bad, qv); }, 0, multi},
        {"ReadQual0", [&] { return f.ReadQual0(bad, qv); }, 0, plain},
        {"Write collection",
         [&] {
             f.Write(bad, v);
             return 0;
         },
         0, plain},
        {"Write record",
         [&] {
             f.Write(bad, s);
             return 0;
         },
         0, plain},
        {"WriteQual collection",
         [&] {
             f.WriteQual(bad, qv);
             return 0;
         },
         0, plain},
        {"WriteQual record",
         [&] {
             f.WriteQual(bad, q);
             return 0;
         },
         0, plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        v.assign(2, Seq("AC", "x", ""));
        qv.assign(2, Qual({1}, "x", ""));
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    }

    // What each reader leaves behind.
    v.assign(2, Seq("AC", "x", ""));
    testing::internal::CaptureStdout();
    f.Read(bad, v);
    EXPECT_EQ(v.size(), 2u);
    f.Read0(bad, v);
    EXPECT_TRUE(v.empty());
    f.ReadQual(bad, qv);
    EXPECT_EQ(qv.size(), 300u);
    f.ReadQual0(bad, qv);
    EXPECT_TRUE(qv.empty());
    f.Read(bad, s);
    f.Read0(bad, s);
    EXPECT_EQ(s.mName, "keep");
    EXPECT_EQ(f.ReadQual(bad, q), 0);
    EXPECT_EQ(q.mName, "");
    EXPECT_TRUE(q.mQuality.empty());
    testing::internal::GetCapturedStdout();
}

}  // namespace
