#include "toolkit/CLibraryAdditions.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

TEST(NumberToText, FormatsLikeTheCLibrary) {
    EXPECT_EQ(itoa(-42), "-42");
    EXPECT_EQ(itoa(0), "0");
    EXPECT_EQ(itoa(INT_MIN), "-2147483648");
    EXPECT_EQ(itostring(INT_MAX), "2147483647");
    EXPECT_EQ(ftoa(1.5f), "1.500000");
    EXPECT_EQ(ftoa(0.1f), "0.100000");
    EXPECT_EQ(ftostring(-2.25f), "-2.250000");
    EXPECT_EQ(ftoa(2.0f, "%.2f"), "2.00");
    EXPECT_EQ(ftoa(3.0f, "x=%g;"), "x=3;");
}

TEST(NumberToText, OversizedTextIsCutNotOverrun) {
    // Wider than the 65,536-byte buffer: cut to 65,535 characters.
    std::string s = ftoa(1.0f, "%70000f");
    EXPECT_EQ(s.size(), 65535u);
    EXPECT_EQ(s.find_first_not_of(' '), std::string::npos);

    std::string out = "old";
    sprintf(6, out, "%d-%s", 1234, "abcdef");
    EXPECT_EQ(out, "1234-");
    sprintf(64, out, "%d-%s", 1234, "ab");
    EXPECT_EQ(out, "1234-ab");
    sprintf(0, out, "%s", "x");
    EXPECT_EQ(out, "");
}

TEST(TextToNumber, AtoiAndAtofFollowTheCLibrary) {
    struct Case {
        std::string text;
        int i;
        float f;
    };
    const Case cases[] = {
        {"12abc", 12, 12.0f},
        {"abc", 0, 0.0f},
        {"  -7", -7, -7.0f},
        {"+3", 3, 3.0f},
        {"0.1", 0, 0.1f},
        {"", 0, 0.0f},
        // beyond the int range: held at the limit instead of wrapping
        {"4294967300", INT_MAX, 4294967300.0f},
        {"-4294967300", INT_MIN, -4294967300.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(atoi(c.text), c.i) << c.text;
        EXPECT_EQ(atof(c.text), c.f) << c.text;
    }
}

TEST(TextToNumber, ClampToIntHoldsAtTheLimits) {
    struct Case {
        long long v;
        int want;
    };
    const Case cases[] = {
        {0, 0},
        {-5, -5},
        {INT_MAX, INT_MAX},
        {INT_MIN, INT_MIN},
        {INT_MAX + 1LL, INT_MAX},
        {INT_MIN - 1LL, INT_MIN},
        {4294967296LL + 7, INT_MAX},  // would wrap to 7
        {LLONG_MAX, INT_MAX},
        {LLONG_MIN, INT_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(ClampToInt(c.v), c.want) << c.v;
    // Text beyond even the long range is held at the int limit of its sign.
    EXPECT_EQ(AtoiClamped("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(AtoiClamped("-99999999999999999999999"), INT_MIN);
}

TEST(TextToNumber, TodigitReportsNonDigits) {
    EXPECT_EQ(todigit('0'), 0);
    EXPECT_EQ(todigit('9'), 9);
    testing::internal::CaptureStderr();
    int v = todigit('x');
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "x\t is not a digit\n");
    EXPECT_EQ(v, 0);
}

TEST(TextToNumber, Atou64) {
    struct Case {
        std::string text;
        uint64_t value;
    };
    const Case cases[] = {
        {"", 0},
        {"007", 7},
        {"999999999999", 999999999999ull},  // twelve digits, all through the table
        {"123456789012", 123456789012ull},
        {"1234567890123", 1234567890123ull},  // beyond the table: exact
        {"18446744073709551615", UINT64_MAX},
        {"18446744073709551616", 0},                       // modulo 2^64
        {"98765432109876543210", 6531711741328785130ull},  // 20 digits, modulo 2^64
    };
    for (const Case& c : cases) EXPECT_EQ(atou64(c.text), c.value) << c.text;
}

TEST(TextToNumber, Atou64CountsNonDigitsAsZero) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(atou64("1a2"), 102u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "a\t is not a digit\n");
}

TEST(GetLine, ReadsLinesAndEndOfInput) {
    std::istringstream in("abc\n\nlast");
    std::string line = "junk";
    EXPECT_TRUE(GetLine(in, line));
    EXPECT_EQ(line, "abc");
    EXPECT_TRUE(GetLine(in, line));  // empty line
    EXPECT_EQ(line, "");
    EXPECT_TRUE(GetLine(in, line));  // last line without newline
    EXPECT_EQ(line, "last");
    EXPECT_TRUE(in.eof());
    line = "junk";
    EXPECT_FALSE(GetLine(in, line));
    EXPECT_EQ(line, "");
}

TEST(GetLine, NulByteEndsTheText) {
    std::istringstream in(std::string("ab\0cd\nnext\n", 11));
    std::string line;
    EXPECT_TRUE(GetLine(in, line));
    EXPECT_EQ(line, "ab");
    EXPECT_TRUE(GetLine(in, line));
    EXPECT_EQ(line, "next");
}

TEST(GetLine, CarriageReturnEndingALineGoesWithIt) {
    using namespace std::string_literals;
    struct Case {
        std::string input;
        std::vector<std::string> lines;
    } cases[] = {
        {"ab\r\ncd\r\n", {"ab", "cd"}},
        {"ab\r\ncd\r", {"ab", "cd"}},        // CR as the input's last byte
        {"a\rb\r\r\n\r\n", {"a\rb\r", ""}},  // only the one before the newline
        {"a\r\0\r\n"s, {"a\r"}},             // the text ends at the NUL
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        std::vector<std::string> got;
        std::string line;
        while (GetLine(in, line)) got.push_back(line);
        EXPECT_EQ(got, c.lines) << testing::PrintToString(c.input);
    }
    // The longest line keeps its contract with a CR LF end.
    std::istringstream in(std::string(299998, 'a') + "\r\nnext\n");
    std::string line;
    EXPECT_TRUE(GetLine(in, line));
    EXPECT_EQ(line.size(), 299998u);
}

TEST(GetLine, FailedStreamGivesEmptyTextNotThePreviousLine) {
    std::istringstream good("previous line\n");
    std::string line;
    ASSERT_TRUE(GetLine(good, line));
    std::istringstream bad("more\n");
    bad.setstate(std::ios::failbit);
    EXPECT_FALSE(GetLine(bad, line));
    EXPECT_EQ(line, "");
}

TEST(GetLine, LongestLineAndOneCharacterMore) {
    const std::string longest(299999, 'a');
    {
        std::istringstream in(longest + "\nnext\n");
        std::string line;
        EXPECT_TRUE(GetLine(in, line));
        EXPECT_EQ(line, longest);
        EXPECT_TRUE(GetLine(in, line));
        EXPECT_EQ(line, "next");
    }
    {
        std::istringstream in(longest + "bc\nnext\n");
        std::string line;
        EXPECT_FALSE(GetLine(in, line));
        EXPECT_EQ(line, longest);
        EXPECT_TRUE(in.fail());
        EXPECT_FALSE(in.eof());
        // The rest of the line is still there once the caller clears failbit.
        in.clear();
        EXPECT_TRUE(GetLine(in, line));
        EXPECT_EQ(line, "bc");
        EXPECT_TRUE(GetLine(in, line));
        EXPECT_EQ(line, "next");
    }
}
