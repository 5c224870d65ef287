#include "kmer/Mer2SequenceLocationMap.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "toolkit/DistinctCounter.h"

#include "tests/TestFixtures.h"

namespace {

using namespace std::string_literals;

typedef Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF> Index;

// Every stored location as "KMER record:start", in scanning order.
std::vector<std::string> Locations(const Index& index) {
    std::vector<std::tuple<long, long, std::string>> all;
    for (const auto& entry : index.mLocationLists)
        for (const BigSequenceLocation& loc : entry.second)
            all.emplace_back(loc.sourceIdx(), loc.sourceStart(), entry.first.ToString());
    std::sort(all.begin(), all.end());
    std::vector<std::string> out;
    for (const auto& t : all)
        out.push_back(std::get<2>(t) + " " + std::to_string(std::get<0>(t)) + ":" +
                      std::to_string(std::get<1>(t)));
    return out;
}

class IndexTest : public ::testing::Test {
protected:
    void SetUp() override { SetMers(4, 1, 0); }
    SourceScanStatus Scan(const std::string& text) {
        std::istringstream in(text);
        return index.Add(in);
    }
    MerStaticsGuard mMerGuard;
    Index index;
};

// A stream that delivers some text, then fails with a read error.
class FailingBuf : public std::streambuf {
public:
    explicit FailingBuf(const std::string& text) : mText(text) {
        setg(&mText[0], &mText[0], &mText[0] + mText.size());
    }

protected:
    int_type underflow() override { throw std::runtime_error("device error"); }

private:
    std::string mText;
};

// Serves head, then `lines` lines of `width` N characters, then tail,
// without holding the whole text.
class NLinesBuf : public std::streambuf {
public:
    NLinesBuf(const std::string& head, long lines, size_t width, const std::string& tail)
        : mLeft(lines), mHead(head), mLine(std::string(width, 'N') + "\n"), mTail(tail) {
        Serve(mHead);
    }

protected:
    int_type underflow() override {
        if (mLeft > 0) {
            --mLeft;
            Serve(mLine);
        } else if (!mTailServed) {
            mTailServed = true;
            Serve(mTail);
        } else {
            return traits_type::eof();
        }
        return traits_type::to_int_type(*gptr());
    }

private:
    void Serve(std::string& s) { setg(&s[0], &s[0], &s[0] + s.size()); }
    long mLeft;
    bool mTailServed = false;
    std::string mHead, mLine, mTail;
};

struct ScanCase {
    const char* what;
    std::string text;
    std::vector<std::string> locations;
    std::vector<std::string> names;
    std::vector<int> sizes;
};

TEST_F(IndexTest, ScannerFollowsItsRules) {
    const std::vector<ScanCase> cases = {
        {"one k-mer per base once k bases are read",
         ">s1\nACGTAC\n",
         {"ACGT 0:0", "CGTA 0:1", "GTAC 0:2"},
         {"s1"},
         {6}},
        {"name keeps blanks and tabs, not the CR of a CR LF end",
         ">chr1 some\tdescription\r\nACGT\r\n",
         {"ACGT 0:0"},
         {"chr1 some\tdescription"},
         {4}},
        {"a CR inside a line is an ordinary character",
         ">a\rb\r\nAC\rGT\r",
         {"ACGT 0:0"},
         {"a\rb"},
         {4}},
        {"N and X advance the start and the k-mer spans them",
         ">s\nACGT\nACNGxT\n",
         {"ACGT 0:0", "CGTA 0:1", "GTAC 0:2", "TACG 0:4", "ACGT 0:6"},
         {"s"},
         {10}},
        {"an N among the first k keeps its place", ">s\nANCGT\n", {"ACGT 0:1"}, {"s"}, {5}},
        {"blanks, digits and other letters count nothing",
         ">s\nACGT\nA C1\tGR\n",
         {"ACGT 0:0", "CGTA 0:1", "GTAC 0:2", "TACG 0:3"},
         {"s"},
         {7}},
        {"... in the first k characters too",
         ">s\nA C-GTA\n",
         {"ACGT 0:0", "CGTA 0:1"},
         {"s"},
         {5}},
        {"first line shorter than k",
         ">s1 GGGG\nAC\nGTA\n",
         {"ACGT 0:0", "CGTA 0:1"},
         {"s1 GGGG"},
         {5}},
        {"blank line after the header",
         ">r1\n\nCCCCGGGG\n",
         {"CCCC 0:0", "CCCG 0:1", "CCGG 0:2", "CGGG 0:3", "GGGG 0:4"},
         {"r1"},
         {8}},
        {"'>' in mid-line starts a record named by the whole line",
         ">s1\nACGTAC>s2 x\nGGGG\n",
         {"ACGT 0:0", "CGTA 0:1", "GTAC 0:2", "GGGG 1:0"},
         {"s1", "CGTAC>s2 x"},
         {6, 4}},
        {"'>' among the first k characters",
         ">s1\nAC>s2\nGGGG\n",
         {"GGGG 1:0"},
         {"s1", "C>s2"},
         {2, 4}},
        {"empty record stores nothing and has size 0",
         ">s1\n>s2 yG\nACGT\n",
         {"ACGT 1:0"},
         {"s1", "s2 yG"},
         {0, 4}},
        {"empty records in a row",
         ">a\n>b\n>c\nCCCCA\n",
         {"CCCC 2:0", "CCCA 2:1"},
         {"a", "b", "c"},
         {0, 0, 5}},
        {"two records, sizes per record",
         ">a\nCCCCA\n>b\nGGGGT\nT\n",
         {"CCCC 0:0", "CCCA 0:1", "GGGG 1:0", "GGGT 1:1", "GGTT 1:2"},
         {"a", "b"},
         {5, 6}},
        {"empty file", "", {}, {}, {0}},
        {"header as the last line",
         ">s1\nACGT\n>s2 GGGG\n",
         {"ACGT 0:0"},
         {"s1", "s2 GGGG"},
         {4, 0}},
        {"header as the last line, no newline",
         ">s1\nACGT\n>s2 GGGG",
         {"ACGT 0:0"},
         {"s1", "s2 GGGG"},
         {4, 0}},
        {"text before the first header is record -1, counted alike",
         "AC\nGTA\n>s\nGGGG\n",
         {"GGGG 0:0", "ACGT 524287:0", "CGTA 524287:1"},
         {"s"},
         {4}},
        {"too short a text before the first header stores nothing",
         "AC\n>s\nGGGG\n",
         {"GGGG 0:0"},
         {"s"},
         {4}},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE(c.what);
        Index fresh;
        std::istringstream in(c.text);
        EXPECT_EQ(fresh.Add(in), SourceScanStatus::Ok);
        EXPECT_EQ(Locations(fresh), c.locations);
        EXPECT_EQ(fresh.mSourceNames, c.names);
        EXPECT_EQ(fresh.mSourceSizes, c.sizes);
    }
}

TEST_F(IndexTest, InitialThinningStoresNothingButKeepsNamesAndSizes) {
    SetMers(4, 1, 1);
    EXPECT_EQ(Scan(">s1\nACGTAC\n>s2\nGG\n"), SourceScanStatus::Ok);
    EXPECT_TRUE(index.mLocationLists.empty());
    EXPECT_EQ(index.mSourceNames, (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(index.mSourceSizes, (std::vector<int>{6, 2}));
}

// The line layout of a record (width, blanks, CR LF ends) changes nothing.
TEST_F(IndexTest, LineLayoutDoesNotChangeTheIndex) {
    std::mt19937 rng(11);
    std::string seq;
    for (int i = 0; i < 1000; ++i) seq += "ACGTACGTACGTNx"[rng() % 14];
    auto wrap = [&](size_t width, const std::string& end, const std::string& pad) {
        std::string text = ">r1 x" + end;
        for (size_t i = 0; i < seq.size(); i += width) text += pad + seq.substr(i, width) + end;
        return text + ">r2" + end + "GGTTA" + end;
    };
    Index want;
    std::istringstream in(wrap(60, "\n", ""));
    ASSERT_EQ(want.Add(in), SourceScanStatus::Ok);
    ASSERT_EQ(want.mSourceSizes, (std::vector<int>{1000, 5}));
    const struct {
        const char* what;
        std::string text;
    } layouts[] = {
        {"wrapped at 10", wrap(10, "\n", "")},
        {"wrapped at 1", wrap(1, "\n", "")},
        {"one line", wrap(1000, "\n", "")},
        {"CR LF ends", wrap(60, "\r\n", "")},
        {"lines led by blanks", wrap(7, "\n", " \t")},
    };
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.what);
        Index got;
        std::istringstream lin(l.text);
        ASSERT_EQ(got.Add(lin), SourceScanStatus::Ok);
        EXPECT_EQ(Locations(got), Locations(want));
        EXPECT_EQ(got.mSourceNames, want.mSourceNames);
        EXPECT_EQ(got.mSourceSizes, want.mSourceSizes);
    }
}

TEST_F(IndexTest, NulByteStopsTheScanAtItsLine) {
    const struct {
        const char* what;
        std::string text;
        long line;
        std::vector<std::string> names;
        std::vector<int> sizes;
    } cases[] = {
        {"in a sequence line", ">s\nACGT\nAC\0GT\nA\n"s, 3, {"s"}, {4}},
        {"as a line's first byte", ">s\nACGT\n\0ACGT\n"s, 3, {"s"}, {4}},
        {"in the first header line", ">s\0x\nACGT\n"s, 1, {}, {0}},
        {"in a last line without newline", ">s\nACGT\n>t\nGG\0"s, 4, {"s", "t"}, {4, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Index fresh;
        std::istringstream in(c.text);
        EXPECT_EQ(fresh.Add(in), SourceScanStatus::NulByte);
        EXPECT_EQ(fresh.mStopLine, c.line);
        EXPECT_EQ(fresh.mSourceNames, c.names);
        EXPECT_EQ(fresh.mSourceSizes, c.sizes);
    }
}

TEST_F(IndexTest, ThinningAndRepeatModelSelectKmers) {
    // Factor 2, slice 0 keeps the k-mers whose canonical value is even: of
    // ACGT 27, CGTA 108, GTAC 177, TACA 196, ACAG 18 it drops ACGT and GTAC;
    // the model then rejects TACA (count 1, below mMinCount) and accepts ACAG.
    SetMers(4, 2, 0);
    MerRepeatModel<MerSymmetricHashF> model;
    model.mCounts[Mer("TACA")] = 1;
    model.mCounts[Mer("ACAG")] = 5;
    std::istringstream in(">s1\nACGTACAG\n");
    EXPECT_EQ(index.Add(in, model), SourceScanStatus::Ok);
    EXPECT_EQ(Locations(index), (std::vector<std::string>{"CGTA 0:1", "ACAG 0:4"}));
}

TEST_F(IndexTest, LongLinesScanAsSingleLines) {
    std::mt19937 rng(7);
    const char* alphabet = "ACGTACGTACGTNx 1";
    std::string seq;
    for (int i = 0; i < 700001; ++i) seq += alphabet[rng() % 16];
    std::string wrapped;
    for (size_t i = 0; i < seq.size(); i += 70) wrapped += seq.substr(i, 70) + "\n";

    Index expected;
    std::istringstream in1(">s1\n" + wrapped);
    ASSERT_EQ(expected.Add(in1), SourceScanStatus::Ok);
    ASSERT_GT(expected.mSourceSizes[0], 500000);

    Index single;
    std::istringstream in2(">s1\n" + seq + "\n");
    ASSERT_EQ(single.Add(in2), SourceScanStatus::Ok);
    EXPECT_EQ(Locations(single), Locations(expected));
    EXPECT_EQ(single.mSourceSizes, expected.mSourceSizes);

    // A header longer than the buffer keeps its whole name, and a '>' deep in
    // a long sequence line names the new record after that whole line.
    const std::string longName(400000, 'n');
    const std::string tail = seq.substr(0, 650000) + ">s3";
    Index named;
    std::istringstream in3(">" + longName + "\nACGT\n" + tail + "\nGGGG\n");
    ASSERT_EQ(named.Add(in3), SourceScanStatus::Ok);
    ASSERT_EQ(named.mSourceNames.size(), 2u);
    EXPECT_EQ(named.mSourceNames[0], longName);
    EXPECT_EQ(named.mSourceNames[1], tail.substr(1));
    ASSERT_EQ(named.mLocationLists.count(Mer("GGGG")), 1u);
    const BigSequenceLocation& last = named.mLocationLists[Mer("GGGG")].back();
    EXPECT_EQ(last.sourceIdx(), 1);
    EXPECT_EQ(last.sourceStart(), 0);

    // A NUL byte deep in a long line is found there too.
    std::string cut = seq.substr(0, 350000) + ">not a header";
    cut[340000] = '\0';
    Index withNul;
    std::istringstream in4(">s1\n" + cut + "\nGGGG\n");
    EXPECT_EQ(withNul.Add(in4), SourceScanStatus::NulByte);
    EXPECT_EQ(withNul.mStopLine, 2);
}

TEST_F(IndexTest, FailedStreamEndsTheScanAndIsReported) {
    std::ifstream missing(TEST_DATA_DIR "/index/no-such-file.fa");
    EXPECT_EQ(index.Add(missing), SourceScanStatus::ReadFailed);
    EXPECT_TRUE(index.mSourceNames.empty());
    EXPECT_EQ(index.mSourceSizes, (std::vector<int>{0}));

    // A read error after some text keeps what was read, records consistent.
    FailingBuf buf(">s1\nACGTAC\n>s2\nGGG");
    std::istream in(&buf);
    Index partial;
    EXPECT_EQ(partial.Add(in), SourceScanStatus::ReadFailed);
    EXPECT_EQ(partial.mSourceNames, (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(partial.mSourceSizes, (std::vector<int>{6, 0}));
    EXPECT_EQ(partial.mStopLine, 4);
    EXPECT_EQ(Locations(partial).front(), "ACGT 0:0");
}

TEST_F(IndexTest, RecordCountIsLimitedToWhatALocationCanNumber) {
    struct Case {
        const char* what;
        std::string prefix;
        int records;
        SourceScanStatus status;
        size_t kept;
    } cases[] = {
        {"exactly the limit", "", 524288, SourceScanStatus::Ok, 524288},
        {"one record more", "", 524289, SourceScanStatus::TooManyRecords, 524288},
        // Text before the first header takes the top index itself.
        {"limit with text before the first header", "ACGT\n", 524288,
         SourceScanStatus::TooManyRecords, 524287},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = c.prefix;
        for (int i = 0; i < c.records; ++i) text += ">r" + std::to_string(i) + "\nACGTT\n";
        Index fresh;
        std::istringstream in(text);
        EXPECT_EQ(fresh.Add(in), c.status);
        ASSERT_EQ(fresh.mSourceNames.size(), c.kept);
        EXPECT_EQ(fresh.mSourceSizes.size(), c.kept);
        EXPECT_EQ(fresh.mSourceNames.back(), "r" + std::to_string(c.kept - 1));
        EXPECT_EQ(fresh.mSourceSizes.back(), 5);
        // Every location names a stored record, or the top index for the text
        // before the first header.
        long misnumbered = 0;
        for (const auto& entry : fresh.mLocationLists)
            for (const BigSequenceLocation& loc : entry.second)
                if (loc.sourceIdx() >= (long)c.kept &&
                    !(c.prefix.size() && loc.sourceIdx() == 524287))
                    ++misnumbered;
        EXPECT_EQ(misnumbered, 0);
    }
}

TEST_F(IndexTest, RecordLengthIsLimitedToWhatAnIntCanHold) {
    // k = 4: the last start that keeps the size pos + k within an int is
    // INT_MAX - 4. N characters up to just before it, then G at that start;
    // the T after it does not fit and ends the scan.
    const int lastStart = INT_MAX - 4;
    const size_t width = 1 << 20;
    const long nCount = lastStart - 1;
    NLinesBuf buf(">big\nACGT\n", nCount / width, width,
                  std::string(nCount % width, 'N') + "\nG\nT\nACGT\n");
    std::istream in(&buf);
    EXPECT_EQ(index.Add(in), SourceScanStatus::RecordTooLong);
    EXPECT_EQ(index.mSourceNames, (std::vector<std::string>{"big"}));
    EXPECT_EQ(index.mSourceSizes, (std::vector<int>{INT_MAX}));
    // The N characters kept ACGT's bases, so G gives CGTG.
    EXPECT_EQ(Locations(index),
              (std::vector<std::string>{"ACGT 0:0", "CGTG 0:" + std::to_string(lastStart)}));
}

TEST_F(IndexTest, LocationListsStopAtTheirLimit) {
    index.mMaxLocations = 3;
    ASSERT_EQ(Scan(">s\nAAAAAAAAAA\n"), SourceScanStatus::Ok);
    EXPECT_EQ(Locations(index), (std::vector<std::string>{"AAAA 0:0", "AAAA 0:1", "AAAA 0:2"}));
    EXPECT_EQ(index.mLocationCount, 2);
}

TEST_F(IndexTest, FindMerLocationsAppendsOneHitPerLocation) {
    ASSERT_EQ(Scan(">a\nACGTT\n>b x\nTTACGTACGT\n"), SourceScanStatus::Ok);
    SearchResultVec hits;
    std::string name = "earlier";
    hits.add(name, 1, 2, 3);

    Mer absent("CCCC");
    index.FindMerLocations(absent, hits);
    ASSERT_EQ(hits.size(), 1u);

    Mer acgt("ACGT");
    index.FindMerLocations(acgt, hits);
    ASSERT_EQ(hits.size(), 4u);
    const struct {
        const char* name;
        unsigned long size, start, end;
    } want[] = {{"a", 5, 0, 3}, {"b x", 10, 2, 5}, {"b x", 10, 6, 9}};
    for (int i = 0; i < 3; ++i) {
        const SearchResult& h = hits[i + 1];
        EXPECT_EQ(h.sourceName(), want[i].name);
        EXPECT_EQ(h.sourceSize(), want[i].size);
        EXPECT_EQ(h.sourceStart(), want[i].start);
        EXPECT_EQ(h.sourceEnd(), want[i].end);
        EXPECT_EQ(h.queryName(), "");
        EXPECT_EQ(h.queryStart(), 0u);
    }
}

TEST_F(IndexTest, LocationWithoutRecordNameWritesBugLinesAndMakesNoHit) {
    ASSERT_EQ(Scan("ACGTA\n>s1\nCCCC\n>s2\nACGT\n"), SourceScanStatus::Ok);
    SearchResultVec hits;
    Mer acgt("ACGT");
    testing::internal::CaptureStdout();
    index.FindMerLocations(acgt, hits);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "BUG mSourceNames.size=2\ns1\ns2\nBUG M.sourceIdx()=524287\n");
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].sourceName(), "s2");
}

TEST_F(IndexTest, RealGenomeIndexesEveryWindow) {
    SetMers(16, 1, 0);
    std::ifstream in(SHARED_DATA_DIR "/mt_human.fa");
    ASSERT_TRUE(in.is_open());
    ASSERT_EQ(index.Add(in), SourceScanStatus::Ok);
    EXPECT_EQ(index.mSourceNames, (std::vector<std::string>{"MT_human"}));
    EXPECT_EQ(index.mSourceSizes, (std::vector<int>{16569}));
    size_t locations = 0;
    for (const auto& entry : index.mLocationLists) locations += entry.second.size();
    EXPECT_EQ(locations, 16569u - 16 + 1);
}

// Every entry as the -D dump lists it: in iteration order, each k-mer with
// its locations in storing order.
std::vector<std::string> Dump(const Index& index) {
    std::vector<std::string> out;
    for (const auto& entry : index.mLocationLists) {
        std::string line = entry.first.ToString();
        for (const BigSequenceLocation& loc : entry.second)
            line += " " + std::to_string(loc.sourceIdx()) + ":" + std::to_string(loc.sourceStart());
        out.push_back(line);
    }
    return out;
}

TEST_F(IndexTest, SizingAheadChangesNothingStored) {
    const std::string path = SHARED_DATA_DIR "/mt_human.fa";
    for (int factor : {1, 3}) {
        SetMers(12, factor, 0);
        Index grown, sized, tooSmall;
        sized.ReserveForFile(path);
        tooSmall.Reserve(50);
        std::vector<std::vector<std::string>> dumps;
        for (Index* i : {&grown, &sized, &tooSmall}) {
            std::ifstream in(path);
            ASSERT_EQ(i->Add(in), SourceScanStatus::Ok);
            dumps.push_back(Dump(*i));
        }
        EXPECT_GT(dumps[0].size(), 1000u);
        EXPECT_EQ(dumps[1], dumps[0]) << "factor " << factor;
        EXPECT_EQ(dumps[2], dumps[0]) << "factor " << factor;
    }
    Index none;
    none.ReserveForFile("/nonexistent/source.fa");  // no size to go by: nothing happens
    EXPECT_TRUE(none.mLocationLists.empty());
}

// count random bases, from rng.
std::string RandomBases(std::mt19937& rng, std::size_t count) {
    std::string bases(count, 'A');
    for (char& c : bases) c = "ACGT"[rng() & 3];
    return bases;
}

// text cut into lines of 60, each ended by end.
std::string InLines(const std::string& text, const std::string& end = "\n") {
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 60) out += text.substr(i, 60) + end;
    return out;
}

// The reservation of a file's index follows the distinct k-mers that its scan
// stores, however far the count of its bases lies above them: never fewer
// (a table too small doubles), about as many, and never more than the
// k-mers stored with their repeats. Up to the counter's capacity the pass
// counts exactly the distinct k-mers the scan stores, by the scan's own rules.
TEST_F(IndexTest, FileReservationFollowsTheDistinctKmersStored) {
    TempFolder dir;
    std::mt19937 rng(11);
    const std::string genome = RandomBases(rng, 30000);
    std::string similar;
    for (int r = 0; r < 6; ++r) {
        std::string copy = genome;
        for (std::size_t i = r * 37; i < copy.size(); i += 700) copy[i] = "ACGT"[rng() & 3];
        similar += ">copy" + std::to_string(r) + "\n" + InLines(copy);
    }
    std::string unit = RandomBases(rng, 171), units;
    for (int i = 0; i < 3000; ++i) units += unit;
    // Lower case, N and X runs spanned, other characters, CR LF, text before
    // the first header, and names full of bases, which count nothing.
    std::string mixed = "acgtnacgtacgtxxacgt\r\n";
    for (int r = 0; r < 40; ++r) {
        std::string seq = RandomBases(rng, 500);
        for (std::size_t i = r; i < seq.size(); i += 97) seq[i] = "NnXx-*"[i % 6];
        for (std::size_t i = r; i < seq.size(); i += 5) seq[i] = static_cast<char>(seq[i] | 0x20);
        mixed += ">" + RandomBases(rng, 300) + "\r\n" + InLines(seq, "\r\n");
    }
    struct Case {
        const char* what;
        int k, factor, slice;
        bool gzip;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"one base repeated", 32, 1, 0, false, ">a\n" + InLines(std::string(300000, 'A'))},
        {"one base repeated, gzip", 32, 1, 0, true, ">a\n" + InLines(std::string(300000, 'A'))},
        {"a 171-base unit repeated, gzip", 32, 1, 0, true, ">u\n" + InLines(units)},
        {"similar records", 24, 1, 0, false, similar},
        {"uneven thinning slice", 32, 4, 3, false, ">r\n" + InLines(genome + genome)},
        {"thinning by 5", 20, 5, 1, true, similar},
        {"distinct k-mers, thinning by 7", 20, 7, 6, false, ">r\n" + InLines(genome)},
        {"names, N runs, case, CR LF", 12, 3, 1, false, mixed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetMers(c.k, c.factor, c.slice);
        const std::string path = dir.Path("source.fa");
        gzFile out = gzopen(path.c_str(), c.gzip ? "wb" : "wbT");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(gzwrite(out, c.text.data(), static_cast<unsigned>(c.text.size())),
                  static_cast<int>(c.text.size()));
        ASSERT_EQ(gzclose(out), Z_OK);
        Index sized;
        const long long reserved = sized.ReserveForFile(path);
        igzstream in;
        in.open(path.c_str(), std::ios::in);
        ASSERT_EQ(sized.Add(in), SourceScanStatus::Ok);
        const long long distinct = static_cast<long long>(sized.mLocationLists.size());
        long long stored = 0;
        for (const auto& entry : sized.mLocationLists)
            stored += static_cast<long long>(entry.second.size());
        ASSERT_GT(distinct, 0);
        EXPECT_GE(reserved, distinct);
        EXPECT_LE(reserved, stored);
        EXPECT_LE(reserved, distinct + distinct / 10 + 16);
        // Up to the counter's capacity the pass counts them exactly.
        if (distinct <= static_cast<long long>(DistinctCounter::kCapacity)) {
            EXPECT_EQ(reserved, distinct);
        }
    }
}

// The largest table an index reaches while the 32-mer keys are stored
// into it, one location each, as a scan stores them (before the scan gives
// back what it did not need).
std::size_t PeakSlots(Index& index, const std::vector<std::uint64_t>& keys) {
    MerRepeatModel<MerSymmetricHashF> model;
    std::size_t peak = index.mLocationLists.bucket_count();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        Mer m;
        m.mValue = keys[i];
        index.AddMerLocation(m, 0, static_cast<int>(i), model);
        peak = std::max(peak, index.mLocationLists.bucket_count());
    }
    return peak;
}

