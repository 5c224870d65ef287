#include "toolkit/ParseUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "toolkit/CLibraryAdditions.h"

// ---- editing and tests -----------------------------------------------------

TEST(ParseUtilsEdit, StripAndCase) {
    struct Case {
        std::string in, leading, trailing, all;
    };
    const Case cases[] = {
        {"ab \t\n", "ab \t\n", "ab", "ab"},
        {" \n x ", "x ", " \n x", "x"},
        {" a b\tc\n", "a b\tc\n", " a b\tc", "abc"},
        {"", "", "", ""},
        {" \t\n", "", "", ""},
        {"a\r ", "a\r ", "a\r", "a\r"},  // carriage return is not white space
    };
    for (const Case& c : cases) {
        std::string l = c.in, t = c.in, a = c.in;
        StripLeadingSpaces(l);
        StripTrailingSpace(t);
        StripWhiteSpace(a);
        EXPECT_EQ(l, c.leading) << testing::PrintToString(c.in);
        EXPECT_EQ(t, c.trailing) << testing::PrintToString(c.in);
        EXPECT_EQ(a, c.all) << testing::PrintToString(c.in);
    }
    std::string s = "AcGt-N\xe9";
    ToLowerCase(s);
    EXPECT_EQ(s, "acgt-n\xe9");
    ToUpperCase(s);
    EXPECT_EQ(s, "ACGT-N\xe9");
}

TEST(ParseUtilsTests, StartsWithContainsAndCharacterClasses) {
    std::string s = "abcabc";
    EXPECT_TRUE(StartsWith(s, "abc"));
    EXPECT_TRUE(StartsWith(s, ""));
    EXPECT_FALSE(StartsWith(s, "bc"));
    EXPECT_FALSE(StartsWith(s, std::string("abcabcd")));
    EXPECT_TRUE(Contains(s, "ca"));
    EXPECT_TRUE(Contains(s, std::string()));
    EXPECT_FALSE(Contains(s, "cc"));

    EXPECT_TRUE(ContainsOnlyWS(""));
    EXPECT_TRUE(ContainsOnlyWS(" \t\n"));
    EXPECT_FALSE(ContainsOnlyWS(" \r"));

    EXPECT_TRUE(ContainsOnlyDigits("123", 0, 2));
    EXPECT_FALSE(ContainsOnlyDigits("12a", 0, 2));
    EXPECT_TRUE(ContainsOnlyDigits("12a", 0, 1));
    EXPECT_TRUE(ContainsOnlyDigits("a12", 1, 2));

    for (char c : std::string("ACGTNXacgtnx")) EXPECT_TRUE(IsBase(c)) << c;
    for (char c : std::string("UuBb-* \0", 8)) EXPECT_FALSE(IsBase(c)) << c;

    // White space is exactly gWS: carriage return, form feed, vertical tab
    // and NUL are not, so a CRLF line keeps its '\r' as text.
    for (char c : gWS) EXPECT_TRUE(IsWS(c)) << int(c);
    for (char c : std::string("\r\f\va_\0", 6)) EXPECT_FALSE(IsWS(c)) << int(c);
}

TEST(ParseUtilsTests, ShowHidden) {
    std::ostringstream os;
    ShowHidden("a b\t\n", os);
    EXPECT_EQ(os.str(), "0:a\n1:SPACE\n2:b\n3:TAB\n4:NEWLINE\n");
}

// ---- words and fields ------------------------------------------------------

// Every (word, pos) pair that SplitNext gives until pos is -1, plus one call more.
static std::string SplitTrace(const std::string& s, int pos) {
    std::string trace;
    for (int i = 0; i < 10; ++i) {
        std::string w = SplitNext(s, pos);
        trace += "[" + w + "]" + std::to_string(pos) + " ";
        if (pos == -1) break;
    }
    std::string w = SplitNext(s, pos);
    trace += "[" + w + "]" + std::to_string(pos);
    return trace;
}

