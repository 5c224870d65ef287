#include "kmer/MerRepeatModel.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tests/TestFixtures.h"

namespace {

typedef MerRepeatModel<MerSymmetricHashF> Model;

// Reading a distribution file changes the process-wide k and thinning: every
// test starts from the start-up values, and the guard puts back what was set
// before it. Files go to a folder of the test's own.
class MerRepeatModelTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    static void Reset() { SetMers(32, 1, 1); }
    std::string TempPath(const std::string& name) const { return mTemp.Path("kmer_" + name); }

    MerStaticsGuard mMerGuard;
    TempFolder mTemp{"merrepeatmodel_test"};
};

// Stored k-mers as the model holds them, with their counts.
std::map<std::string, int> Counts(const Model& m) {
    std::map<std::string, int> out;
    for (const auto& e : m.mCounts) out[e.first.ToString()] = e.second;
    return out;
}

ReadDistResult ReadText(Model& m, const std::string& text, int minCount = 1) {
    std::istringstream in(text);
    return m.ReadDist(in, minCount);
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

void WriteGzip(const std::string& path, const std::string& text) {
    gzFile gz = gzopen(path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, text.data(), (unsigned)text.size()), (int)text.size());
    gzclose(gz);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class CaptureStream {
public:
    explicit CaptureStream(std::ostream& os) : mOs(os), mOld(os.rdbuf(mBuf.rdbuf())) {}
    ~CaptureStream() { mOs.rdbuf(mOld); }
    std::string str() const { return mBuf.str(); }

private:
    std::ostream& mOs;
    std::ostringstream mBuf;
    std::streambuf* mOld;
};

TEST_F(MerRepeatModelTest, InitialValues) {
    Model m;
    EXPECT_EQ(m.mName, "MerModel");
    EXPECT_EQ(m.mMaxCount, 1000);
    EXPECT_EQ(m.mMinCount, 2);
    EXPECT_EQ(m.mDistMinCount, 1);
    EXPECT_TRUE(m.mCounts.empty());
    EXPECT_EQ(m.mWindowCount, 0);
    EXPECT_TRUE(m.mSequenceNames.empty());
}

TEST_F(MerRepeatModelTest, AcceptableFrequency) {
    Mer::setMerSize(5);
    Model m;
    Mer any("GGGGC");
    EXPECT_TRUE(m.isAcceptableFrequency(any)) << "an empty model accepts every k-mer";

    m.mCounts[Mer("ACGTT")] = 1;
    m.mCounts[Mer("AAAAA")] = 500;
    struct Case {
        const char* mer;
        bool acceptable;
    } cases[] = {
        {"ACGTT", false}, {"AACGT", false}, {"AAAAA", true}, {"TTTTT", true}, {"GGGGC", true}};
    for (const Case& c : cases) {
        Mer q(c.mer);
        EXPECT_EQ(m.isAcceptableFrequency(q), c.acceptable) << c.mer;
    }
    m.mMaxCount = 100;
    Mer a("AAAAA"), t("TTTTT");
    EXPECT_FALSE(m.isAcceptableFrequency(a));
    EXPECT_FALSE(m.isAcceptableFrequency(t));
    m.mMaxCount = 500;  // both limits are inclusive
    EXPECT_TRUE(m.isAcceptableFrequency(a));
    m.mMinCount = 1;
    Mer once("ACGTT");
    EXPECT_TRUE(m.isAcceptableFrequency(once));
}

TEST_F(MerRepeatModelTest, HeaderSetsNameLengthAndThinning) {
    Model m;
    ReadDistResult r = ReadText(m, "MerModel\t12\t4\t1\t2\n");
    ASSERT_TRUE(r.ok()) << r.Message();
    EXPECT_EQ(m.mName, "MerModel");
    EXPECT_EQ(Mer::mMerSize, 12);
    EXPECT_EQ(Mer::BASESUNUSED, 20);
    EXPECT_EQ(Mer::mThinFactor, 4);
    EXPECT_EQ(Mer::mThinSlice, 1);
    EXPECT_EQ(m.mDistMinCount, 2);
    EXPECT_TRUE(m.mCounts.empty()) << "a header line alone is a valid, empty model";
}

TEST_F(MerRepeatModelTest, HeaderFieldsAreSplitAtBlanksAndTabs) {
    const struct {
        const char* header;
        const char* name;
        int k, factor, slice, minCount;
    } cases[] = {
        {"MerModel\t12\t4\t1\t2", "MerModel", 12, 4, 1, 2},
        // The last four fields are the numbers; the name is the first field.
        {"my model 7\t5\t1\t0\t1", "my", 5, 1, 0, 1},
        {"  m  \t 7 +3   -1\t-4  ", "m", 7, 3, -1, -4},
        {"m\t32\t2147483647\t-2147483648\t0\r", "m", 32, INT_MAX, INT_MIN, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        Reset();
        Model m;
        ReadDistResult r = ReadText(m, std::string(c.header) + "\n");
        ASSERT_TRUE(r.ok()) << r.Message();
        EXPECT_EQ(m.mName, c.name);
        EXPECT_EQ(Mer::mMerSize, c.k);
        EXPECT_EQ(Mer::mThinFactor, c.factor);
        EXPECT_EQ(Mer::mThinSlice, c.slice);
        EXPECT_EQ(m.mDistMinCount, c.minCount);
    }
}

TEST_F(MerRepeatModelTest, BodyLinesAndEndings) {
    const std::string body =
        "d\t4\t1\t0\t1\n"
        "ACGT\t3\n"
        "aacg 9\n"          // blank separator, lower case
        "\n"                // empty lines are skipped
        "GGGC\t12 \t\r\n";  // blanks and tabs after the count, CR LF end
    std::map<std::string, int> want = {{"ACGT", 3}, {"AACG", 9}, {"GGGC", 12}};
    Model withNewline, without;
    ASSERT_TRUE(ReadText(withNewline, body).ok());
    ASSERT_TRUE(ReadText(without, body.substr(0, body.size() - 1)).ok());
    EXPECT_EQ(Counts(withNewline), want);
    EXPECT_EQ(Counts(without), want);
    // A CR LF file reads as its LF twin.
    std::string crlf;
    for (char c : body)
        if (c != '\r') crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Model crlfModel;
    ReadDistResult r = ReadText(crlfModel, crlf);
    ASSERT_TRUE(r.ok()) << r.Message();
    EXPECT_EQ(Counts(crlfModel), want);
    Model noNewlineAfterHeader;
    ASSERT_TRUE(ReadText(noNewlineAfterHeader, "d\t4\t1\t0\t1").ok());
    EXPECT_EQ(Mer::mMerSize, 4);
}

TEST_F(MerRepeatModelTest, CountsBeyondIntRangeAreHeldAtTheLimit) {
    Model m;
    ASSERT_TRUE(ReadText(m,
                         "d\t4\t1\t0\t1\n"
                         "AAAA\t4294967297\n"            // would wrap to 1
                         "CCCC\t99999999999999999999\n"  // beyond 64 bits as well
                         "ACGT\t2147483647\n")
                    .ok());
    EXPECT_EQ(Counts(m), (std::map<std::string, int>{
                             {"AAAA", INT_MAX}, {"CCCC", INT_MAX}, {"ACGT", INT_MAX}}));
    Mer a("AAAA");
    EXPECT_FALSE(m.isAcceptableFrequency(a)) << "a huge count is a repeat, not a rare k-mer";
}

TEST_F(MerRepeatModelTest, KmerAndItsReverseComplementShareOneEntry) {
    Model m;
    ASSERT_TRUE(ReadText(m, "d\t4\t1\t0\t1\nCGTT\t5\nAACG\t8\n").ok());
    EXPECT_EQ(Counts(m), (std::map<std::string, int>{{"CGTT", 8}}))
        << "stored under the earlier line's k-mer with the later line's count";
    EXPECT_TRUE(m.Contains(Mer("AACG")));
}

TEST_F(MerRepeatModelTest, MinCountFilter) {
    Model m;
    ASSERT_TRUE(ReadText(m, "d\t4\t1\t0\t1\nAAAA\t2\nCCCC\t3\nGGTA\t40\n", 3).ok());
    EXPECT_EQ(Counts(m), (std::map<std::string, int>{{"CCCC", 3}, {"GGTA", 40}}));
}

TEST_F(MerRepeatModelTest, LineLedByBlankOrTabEndsTheBody) {
    for (const char* lead : {"\t", " "}) {
        Model m;
        ReadDistResult r = ReadText(
            m, std::string("d\t4\t1\t0\t1\nAAAA\t2\n") + lead + "CCCC\t3\nGGGG\t4\nno separator\n");
        EXPECT_TRUE(r.ok()) << r.Message();
        EXPECT_EQ(Counts(m), (std::map<std::string, int>{{"AAAA", 2}}));
    }
}

TEST_F(MerRepeatModelTest, ProgressLinesAreWrittenWhileTheBodyIsRead) {
    // Odd lines have count 1, below minCount 3: read and counted, not kept.
    std::string text = "big\t12\t1\t0\t1\n";
    text.reserve(200000 * 16 + 64);
    Mer::setMerSize(12);
    for (int i = 0; i < 200000; ++i) {
        Mer m;
        m.mValue = (std::uint64_t)i;  // distinct 12-mers; the reverse complements among
                                      // them end in T, odd, and are not kept
        text += m.ToString();
        text += (i % 2) ? "\t1\n" : "\t5\n";
    }
    // The lines come as the body is read: a malformed line after them stops
    // the read but not its progress lines. Their size adds the k-mers the
    // model held before, and counts each listing of a k-mer.
    struct Case {
        const char* name;
        const char* before;  // a file read into the model first
        const char* last;    // a line after the 200,000
        ReadDistStatus status;
        const char* progress;
    } cases[] = {
        {"clean end", "", "", ReadDistOK,
         "Mers seen:100000\t size=50000\nMers seen:200000\t size=100000\n"},
        {"malformed last line", "", "ACGT\t5\n", ReadDistBadLine,
         "Mers seen:100000\t size=50000\nMers seen:200000\t size=100000\n"},
        {"model not empty", "m\t12\t1\t0\t1\nCCCCCCCCCCCC\t9\n", "", ReadDistOK,
         "Mers seen:100000\t size=50001\nMers seen:200000\t size=100001\n"},
    };
    for (const Case& c : cases) {
        Model model;
        if (*c.before) {
            ASSERT_TRUE(ReadText(model, c.before).ok()) << c.name;
        }
        ReadDistResult r;
        std::string err;
        {
            CaptureStream capture(std::cerr);
            r = ReadText(model, text + c.last, 3);
            err = capture.str();
        }
        EXPECT_EQ(r.mStatus, c.status) << c.name << ": " << r.Message();
        if (c.status != ReadDistOK) {
            EXPECT_EQ(r.mLine, 200002) << c.name;
        }
        EXPECT_EQ(err, c.progress) << c.name;
        // Each k-mer kept once: the last size is the map's.
        if (c.status == ReadDistOK) {
            EXPECT_EQ(err.substr(err.rfind('=') + 1), std::to_string(model.mCounts.size()) + "\n")
                << c.name;
        }
    }
}

TEST_F(MerRepeatModelTest, FileAndGzipCopyGiveTheSameModel) {
    const std::string plain = std::string(TEST_DATA_DIR) + "/kmer/small.dist";
    const std::string gz = TempPath("small.dist.gz");
    WriteGzip(gz, ReadFile(plain));
    Model a, b;
    ReadDistResult ra = a.ReadDist(plain, 1);
    ASSERT_TRUE(ra.ok()) << ra.Message();
    Reset();
    ReadDistResult rb = b.ReadDist(gz, 1);
    ASSERT_TRUE(rb.ok()) << rb.Message();
    EXPECT_EQ(a.mName, "small.dist");
    EXPECT_EQ(b.mName, "small.dist");
    EXPECT_EQ(Mer::mMerSize, 5);
    EXPECT_EQ(Counts(a), (std::map<std::string, int>{
                             {"AAAAA", 500}, {"ACGTT", 1}, {"CCCCC", 7}, {"GTACC", 12}}));
    EXPECT_EQ(Counts(a), Counts(b));
}

TEST_F(MerRepeatModelTest, BadHeadersAreReportedAndChangeNothing) {
    const char* headers[] = {
        "",                           // empty input
        "\n",                         // empty header line
        "   \t \n",                   // white space only
        "MerModel\n",                 // no numbers
        "MerModel\t12\t4\t1\n",       // minCount missing
        "m\t12.7\t1.5\t0\t1\n",       // not whole numbers
        "m\t12\t4\t1\t2x\n",          // trailing letter
        "m\t12\t4\t1\t-\n",           // a sign alone
        "m\t12\t4\t1\t2147483648\n",  // beyond an int
        "m\t12\t4\t1\t2\rx\n",        // a CR that is not the line end
        "MerModel\t0\t1\t0\t1\n",     // k below 1
        "MerModel\t33\t1\t0\t1\n",    // k above 32
        "MerModel\t-4\t1\t0\t1\n",    // negative k
        "MerModel\t12\t0\t0\t1\n",    // thinning factor 0
        "MerModel\t12\t-2\t0\t1\n",   // negative factor
    };
    for (const char* h : headers) {
        Model m;
        ReadDistResult r = ReadText(m, std::string(h) + "ACGTACGTACGT\t3\n");
        EXPECT_EQ(r.mStatus, ReadDistBadHeader) << '"' << h << '"';
        EXPECT_EQ(r.mLine, 1);
        EXPECT_EQ(Mer::mMerSize, 32) << h;
        EXPECT_EQ(Mer::mThinFactor, 1) << h;
        EXPECT_EQ(m.mName, "MerModel");
        EXPECT_TRUE(m.mCounts.empty());
        EXPECT_NE(r.Message().find("header"), std::string::npos);
    }
}

TEST_F(MerRepeatModelTest, MalformedBodyLinesAreReportedWithTheirLineNumber) {
    const char* lines[] = {
        "ACGT5",      // no separator
        "NNNN\t200",  // not bases
        "ACGN\t200",  "xyz!\t200",
        "A\t200",  // shorter than k
        "ACG\t200",
        "ACGTA\t200",  // longer than k
        "ACGT\tabc",   // count not a number
        "ACGT\t",      // no count
        "ACGT\t-5",    // signs are not counts
        "ACGT\t+5",
        "ACGT\t\t5",  // more than one separator
        "ACGT  5",
        "ACGT\t5x",  // text after the count
        "ACGT\t5 x",  "ACGT\t5\rx",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        Reset();
        Model m;
        ReadDistResult r =
            ReadText(m, std::string("d\t4\t1\t0\t1\nAAAA\t2\n") + line + "\nCCCC\t3\n");
        EXPECT_EQ(r.mStatus, ReadDistBadLine);
        EXPECT_EQ(r.mLine, 3);
        EXPECT_EQ(r.Message(),
                  "line 3: malformed line: expected 4 letters A, C, G or T, one blank or tab, "
                  "and a count of decimal digits");
    }
    // At k 1 the message counts one letter.
    Reset();
    Model one;
    ReadDistResult r1 = ReadText(one, "d\t1\t1\t0\t1\nAA\t2\n");
    EXPECT_EQ(r1.Message(),
              "line 2: malformed line: expected 1 letter A, C, G or T, one blank or tab, "
              "and a count of decimal digits");

    // A line of any length is read whole: trailing blanks are allowed, with a
    // following line and as the last line without a newline; a letter after
    // them is not.
    const std::string padded = "AAAA\t7" + std::string(400000, ' ');
    for (const std::string& rest : {std::string("\nCCCC\t2\n"), std::string()}) {
        Model big;
        ReadDistResult rb = ReadText(big, "d\t4\t1\t0\t1\n" + padded + rest);
        EXPECT_TRUE(rb.ok()) << rb.Message();
        EXPECT_EQ(big.mCounts[Mer("AAAA")], 7);
        EXPECT_EQ(big.mCounts.size(), rest.empty() ? 1u : 2u);
        Model bad;
        EXPECT_EQ(ReadText(bad, "d\t4\t1\t0\t1\n" + padded + "x" + rest).mStatus, ReadDistBadLine);
    }
}

TEST_F(MerRepeatModelTest, NulByteIsDamagedTextInAnyLine) {
    using namespace std::string_literals;
    const struct {
        const char* what;
        std::string text;
        int line;
    } cases[] = {
        {"in the header", "d\t4\0\t1\t0\t1\nAAAA\t2\n"s, 1},
        {"in a body line", "d\t4\t1\t0\t1\nAAAA\t2\nCC\0C\t3\n"s, 3},
        {"after the count", "d\t4\t1\t0\t1\nAAAA\t2\0\n"s, 2},
        {"in a last line without newline", "d\t4\t1\t0\t1\nAAAA\t2\n\0"s, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        Model m;
        ReadDistResult r = ReadText(m, c.text);
        EXPECT_EQ(r.mStatus, ReadDistNulByte);
        EXPECT_EQ(r.mLine, c.line);
        EXPECT_EQ(r.Message(), "line " + std::to_string(c.line) + ": a NUL byte (damaged text)");
    }
}

// A file of a whole genome's k-mers at minimum count 1 has more lines than
// an int counts: the line number must reach the message whole.
TEST(ReadDistResultTest, LinesBeyondAnIntKeepTheirNumberInTheMessage) {
    const struct {
        ReadDistStatus status;
        long long line;
        const char* message;
    } cases[] = {
        {ReadDistBadLine, 2147483648LL, "line 2147483648: malformed line: why"},
        {ReadDistNulByte, 4294967297LL, "line 4294967297: a NUL byte (damaged text)"},
        {ReadDistReadFailed, 6000000000LL,
         "line 6000000000: read error (damaged or truncated "
         "input)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const ReadDistResult r(c.status, c.line, c.status == ReadDistBadLine ? "why" : "");
        EXPECT_EQ(r.mLine, c.line);
        EXPECT_EQ(r.Message(), c.message);
    }
}

TEST_F(MerRepeatModelTest, UnreadableFilesAreReported) {
    Model m;
    ReadDistResult r = m.ReadDist(TempPath("does-not-exist.dist"), 1);
    EXPECT_EQ(r.mStatus, ReadDistOpenFailed);
    EXPECT_EQ(Mer::mMerSize, 32);
    std::ifstream notOpen(TempPath("does-not-exist.dist"));
    EXPECT_EQ(m.ReadDist(notOpen, 1).mStatus, ReadDistReadFailed);

    // A gzip copy cut short: an error, not a clean end of the body.
    std::string text = "cut\t12\t1\t0\t1\n";
    for (int i = 0; i < 5000; ++i) text += "ACGTACGTACGT\t" + std::to_string(i) + "\n";
    const std::string full = TempPath("full.dist.gz"), cut = TempPath("cut.dist.gz");
    WriteGzip(full, text);
    std::string bytes = ReadFile(full);
    WriteFile(cut, bytes.substr(0, bytes.size() / 2));
    Model c;
    ReadDistResult rc = c.ReadDist(cut, 1);
    EXPECT_EQ(rc.mStatus, ReadDistReadFailed) << rc.Message();
}

// The settings of the write-and-read-back tests: a file written under them
// must bring them back when read.
void SetK5Thin3Slice2() {
    Mer::setMerSize(5);
    Mer::mThinFactor = 3;
    Mer::mThinSlice = 2;
}

void ExpectK5Thin3Slice2() {
    EXPECT_EQ(Mer::mMerSize, 5);
    EXPECT_EQ(Mer::mThinFactor, 3);
    EXPECT_EQ(Mer::mThinSlice, 2);
}

TEST_F(MerRepeatModelTest, WriteDistAndReadBack) {
    SetK5Thin3Slice2();
    Model m;
    m.mName = "out.dist";
    m.mCounts[Mer("AAAAA")] = 500;
    m.mCounts[Mer("ACGTT")] = 1;
    m.mCounts[Mer("CCCCA")] = 2;
    const std::string path = TempPath("written.dist");
    std::string said;
    {
        CaptureStream capture(std::cout);
        m.WriteDist(path, 2);
        said = capture.str();
    }
    EXPECT_EQ(said, "WriteDist mName = out.dist\n");
    std::string text = ReadFile(path);
    ASSERT_EQ(text.rfind("out.dist\t5\t3\t2\t2\n", 0), 0u) << text;
    std::string body = text.substr(text.find('\n') + 1);
    EXPECT_TRUE(body == "AAAAA\t500\nCCCCA\t2\n" || body == "CCCCA\t2\nAAAAA\t500\n") << body;

    Reset();
    Model back;
    ReadDistResult r = back.ReadDist(path, 1);
    ASSERT_TRUE(r.ok()) << r.Message();
    ExpectK5Thin3Slice2();
    EXPECT_EQ(back.mDistMinCount, 2);
    EXPECT_EQ(back.mName, "out.dist");
    EXPECT_EQ(Counts(back), (std::map<std::string, int>{{"AAAAA", 500}, {"CCCCA", 2}}));

    // The stream form closes the stream it is given.
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    {
        CaptureStream capture(std::cout);
        back.WriteDist(out, 1000);
    }
    EXPECT_FALSE(out.is_open());
    EXPECT_EQ(ReadFile(path), "out.dist\t5\t3\t2\t1000\n");
}

TEST_F(MerRepeatModelTest, LargeBodyIsWrittenWholeAndReadsBack) {
    // Far more than one write buffer of the longest lines: 32-mers with counts
    // up to the largest int; counts below the minimum stay out.
    Mer::setMerSize(32);
    Mer::mThinFactor = 1;
    Mer::mThinSlice = 0;
    Model m;
    m.mName = "big.dist";
    std::mt19937_64 rng(5);
    for (int i = 0; i < 60000; ++i) {
        Mer mer;
        mer.mValue = rng();
        const int count = i % 7 == 0   ? INT_MAX
                          : i % 5 == 0 ? 0
                                       : static_cast<int>(rng() % 100000) + 1;
        m.mCounts[MerSymmetricHashF::canonicalValue(mer)] = count;
    }
    std::string want = "big.dist\t32\t1\t0\t1\n";
    std::map<std::string, int> kept;
    for (const auto& entry : m.mCounts) {
        if (entry.second < 1) continue;
        want += entry.first.ToString() + "\t" + std::to_string(entry.second) + "\n";
        kept[entry.first.ToString()] = entry.second;
    }
    ASSERT_GT(want.size(), 1u << 20);
    const std::string path = TempPath("big.dist");
    {
        CaptureStream capture(std::cout);
        m.WriteDist(path, 1);
    }
    EXPECT_TRUE(ReadFile(path) == want);

    Reset();
    Model back;
    {
        CaptureStream capture(std::cerr);
        ReadDistResult r = back.ReadDist(path, 1);
        ASSERT_TRUE(r.ok()) << r.Message();
    }
    EXPECT_EQ(Counts(back), kept);
    std::remove(path.c_str());
}

TEST_F(MerRepeatModelTest, NameWithWhiteSpaceIsWrittenAsOneWord) {
    // A blank before digits in the name would otherwise be read back as k.
    SetK5Thin3Slice2();
    Model m;
    m.mName = "run 3/out\t7.dist";
    m.mCounts[Mer("CCCCA")] = 2;
    const std::string path = TempPath("blank name.dist");
    {
        CaptureStream capture(std::cout);
        m.WriteDist(path, 1);
    }
    EXPECT_EQ(ReadFile(path), "run_3/out_7.dist\t5\t3\t2\t1\nCCCCA\t2\n");

    Reset();
    Model back;
    ReadDistResult r = back.ReadDist(path, 1);
    ASSERT_TRUE(r.ok()) << r.Message();
    ExpectK5Thin3Slice2();
    EXPECT_EQ(back.mDistMinCount, 1);
    EXPECT_EQ(Counts(back), (std::map<std::string, int>{{"CCCCA", 2}}));
}

// Whatever the counting gives, the file WriteDist makes reads back whole.
TEST_F(MerRepeatModelTest, CountedModelsRoundTripThroughTheFile) {
    std::string fasta = ">a\n";
    std::mt19937 rng(5);
    for (int i = 0; i < 3000; ++i) fasta += "ACGTacgtN"[rng() % 9];
    fasta += "\n>b\nAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n";
    const struct {
        int k, factor, slice, minCount;
    } cases[] = {{1, 1, 0, 1}, {7, 3, 2, 2}, {32, 1, 0, 1}, {12, 2, 1, -3}};
    const std::string path = TempPath("round trip.dist");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.k);
        Mer::setMerSize(c.k);
        Mer::mThinFactor = c.factor;
        Mer::mThinSlice = c.slice;
        Model counted;
        counted.mName = "my run " + std::to_string(c.k) + ".dist";
        std::istringstream in(fasta);
        counted.Add(in);
        ASSERT_FALSE(counted.mCounts.empty());
        {
            CaptureStream capture(std::cout);
            counted.WriteDist(path, c.minCount);
        }
        Reset();
        Model back;
        ReadDistResult r = back.ReadDist(path, 1);
        ASSERT_TRUE(r.ok()) << r.Message();
        EXPECT_EQ(Mer::mMerSize, c.k);
        EXPECT_EQ(Mer::mThinFactor, c.factor);
        EXPECT_EQ(Mer::mThinSlice, c.slice);
        EXPECT_EQ(back.mDistMinCount, c.minCount);
        std::map<std::string, int> written;
        for (const auto& e : Counts(counted))
            if (e.second >= c.minCount) written.insert(e);
        EXPECT_EQ(Counts(back), written);
    }
}

}  // namespace
