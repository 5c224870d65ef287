#include "toolkit/InputFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/TestFixtures.h"

namespace {

class InputFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string p = mTemp.Path(name);
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    std::string WriteGz(const std::string& name, const std::string& text) {
        std::string p = mTemp.Path(name);
        gzFile f = gzopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(gzwrite(f, text.data(), static_cast<unsigned>(text.size())),
                  static_cast<int>(text.size()));
        gzclose(f);
        return p;
    }

    TempFolder mTemp{"inputfile_test"};
};

// Through the stream, as the readers take it, so that its end sets eof.
std::string ReadAll(igzstream& in) {
    std::string s;
    char c;
    while (in.get(c)) s += c;
    return s;
}

// A file that opens is read from its first byte: the probe takes nothing.
TEST_F(InputFileTest, OpensPlainGzipAndEmptyFilesAtTheirStart) {
    const std::string text = ">r1\nACGT\n>r2\nGG\n";
    const struct {
        const char* name;
        std::string path;
        std::string want;
    } cases[] = {
        {"plain", Write("plain.fa", text), text},
        {"gzip", WriteGz("gz.fa.gz", text), text},
        {"empty", Write("empty.fa", ""), ""},
        {"one byte", Write("one.fa", ">"), ">"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        igzstream in;
        std::string reason = "untouched";
        ASSERT_TRUE(OpenInputFile(in, c.path, reason)) << reason;
        EXPECT_TRUE(in.good());
        EXPECT_EQ(ReadAll(in), c.want);
        EXPECT_FALSE(in.bad());
        EXPECT_TRUE(in.eof());
    }
}

TEST_F(InputFileTest, RefusesWhatCannotBeRead) {
    std::string gz = WriteGz("good.fa.gz", std::string(4000, 'A'));
    std::string bytes;
    {
        std::ifstream f(gz, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::string damaged = bytes;
    for (size_t i = 10; i < damaged.size() && i < 30; ++i) damaged[i] = 'X';
    std::filesystem::create_directory(mTemp.Path("adir"));

    const struct {
        const char* name;
        std::string path;
        std::string reason;
    } cases[] = {
        {"missing", mTemp.Path("nosuch.fa"), "cannot open: No such file or directory"},
        {"missing folder", mTemp.Path("nodir/x.fa"), "cannot open: No such file or directory"},
        {"directory", mTemp.Path("adir"), "cannot open: Is a directory"},
        {"damaged gzip data", Write("bad.fa.gz", damaged),
         "read error (unreadable file or damaged gzip data)"},
        // Opens, but its first read fails (EIO), whoever runs the test.
        {"unreadable contents", "/proc/self/mem",
         "read error (unreadable file or damaged gzip data)"},
        {"gzip header cut short", Write("cut.fa.gz", bytes.substr(0, 5)),
         "read error (unreadable file or damaged gzip data)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        igzstream in;
        std::string reason;
        EXPECT_FALSE(OpenInputFile(in, c.path, reason));
        EXPECT_EQ(reason, c.reason);
    }
}

// Root reads any file whatever its mode, so the case needs another user; the
// name carries the reason, since the ctest summary lists a skipped test by name.
TEST_F(InputFileTest, RefusesAFileWithoutReadPermissionSkippedAsRoot) {
    if (geteuid() == 0) GTEST_SKIP() << "running as root: read permission is not enforced";
    std::string p = Write("secret.fa", ">r\nACGT\n");
    ASSERT_EQ(chmod(p.c_str(), 0), 0);
    igzstream in;
    std::string reason;
    EXPECT_FALSE(OpenInputFile(in, p, reason));
    EXPECT_EQ(reason, "cannot open: Permission denied");
}

}  // namespace