// Writes the 32-mer keys to path, one record each, every one twice, so that
// the k-mers read bound an estimate only far above the count.
void WriteKmerRecords(const std::string& path, const std::vector<std::uint64_t>& keys) {
    std::string text;
    for (int copy = 0; copy < 2; ++copy)
        for (const std::uint64_t key : keys) {
            Mer m;
            m.mValue = key;
            text += ">r\n" + m.ToString() + "\n";
        }
    std::ofstream(path) << text;
}

// A file's table is never larger than the one its pipe's table grows to,
// however its estimate errs: close to a count just below a size at which
// the table doubles (the upper end of the estimate alone would need the
// doubled size), or well below the count (keys whose mixes lie above every
// sampling threshold are never counted, and the table grows onto the pipe's
// size, not to twice its own).
TEST_F(IndexTest, FileTableNeverOutgrowsItsPipes) {
    SetMers(32, 1, 0);
    std::mt19937_64 rng(5);
    std::vector<std::uint64_t> close(22800), low(40500);
    for (std::uint64_t& k : close) k = rng();
    for (std::uint64_t& k : low) k = rng();
    for (int i = 0; i < 4500; ++i)
        low.push_back(DistinctCounter::Unmix(rng() | (std::uint64_t(1) << 63)));
    TempFolder dir;
    const std::string path = dir.Path("source.fa");
    for (const std::vector<std::uint64_t>* keys : {&close, &low}) {
        const bool isLow = keys == &low;
        SCOPED_TRACE(isLow ? "10% low" : "close, below a doubling");
        WriteKmerRecords(path, *keys);
        Index file, pipe;
        const long long reserved = file.ReserveForFile(path);
        const std::size_t filePeak = PeakSlots(file, *keys), pipePeak = PeakSlots(pipe, *keys);
        EXPECT_LE(filePeak, pipePeak);
        if (isLow)
            EXPECT_LT(reserved, static_cast<long long>(keys->size()));
        else
            EXPECT_GT(reserved * 10, static_cast<long long>(pipePeak) * 7);
    }
}