TEST(ParseUtilsWords, SplitNextPositions) {
    struct Case {
        std::string s;
        int from;
        std::string trace;
    };
    const Case cases[] = {
        {"  ab\tcd", 0, "[ab]5 [cd]-1 []-1"},
        {"ab ", 0, "[ab]3 []-1 []-1"},
        {"a  b\n", 0, "[a]2 [b]5 []-1 []-1"},  // one separator skipped, the rest by the next call
        {"", 0, "[]-1 []-1"},
        {" \t ", 0, "[]-1 []-1"},
        {"x\ry z", 0, "[x\ry]4 [z]-1 []-1"},
        {"ab cd", 1, "[b]3 [cd]-1 []-1"},
        {"ab cd", 5, "[]-1 []-1"},
        {"ab cd", 9, "[]-1 []-1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitTrace(c.s, c.from), c.trace) << testing::PrintToString(c.s);

    int next = 0;
    EXPECT_EQ(GetNextWSDelimitedString(">name rest of line", 1, next), "name");
    EXPECT_EQ(next, 6);
    int pos = 0;
    EXPECT_EQ(NextString("p q", pos), "p");
    EXPECT_EQ(pos, 2);
}

TEST(ParseUtilsWords, AllWordsAppend) {
    std::vector<std::string> out = {"keep"};
    EXPECT_EQ(GetAllWSStrings("  a bb\t\tccc \n", out), 4);
    EXPECT_EQ(out, (std::vector<std::string>{"keep", "a", "bb", "ccc"}));
    EXPECT_EQ(Split(" z", out), 5);
    EXPECT_EQ(out.back(), "z");
    std::vector<std::string> none;
    EXPECT_EQ(Split(" \t\n", none), 0);
}

TEST(ParseUtilsWords, SplitAtDelimiter) {
    struct Case {
        std::string s, delim;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a,b,", ",", {"a", "b", ""}}, {"abc", ",", {}},
        {"a,,b", ",", {"a", ",b"}},  // neighbouring delimiters end the split
        {",a", ",", {"", "a"}},        {"a::b::c", "::", {"a", "b", "c"}},
        {"a,b", "", {"", "a,b"}},      {"x,y,z,,w", ",", {"x", "y", "z", ",w"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out = {"old"};
        Split(c.s, out, c.delim);
        EXPECT_EQ(out, c.pieces) << testing::PrintToString(c.s) << " at " << c.delim;
    }
}

TEST(ParseUtilsWords, CutStringFields) {
    struct Case {
        std::string s;
        int n;
        char delim;
        int ret;
        std::string field;
    };
    const Case cases[] = {
        {"a:b:c", 1, ':', 1, "a"}, {"a:b:c", 2, ':', 1, "b"},     {"a:b:c", 3, ':', 1, "c"},
        {"a:b:c", 4, ':', 0, ""},  {"a:b:c", 0, ':', 1, "a:b:c"}, {"a:b:c", -1, ':', 0, ""},
        {"abc", 1, ':', 1, "abc"}, {"abc", 2, ':', 0, ""},        {"a,,b", 1, ',', 1, "a"},
        {"a,,b", 2, ',', 1, ""},   {"a,,b", 3, ',', 1, "b"},      {"a,", 2, ',', 1, ""},
        {"", 1, ',', 1, ""},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_EQ(CutString(c.s, out, c.n, c.delim), c.ret) << c.s << " n=" << c.n;
        EXPECT_EQ(out, c.field) << c.s << " n=" << c.n;
        std::string viaCut = "old";
        Cut(c.s, viaCut, c.n, c.delim);
        EXPECT_EQ(viaCut, c.field);
    }
}

// ---- numbers ---------------------------------------------------------------

static std::string IntTrace(const std::string& s) {
    std::string trace;
    int pos = 0;
    for (int i = 0; i < 10 && pos != -1; ++i) {
        int v = NextInt(s, pos);
        trace += std::to_string(v) + "@" + std::to_string(pos) + " ";
    }
    return trace;
}

TEST(ParseUtilsNumbers, NextIntSignAndPosition) {
    struct Case {
        std::string s, trace;
    };
    const Case cases[] = {
        {"x12 -7 y", "12@3 -7@6 0@-1 "},
        {"42", "42@2 0@-1 "},
        {"a - 5", "5@5 0@-1 "},  // sign not adjacent
        {"+8", "8@2 0@-1 "},     // '+' ignored
        {"3.7", "3@1 7@3 0@-1 "},
        {"--9", "-9@3 0@-1 "},
        {"007x-0", "7@3 0@6 0@-1 "},
        {"", "0@-1 "},
        {"a-b", "0@-1 "},
    };
    for (const Case& c : cases) EXPECT_EQ(IntTrace(c.s), c.trace) << c.s;
}

TEST(ParseUtilsNumbers, FindNextIntegerRuns) {
    struct Case {
        std::string s;
        int from, ret, start, end;
    };
    const Case cases[] = {
        {"ab123cd", 0, 0, 2, 4},  {"ab123", 0, 0, 2, 4},  {"ab123", 3, 0, 3, 4},
        {"ab123", 5, -1, -1, -1}, {"abc", 0, -1, -1, -1}, {"12", -1, -1, -1, -1},
        {"-5", 0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        int start = 99, end = 99;
        EXPECT_EQ(FindNextInteger(c.s, c.from, start, end), c.ret) << c.s;
        EXPECT_EQ(start, c.start) << c.s;
        EXPECT_EQ(end, c.end) << c.s;
    }
}

TEST(ParseUtilsNumbers, FindNextDoubleFractionAndExponent) {
    struct Case {
        std::string s;
        int start, end;
    };
    const Case cases[] = {
        {"1.25", 0, 3},     {"1.", 0, 0},  // point without a digit behind it
        {"1. 5", 0, 0},     {"1.x5", 0, 0},  {".5", 1, 1},
        {"2e5", 0, 2},      {"2E-3;", 0, 3},  // anything may stand between 'e' and its digits
        {"2e x9", 0, 4},    {"2e", 0, 0},    {"2ex", 0, 0},
        {"1.5e+10z", 0, 6}, {"3.e4", 0, 0},  // the exponent needs the 'e' right behind the digits
        {"1.2.3", 0, 2},
    };
    for (const Case& c : cases) {
        int start = 99, end = 99;
        EXPECT_EQ(FindNextDouble(c.s, 0, start, end), 0) << c.s;
        EXPECT_EQ(start, c.start) << c.s;
        EXPECT_EQ(end, c.end) << c.s;
    }
    int start = 99, end = 99;
    EXPECT_EQ(FindNextDouble("none", 0, start, end), -1);
    EXPECT_EQ(start, -1);
    EXPECT_EQ(end, -1);
}

TEST(ParseUtilsNumbers, GetNextDoubleValues) {
    struct Case {
        std::string s;
        int from;
        double value;
        int next;
    };
    const Case cases[] = {
        {"v=-2.5e-3;", 0, -0.0025, 9},
        {".5", 0, 5.0, 2},
        {"-1.25", 0, -1.25, 5},
        {"2e x9", 0, 2.0, 5},  // value from the valid beginning, next behind the 9
        {"x 7", 0, 7.0, 3},
        {"1.5 2.5", 3, 2.5, 7},
        {"abc", 0, 0.0, -1},
        {"1.5", -1, 0.0, -1},
    };
    for (const Case& c : cases) {
        int next = 99;
        EXPECT_DOUBLE_EQ(GetNextDouble(c.s, c.from, next), c.value) << c.s;
        EXPECT_EQ(next, c.next) << c.s;
    }
    int pos = 0;
    EXPECT_FLOAT_EQ(NextFloat("a0.1b", pos), 0.1f);
    EXPECT_EQ(pos, 4);
    pos = 0;
    EXPECT_DOUBLE_EQ(NextDouble("-3", pos), -3.0);
    EXPECT_EQ(pos, 2);
}

TEST(ParseUtilsNumbers, WideIntegerScanners) {
    int next = 0;
    EXPECT_EQ(GetNextLong("pos=-4000000000;", 0, next), -4000000000L);
    EXPECT_EQ(next, 15);
    int pos = 0;
    EXPECT_EQ(NextLong("9000000000", pos), 9000000000L);
    EXPECT_EQ(GetNextUInt64("id 123456789012 ", 0, next), 123456789012ull);
    EXPECT_EQ(next, 15);
    EXPECT_EQ(GetNextUInt64("-5", 0, next), static_cast<uint64_t>(0) - 5);
    EXPECT_EQ(GetNextUInt64("none", 0, next), 0u);
    EXPECT_EQ(next, -1);
}

TEST(ParseUtilsNumbers, IntegerOverflowDoesNotTrap) {
    // A minus sign in front of a run that converts to INT_MIN must not overflow.
    int next = 0;
    int v = GetNextInteger("-2147483648", 0, next);
    EXPECT_EQ(next, 11);
    EXPECT_EQ(v, INT_MIN);
    // Beyond the int range a value is held at the limit, never wrapped.
    EXPECT_EQ(GetNextInteger("k 4294967300", 0, next), INT_MAX);
    EXPECT_EQ(GetNextInteger("-4294967300", 0, next), INT_MIN);
    std::vector<int> ints;
    GetIntsFromLine(std::string("99999999999 -99999999999 7"), ints);
    EXPECT_EQ(ints, (std::vector<int>{INT_MAX, INT_MIN, 7}));
    // Beyond the long range as well: held at LONG_MAX, negated with its sign.
    EXPECT_EQ(GetNextLong("99999999999999999999", 0, next), LONG_MAX);
    EXPECT_EQ(next, 20);
    EXPECT_EQ(GetNextLong("-99999999999999999999", 0, next), -LONG_MAX);
}

TEST(ParseUtilsNumbers, AllIntegersAndDoublesAppend) {
    std::vector<int> ints = {-1};
    EXPECT_EQ(GetAllIntegers("a1,b22;c333", ints), 4);
    EXPECT_EQ(ints, (std::vector<int>{-1, 1, 22, 333}));
    std::vector<int> none;
    EXPECT_EQ(GetAllIntegers("no digits", none), 0);

    std::vector<double> ds;
    EXPECT_EQ(GetAllDoubles("x=1.5, y=-2e2 z=.25", ds), 3);
    EXPECT_EQ(ds, (std::vector<double>{1.5, -200.0, 25.0}));
}

TEST(ParseUtilsNumbers, GetIntsFromLineBothForms) {
    struct Case {
        std::string line;
        std::vector<int> ints;
    };
    const Case cases[] = {
        {"12 34", {12, 34}}, {"12 34  ", {12, 34}}, {"", {}},
        {" \t", {}},         {"5 x 7", {5, 0, 7}},  {"\t-3\n+4 9z", {-3, 4, 9}},
    };
    for (const Case& c : cases) {
        std::vector<int> out = {100};
        GetIntsFromLine(c.line, out);
        std::vector<int> expect = {100};
        expect.insert(expect.end(), c.ints.begin(), c.ints.end());
        EXPECT_EQ(out, expect) << testing::PrintToString(c.line);

        std::vector<char> buf(c.line.begin(), c.line.end());
        buf.push_back('\0');
        std::vector<int> out2;
        GetIntsFromLine(buf.data(), out2);
        EXPECT_EQ(out2, c.ints) << testing::PrintToString(c.line);
    }
    // The char* form cuts the words apart in place and stops at the first NUL.
    char text[] = "1 2\0 3";
    std::vector<int> out;
    GetIntsFromLine(text, out);
    EXPECT_EQ(out, (std::vector<int>{1, 2}));
    EXPECT_STREQ(text, "1");
    EXPECT_STREQ(text + 2, "2");
}

// ---- keyword and line search -----------------------------------------------

TEST(ParseUtilsKeywords, FindNextOfEarliestThenListOrder) {
    struct Case {
        std::vector<std::string> keys;
        std::string line;
        int from, ret, start, end;
    };
    const Case cases[] = {
        {{"ab", "b"}, "xab", 0, 0, 1, 2},  {{"b", "ab"}, "xab", 0, 1, 1, 2},
        {{"a", "ab"}, "ab", 0, 0, 0, 0},  // same place keeps the earlier key
        {{"q", "r"}, "xab", 0, 0, -1, -1}, {{"x", "b"}, "xab", 1, 1, 2, 2},
        {{"x"}, "xab", -1, 0, -1, -1},     {{}, "xab", 0, 0, -1, -1},
    };
    for (const Case& c : cases) {
        int start = 99, end = 99;
        EXPECT_EQ(FindNextOf(c.keys, c.line, c.from, start, end), c.ret) << c.line;
        EXPECT_EQ(start, c.start) << c.line;
        EXPECT_EQ(end, c.end) << c.line;
    }
}

TEST(ParseUtilsKeywords, GetNextKeywordAndRemainder) {
    std::vector<std::string> keys = {"END", "BEGIN"};
    int next = 0;
    std::string keyword = "none";
    EXPECT_TRUE(GetNextKeyword(keys, "x END y BEGIN", 0, next, keyword));
    EXPECT_EQ(keyword, "END");
    EXPECT_EQ(next, 5);
    EXPECT_TRUE(GetNextKeyword(keys, "x END y BEGIN", next, next, keyword));
    EXPECT_EQ(keyword, "BEGIN");
    EXPECT_EQ(next, 13);
    EXPECT_FALSE(GetNextKeyword(keys, "x END y BEGIN", next, next, keyword));
    EXPECT_EQ(next, -1);
    EXPECT_EQ(keyword, "BEGIN");

    struct Case {
        const char* key;
        std::string line, out;
    };
    const Case cases[] = {
        {"name=", "name=value", "value"},
        {"id=", "name=value", ""},
        {"value", "name=value", ""},
        {"=", "a=b=c", "b=c"},
    };
    for (const Case& c : cases) {
        std::string out = "old";
        GetRemainderAfter(c.key, c.line, out);
        EXPECT_EQ(out, c.out) << c.key;
    }
}

TEST(ParseUtilsLines, GetNextLineContainingStopsAtTheKey) {
    std::istringstream in("a\nb ORIGIN c\nd\n");
    std::string line = "ORIGIN already here";
    EXPECT_TRUE(GetNextLineContaining(in, "ORIGIN", line));  // reads at least one line
    EXPECT_EQ(line, "b ORIGIN c");
    EXPECT_TRUE(GetLine(in, line));
    EXPECT_EQ(line, "d");

    std::istringstream two("a\nb\nkey2 here\n");
    EXPECT_TRUE(GetNextLineContaining(two, "key1", "key2", line));
    EXPECT_EQ(line, "key2 here");

    std::istringstream list("a\nx BEGIN END\n");
    std::vector<std::string> keys = {"END", "BEGIN"};
    int which = -5;
    EXPECT_TRUE(GetNextLineContaining(list, keys, line, which));
    EXPECT_EQ(line, "x BEGIN END");
    EXPECT_EQ(which, 1);

    std::istringstream str("a\nfoo\n");
    EXPECT_TRUE(GetNextLineContaining(str, std::string("oo"), line));
    EXPECT_EQ(line, "foo");
}

TEST(ParseUtilsLines, GetNextLineContainingEndsAtEndOfInputOrFailure) {
    std::string line;
    std::istringstream in("a\nb\nlast");
    EXPECT_FALSE(GetNextLineContaining(in, "zzz", line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(GetNextLineContaining(in, "zzz", line));  // already at end
    EXPECT_EQ(line, "");

    std::vector<std::string> keys = {"zzz"};
    int which = -5;
    std::istringstream in2("a\n");
    EXPECT_FALSE(GetNextLineContaining(in2, keys, line, which));
    EXPECT_EQ(which, 0);

    // Lines are read whole: a key far behind a long line's start is found.
    std::istringstream keyFarIn(std::string(300000, 'a') + "key\nnext\n");
    EXPECT_TRUE(GetNextLineContaining(keyFarIn, "key", line));
    EXPECT_EQ(line.size(), 300003u);
    // A stream that fails without reaching end of file ends the loop.
    std::ifstream missing("/nonexistent/dir/file.txt");
    EXPECT_FALSE(GetNextLineContaining(missing, "key", line));
    EXPECT_FALSE(GetNextLineContaining(missing, "a", "b", line));
    EXPECT_FALSE(GetNextLineContaining(missing, keys, line, which));
}

TEST(ParseUtilsLines, LineSearchLineEndsAndDamagedText) {
    using namespace std::string_literals;
    struct Case {
        const char* label;
        std::string input;
        bool found, bad;
        std::string line;
    } cases[] = {
        {"CR LF line end goes", "a\r\nkey\r\nz\r\n", true, false, "key"},
        {"CR as the last byte goes", "a\nkey\r", true, false, "key"},
        {"CR inside a line stays", "a\rkey b\n", true, false, "a\rkey b"},
        {"NUL before the key is damage", "a\0key\n"s, false, true, "a\0key"s},
        {"NUL in a later line ends the search", "a\nb\0\nkey\n"s, false, true, "b\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::istringstream in(c.input);
        std::string line;
        EXPECT_EQ(GetNextLineContaining(in, "key", line), c.found);
        EXPECT_EQ(in.bad(), c.bad);
        EXPECT_EQ(line, c.line);
    }
}

TEST(ParseUtilsLines, FindTokenPlusWS) {
    struct Case {
        std::string input, token;
        bool found;
        std::string line;
    };
    const Case cases[] = {
        {"x\na tok b\n", "tok", true, "a tok b"},
        {"x\nsay tok\n", "tok", true, "say tok"},  // token ends the line
        {"tok\tz\n", "tok", true, "tok\tz"},
        {"x\ny\n", "tok", false, ""},  // end of input after a final newline
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        std::string line;
        EXPECT_EQ(FindTokenPlusWS(in, c.token, line), c.found) << c.input;
        EXPECT_EQ(line, c.line) << c.input;
    }

    std::istringstream in("tokens tok\n");
    std::string line;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(FindTokenPlusWS(in, "tok", line));  // only the first occurrence is judged
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Find Token How did we get here? \n"
              "feature=tokidx=0 linesize=10 templine=tokens tok\n"
              "feature.size=3 linesize=10\n");

    // Already in the line: true without reading.
    std::istringstream untouched("next\n");
    line = "xtoky";
    EXPECT_TRUE(FindTokenPlusWS(untouched, "tok", line));
    EXPECT_EQ(line, "xtoky");
    EXPECT_TRUE(GetLine(untouched, line));
    EXPECT_EQ(line, "next");
}
