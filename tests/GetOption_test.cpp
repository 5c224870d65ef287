#include "toolkit/GetOption.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

const char* kOpts = "DAM:s:F:T:K:k:W:L:";

// Owns copies of the words; argv holds exactly argc pointers and no trailing
// null, so a read past the last word is caught by the sanitizers.
struct Argv {
    explicit Argv(std::vector<std::string> words) {
        words.insert(words.begin(), "prog");
        for (const std::string& w : words) {
            store.emplace_back(new char[w.size() + 1]);
            std::memcpy(store.back().get(), w.c_str(), w.size() + 1);
        }
        for (auto& p : store) ptrs.push_back(p.get());
    }
    int argc() const { return static_cast<int>(ptrs.size()); }
    char** argv() { return ptrs.data(); }
    std::vector<std::unique_ptr<char[]>> store;
    std::vector<char*> ptrs;
};

// Drives the parser the way a program does: each letter, with its argument
// fetched at once when the letter takes one, then the free arguments.
std::string Drive(const std::vector<std::string>& words) {
    Argv a(words);
    GetOption opt(a.argc(), a.argv(), kOpts);
    std::string trace;
    for (char c; (c = opt.NextOption()) != '0';) {
        trace += c;
        const char* at = std::strchr(kOpts, c);
        if (c != '\0' && at != nullptr && at[1] == ':') trace += "=" + opt.GetStringArg();
        trace += ' ';
    }
    trace += '|';
    for (std::string f; !(f = opt.GetFreeArg()).empty();) trace += " " + f;
    return trace;
}

}  // namespace

TEST(GetOption, ValidCommandLines) {
    struct Case {
        std::vector<std::string> words;
        std::string trace;
    };
    const Case cases[] = {
        {{}, "|"},
        {{"-M", "200", "src", "qry", "out"}, "M=200 | src qry out"},
        {{"src", "-s", "20", "qry", "-D", "out"}, "s=20 D | src qry out"},
        {{"-M", "100", "-M", "300", "a", "b", "c"}, "M=100 M=300 | a b c"},
        {{"-DA", "x"}, "D | x"},  // only the letter after '-' counts
        {{"-Dxyz", "x"}, "D | x"},
        {{"-h"}, "h |"},
        {{"-?", "-A"}, "? A |"},      // '-?' is an ordinary option
        {{"-:", "x"}, ": | x"},       // ':' matches without argument
        {{"-K", "", "a"}, "K= | a"},  // empty word kept as the argument
        {{"-W", "5", "-L", "7", "-T", "0", "-F", "1", "-k", "9", "a"}, "W=5 L=7 T=0 F=1 k=9 | a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Drive(c.words), c.trace) << testing::PrintToString(c.words);
}

TEST(GetOption, InvalidCommandLinesReportOnce) {
    const std::vector<std::string> cases[] = {
        {"-M500", "a", "b", "c"},     // value against the letter
        {"-M", "-5", "a", "b", "c"},  // dash word refused as argument
        {"-T", "-1", "a"},
        {"-x", "a"},
        {"-", "a"},
        {"--", "a"},
        {"--help"},
        {"a", "b", "c", "-M"},  // valued option with no word left
        {"-D", "-s"},
    };
    for (const auto& words : cases) {
        Argv a(words);
        GetOption opt(a.argc(), a.argv(), kOpts);
        EXPECT_EQ(opt.mValid, 0) << testing::PrintToString(words);
        EXPECT_EQ(opt.NextOption(), '?') << testing::PrintToString(words);
        EXPECT_EQ(opt.NextOption(), '0');
        EXPECT_EQ(opt.NextOption(), '0');
    }
}

TEST(GetOption, ArgumentListKeepsOptionArgumentsFirst) {
    Argv a({"src", "-s", "20", "qry", "-D", "-K", "dist.gz", "out"});
    GetOption opt(a.argc(), a.argv(), kOpts);
    EXPECT_EQ(opt.mValid, 1);
    EXPECT_EQ(opt.mOptions, (std::vector<char>{'s', 'D', 'K'}));
    EXPECT_EQ(opt.mArgs, (std::vector<std::string>{"20", "dist.gz", "src", "qry", "out"}));
    EXPECT_EQ(opt.mOptString, std::string(kOpts) + "h?");
}

TEST(GetOption, FaultyWordsStillRecordTheirLetters) {
    Argv a({"-M500", "-M", "-5", "-s", "9", "f"});
    GetOption opt(a.argc(), a.argv(), kOpts);
    EXPECT_EQ(opt.mValid, 0);
    EXPECT_EQ(opt.mOptions, (std::vector<char>{'M', 'M', 's'}));
    EXPECT_EQ(opt.mArgs, (std::vector<std::string>{"9", "f"}));

    // A dash word refused as an argument is an option word of its own.
    Argv b({"-M", "-s", "9", "-M", "-D", "f"});
    GetOption refused(b.argc(), b.argv(), kOpts);
    EXPECT_EQ(refused.mValid, 0);
    EXPECT_EQ(refused.mOptions, (std::vector<char>{'M', 's', 'M', 'D'}));
    EXPECT_EQ(refused.mArgs, (std::vector<std::string>{"9", "f"}));
}

TEST(GetOption, ArgumentCallFirstTakesTheReport) {
    Argv a({"-D", "-x", "-s", "4", "f"});
    GetOption opt(a.argc(), a.argv(), kOpts);
    EXPECT_EQ(opt.NextArg(), "?");
    EXPECT_EQ(opt.NextArg(), "");
    EXPECT_EQ(opt.GetFreeArg(), "");
    // The letters then come out normally.
    EXPECT_EQ(opt.NextOption(), 'D');
    EXPECT_EQ(opt.NextOption(), 's');
    EXPECT_EQ(opt.NextOption(), '0');
}

TEST(GetOption, IntArgumentsThroughAtoi) {
    struct Case {
        std::string word;
        int value;
    };
    const Case cases[] = {{" 7", 7}, {"+3", 3}, {"abc", 0}, {"12abc", 12}, {"0", 0}};
    for (const Case& c : cases) {
        Argv a({"-M", c.word});
        GetOption opt(a.argc(), a.argv(), kOpts);
        EXPECT_EQ(opt.NextOption(), 'M');
        EXPECT_EQ(opt.GetIntArg(), c.value) << c.word;
        EXPECT_EQ(opt.GetIntArg(), 0);  // list exhausted
        EXPECT_EQ(opt.NextOption(), '0');
    }
}
