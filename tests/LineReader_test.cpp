#include "toolkit/LineReader.h"

#include <gtest/gtest.h>

#include <new>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every line of `text` with how it ended, up to and including the read that
// found no line.
std::vector<std::pair<std::string, LineEnd>> AllLines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::pair<std::string, LineEnd>> out;
    std::string line;
    for (;;) {
        LineEnd e = ReadTextLine(in, line);
        out.emplace_back(line, e);
        if (!GotLine(e)) break;
    }
    return out;
}

TEST(LineReaderTest, LineEndsAreTakenOff) {
    using L = std::vector<std::pair<std::string, LineEnd>>;
    const LineEnd NL = LineEnd::Newline, EI = LineEnd::EndOfInput, NO = LineEnd::None;
    struct Case {
        std::string text;
        L lines;
    } cases[] = {
        {"", {{"", NO}}},
        {"a\nb\n", {{"a", NL}, {"b", NL}, {"", NO}}},
        {"a\nb", {{"a", NL}, {"b", EI}, {"", NO}}},
        {"a\r\nb\r\n", {{"a", NL}, {"b", NL}, {"", NO}}},
        {"a\r\nb\r", {{"a", NL}, {"b", EI}, {"", NO}}},  // CR as the input's last byte
        {"a\rb\r\r\n", {{"a\rb\r", NL}, {"", NO}}},      // only the CR before the newline goes
        {"\r\n\n\r", {{"", NL}, {"", NL}, {"", EI}, {"", NO}}},  // empty lines stay lines
        {std::string("a\0b\n", 4), {{std::string("a\0b", 3), NL}, {"", NO}}},
    };
    for (const Case& c : cases) EXPECT_EQ(AllLines(c.text), c.lines) << c.text;
}

TEST(LineReaderTest, LongLinesAreReadWhole) {
    std::string longLine(1000000, 'A');
    std::istringstream in(longLine + "\r\nC");
    std::string line;
    EXPECT_EQ(ReadTextLine(in, line), LineEnd::Newline);
    EXPECT_EQ(line, longLine);
    EXPECT_EQ(ReadTextLine(in, line), LineEnd::EndOfInput);
    EXPECT_EQ(line, "C");
}

TEST(LineReaderTest, AFailedStreamIsReportedNotTakenForItsEnd) {
    std::istringstream in("a\n");
    in.setstate(std::ios::failbit);
    std::string line = "old";
    EXPECT_EQ(ReadTextLine(in, line), LineEnd::Failed);
    EXPECT_EQ(line, "");
    std::istringstream bad("a\n");
    bad.setstate(std::ios::badbit);
    EXPECT_EQ(ReadTextLine(bad, line), LineEnd::Failed);
}

TEST(LineReaderTest, NulBytesAreFound) {
    EXPECT_FALSE(HoldsNul(""));
    EXPECT_FALSE(HoldsNul("ACGT"));
    EXPECT_TRUE(HoldsNul(std::string("\0", 1)));
    EXPECT_TRUE(HoldsNul(std::string("ACGT\0", 5)));
}

// A stream buffer that hands out one chunk of text, then fails in its own way.
class FailingBuf : public std::streambuf {
public:
    enum class Failure { OutOfMemory, ReadError };
    FailingBuf(std::string text, Failure failure) : mText(std::move(text)), mFailure(failure) {
        setg(&mText[0], &mText[0], &mText[0] + mText.size());
    }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (mFailure == Failure::OutOfMemory) throw std::bad_alloc();
        throw std::runtime_error("device read failed");
    }

private:
    std::string mText;
    Failure mFailure;
};

TEST(LineReaderTest, RunningOutOfMemoryIsNotTakenForAReadError) {
    FailingBuf buf("AAAA", FailingBuf::Failure::OutOfMemory);
    std::istream in(&buf);
    std::string line;
    EXPECT_THROW(ReadTextLine(in, line), std::bad_alloc);
    EXPECT_TRUE(in.bad());
    EXPECT_EQ(in.exceptions(), std::ios::goodbit);  // the caller's mask is back
}

TEST(LineReaderTest, AReadErrorInsideALineIsAFailedRead) {
    FailingBuf buf("a\nbb", FailingBuf::Failure::ReadError);
    std::istream in(&buf);
    std::string line;
    EXPECT_EQ(ReadTextLine(in, line), LineEnd::Newline);
    EXPECT_EQ(line, "a");
    EXPECT_EQ(ReadTextLine(in, line), LineEnd::Failed);
    EXPECT_EQ(line, "bb");
    EXPECT_TRUE(StreamFailed(in));
    EXPECT_EQ(in.exceptions(), std::ios::goodbit);
}

}  // namespace
