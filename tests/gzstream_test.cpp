#include "toolkit/gzstream.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "tests/TestFixtures.h"

namespace {

class GzStreamTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) { return mTemp.Path(name); }

    std::string WritePlain(const std::string& name, const std::string& text) {
        std::string p = Path(name);
        std::ofstream out(p, std::ios::binary);
        out << text;
        return p;
    }

    std::string WriteGz(const std::string& name, const std::string& text) {
        std::string p = Path(name);
        gzFile f = gzopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!text.empty()) {
            EXPECT_EQ(gzwrite(f, text.data(), static_cast<unsigned>(text.size())),
                      static_cast<int>(text.size()));
        }
        EXPECT_EQ(gzclose(f), Z_OK);
        return p;
    }

    static std::string ReadFile(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    TempFolder mTemp{"gzstream_test"};
};

// Lines of pseudo-random bases: compresses poorly, so the compressed file is
// long enough to damage in its middle.
std::string RandomFasta(int lines) {
    std::string s;
    unsigned x = 12345;
    for (int i = 0; i < lines; ++i) {
        s += ">r" + std::to_string(i) + "\n";
        for (int j = 0; j < 70; ++j) {
            x = x * 1103515245u + 12345u;
            s += "ACGT"[(x >> 16) & 3];
        }
        s += "\n";
    }
    return s;
}

// Reads every line with getline, joining them with newlines as they came.
std::string ReadAllLines(igzstream& in) {
    std::string all, line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!first) all += '\n';
        all += line;
        first = false;
    }
    return all;
}

TEST_F(GzStreamTest, PlainAndCompressedFilesReadIdentically) {
    const std::string big = RandomFasta(200);  // many refills of 299 bytes
    const struct {
        const char* label;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"one char", "A"},
        {"no final newline", ">a b\r\nAC GT\r\n\nlast"},
        {"many refills", big},
        {"bytes 0-255",
         [] {
             std::string s;
             for (int c = 0; c < 256; ++c) s += static_cast<char>(c);
             return s + s;
         }()},
    };
    for (const auto& c : cases) {
        for (bool gz : {false, true}) {
            SCOPED_TRACE(std::string(c.label) + (gz ? " (gzip)" : " (plain)"));
            std::string p = gz ? WriteGz("f.gz", c.text) : WritePlain("f.txt", c.text);
            igzstream in;
            in.open(p.c_str(), std::ios::in);
            ASSERT_TRUE(in.good());
            std::string got;
            char ch;
            while (in.get(ch)) got += ch;
            EXPECT_EQ(got, c.text);
            EXPECT_TRUE(in.eof());
            EXPECT_FALSE(in.bad());
            in.close();
            EXPECT_FALSE(in.bad());
        }
    }
}

TEST_F(GzStreamTest, EmptyFileReportsEndOfFileAtFirstRead) {
    for (bool gz : {false, true}) {
        std::string p = gz ? WriteGz("e.gz", "") : WritePlain("e.txt", "");
        igzstream in;
        in.open(p.c_str(), std::ios::in);
        std::string line;
        EXPECT_FALSE(std::getline(in, line));
        EXPECT_TRUE(in.eof());
        EXPECT_FALSE(in.bad());
    }
}

TEST_F(GzStreamTest, DamagedCompressedDataIsAnErrorNotEndOfInput) {
    const std::string text = RandomFasta(400);
    const std::string good = ReadFile(WriteGz("good.gz", text));
    ASSERT_GT(good.size(), 4000u);

    std::string corrupt = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 16; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5a);
    std::string badCrc = good;
    badCrc[good.size() - 6] = static_cast<char>(badCrc[good.size() - 6] ^ 0xff);

    const struct {
        const char* label;
        std::string bytes;
    } cases[] = {
        {"truncated in the middle", good.substr(0, good.size() / 2)},
        {"truncated before the trailer", good.substr(0, good.size() - 4)},
        {"truncated inside the header", good.substr(0, 6)},
        {"corrupted bytes", corrupt},
        {"wrong checksum", badCrc},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::string p = WritePlain("bad.gz", c.bytes);
        igzstream in;
        in.open(p.c_str(), std::ios::in);
        ASSERT_TRUE(in.good());
        std::string got = ReadAllLines(in);
        EXPECT_TRUE(in.bad()) << "a damaged file read like a clean end after " << got.size()
                              << " bytes";
        EXPECT_TRUE(in.rdbuf()->read_failed());
        EXPECT_LE(got.size(), text.size());
        in.close();
    }
}

TEST_F(GzStreamTest, FourCharactersCanBePutBackAcrossARefill) {
    std::string text;
    for (int i = 0; i < 700; ++i) text += static_cast<char>('a' + i % 26);
    for (bool gz : {false, true}) {
        SCOPED_TRACE(gz ? "gzip" : "plain");
        std::string p = gz ? WriteGz("p.gz", text) : WritePlain("p.txt", text);
        igzstream in;
        in.open(p.c_str(), std::ios::in);
        // 299 characters fill the first get area; the 300th comes from a refill.
        for (int i = 0; i < 300; ++i) ASSERT_EQ(in.get(), text[i]);
        for (int round = 0; round < 2; ++round) {
            for (int k = 0; k < 5; ++k) ASSERT_TRUE(in.unget()) << "unget " << k + 1;
            for (int i = 295; i < 300; ++i) ASSERT_EQ(in.get(), text[i]);
        }
        for (int k = 0; k < 5; ++k) in.unget();
        EXPECT_TRUE(in.good());
        in.unget();  // a fifth character before the refill was not kept
        EXPECT_TRUE(in.bad());
        in.clear();
        EXPECT_EQ(in.get(), text[295]);
    }
}