// Keys whose mixes are all small drive the estimate towards 2^64: the
// k-mers read bound it, in floating point (converted to an integer first,
// it was undefined, and came out negative, so that nothing was reserved).
// A source built against the mix can thus cost what its k-mers read
// reserve, which no real source does.
TEST_F(IndexTest, AnEstimateNear2To64IsBoundedByTheKmersRead) {
    SetMers(32, 1, 0);
    std::vector<std::uint64_t> keys;
    for (std::uint64_t m = 1; m <= 20000; ++m) keys.push_back(DistinctCounter::Unmix(m));
    TempFolder dir;
    WriteKmerRecords(dir.Path("source.fa"), keys);
    EXPECT_EQ(index.ReserveForFile(dir.Path("source.fa")), 40000);
}

// A reservation larger than the memory allowed is skipped: the table grows
// from its present size instead, and the index is the same.
TEST_F(IndexTest, ReservationThatCannotBeHadIsSkipped) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit possible";
#else
    // This process's address space now, in KiB.
    long sizeKb = 0;
    FILE* status = std::fopen("/proc/self/status", "r");
    ASSERT_NE(status, nullptr);
    char line[256];
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmSize: %ld", &sizeKb) == 1) break;
    std::fclose(status);
    ASSERT_GT(sizeKb, 0);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(sizeKb + 256 * 1024) * 1024;  // 256 MiB more
    if (saved.rlim_cur != RLIM_INFINITY && saved.rlim_cur < limited.rlim_cur)
        limited.rlim_cur = saved.rlim_cur;
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
    bool threw = false;
    try {
        index.Reserve(400000000);  // about 4.6 GB of slots
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    const SourceScanStatus scanned = Scan(">s1\nACGTTA\n>s2\nTTAC\n");
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_FALSE(threw);
    EXPECT_EQ(scanned, SourceScanStatus::Ok);
    EXPECT_EQ(Locations(index),
              (std::vector<std::string>{"ACGT 0:0", "CGTT 0:1", "GTTA 0:2", "TTAC 1:0"}));
#endif
}

}  // namespace