TEST_F(GzStreamTest, RefusedOpenModesSetBadbitAndOpenNothing) {
    std::string p = WritePlain("m.txt", "data\n");
    const struct {
        const char* label;
        int mode;
    } cases[] = {
        {"in|out", std::ios::in | std::ios::out}, {"in|app", std::ios::in | std::ios::app},
        {"in|ate", std::ios::in | std::ios::ate}, {"out|app", std::ios::out | std::ios::app},
        {"neither in nor out", std::ios::binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        igzstream in;
        in.open(p.c_str(), c.mode);
        EXPECT_TRUE(in.bad());
        EXPECT_EQ(in.rdbuf()->is_open(), 0);
    }
}

TEST_F(GzStreamTest, MissingFileSetsBadbitAndReadsNeverReachEndOfFile) {
    igzstream in;
    in.open(Path("no-such-file").c_str(), std::ios::in);
    EXPECT_TRUE(in.bad());
    std::string line;
    EXPECT_FALSE(std::getline(in, line));
    EXPECT_FALSE(in.eof());
    EXPECT_TRUE(in.fail());
}

TEST_F(GzStreamTest, SecondOpenFailsAndKeepsTheFirstFile) {
    std::string a = WriteGz("a.gz", "first\nfile\n");
    std::string b = WritePlain("b.txt", "second\n");
    igzstream in;
    in.open(a.c_str(), std::ios::in);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "first");
    in.open(b.c_str(), std::ios::in);
    EXPECT_TRUE(in.bad());
    EXPECT_EQ(in.rdbuf()->is_open(), 1);
    in.clear();
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "file");
}

TEST_F(GzStreamTest, CloseAndReopenStartsTheNewFileClean) {
    igzstream never;
    never.close();
    EXPECT_EQ(never.rdstate(), std::ios::goodbit);

    std::string a = WritePlain("a.txt", "AAAA\nBBBB\n");
    std::string b = WriteGz("b.gz", "CCCC\n");
    igzstream in;
    in.open(a.c_str(), std::ios::in);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    in.close();
    EXPECT_EQ(in.rdbuf()->is_open(), 0);
    EXPECT_EQ(in.rdstate(), std::ios::goodbit);
    // The unread rest of the first file must not leak into the second.
    in.open(b.c_str(), std::ios::in);
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "CCCC");
    EXPECT_FALSE(std::getline(in, line));
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.bad());
}

TEST_F(GzStreamTest, BufferWritesAGzipFileThatReadsBack) {
    const std::string text = RandomFasta(30);  // several full put areas
    std::string p = Path("w.gz");
    {
        gzstreambuf buf;
        ASSERT_NE(buf.open(p.c_str(), std::ios::out), nullptr);
        std::ostream out(&buf);
        out << text;
        EXPECT_EQ(buf.sgetc(), EOF);  // not open for reading
        ASSERT_NE(buf.close(), nullptr);
    }
    EXPECT_EQ(ReadFile(p).substr(0, 2), "\x1f\x8b");
    igzstream in;
    in.open(p.c_str(), std::ios::in);
    std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, text);

    gzstreambuf reader;
    ASSERT_NE(reader.open(p.c_str(), std::ios::in), nullptr);
    EXPECT_EQ(reader.overflow('x'), EOF);  // not open for writing
}

TEST_F(GzStreamTest, OutputThatCouldNotBeWrittenStaysWithItsFile) {
    // Characters put into a buffer that reads cannot be written; after close
    // they must neither reach the closed handle nor the next file opened.
    std::string in = WritePlain("in.txt", "abc\n");
    std::string out = Path("next.gz");
    gzstreambuf buf;
    ASSERT_NE(buf.open(in.c_str(), std::ios::in), nullptr);
    ASSERT_EQ(buf.sputc('x'), 'x');
    buf.close();
    EXPECT_EQ(buf.mGzFile, nullptr);
    EXPECT_EQ(buf.pubsync(), -1);

    ASSERT_NE(buf.open(out.c_str(), std::ios::out), nullptr);
    std::ostream os(&buf);
    os << "new";
    ASSERT_NE(buf.close(), nullptr);
    igzstream back;
    back.open(out.c_str(), std::ios::in);
    std::string got((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, "new");
}

TEST_F(GzStreamTest, FailedWritesStayInsideTheBuffer) {
    // Once zlib cannot write (a full device), every further character is
    // refused; none may be stored past the end of the buffer's array.
    gzstreambuf buf;
    ASSERT_NE(buf.open("/dev/full", std::ios::out), nullptr);
    const std::string data = RandomFasta(3000);  // far more than zlib buffers
    int r = 0;
    for (size_t i = 0; i < data.size() && r != EOF; ++i) r = buf.sputc(data[i]);
    ASSERT_EQ(r, EOF);
    for (int k = 0; k < 64; ++k) EXPECT_EQ(buf.sputc('\0'), EOF);
    EXPECT_EQ(buf.is_open(), 1);
    EXPECT_EQ(buf.mMode, static_cast<int>(std::ios::out));
    EXPECT_EQ(buf.close(), nullptr);
}

}  // namespace
