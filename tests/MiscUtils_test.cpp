#include "toolkit/MiscUtils.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tests/TestFixtures.h"

// The stopwatch is checked against clock() read just before and just after
// each call, so the bounds hold however busy the machine is: no assumption
// about how long anything takes.
TEST(Stopwatch, MarkIsTheProcessorClock) {
    long mark = -1;
    const long before = static_cast<long>(std::clock());
    StartTiming(mark);
    const long after = static_cast<long>(std::clock());
    EXPECT_GE(mark, before);
    EXPECT_LE(mark, after);
}

TEST(Stopwatch, GivesProcessorSecondsSinceTheMark) {
    const long cps = static_cast<long>(CLOCKS_PER_SEC);
    struct Case {
        const char* name;
        long ticksAgo;  // the mark lies this many clock ticks before now
    };
    const Case cases[] = {
        {"mark taken now", 0},
        {"half a second", cps / 2},
        {"one second", cps},
        {"ninety seconds", 90 * cps},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        long mark = 0;
        StartTiming(mark);
        mark -= c.ticksAgo;
        const long before = static_cast<long>(std::clock());
        const double seconds = EndTiming(mark);
        const long after = static_cast<long>(std::clock());
        // In seconds, not ticks: the quotient lies between the two readings.
        EXPECT_GE(seconds, static_cast<double>(before - mark) / cps);
        EXPECT_LE(seconds, static_cast<double>(after - mark) / cps);
        EXPECT_GE(seconds, static_cast<double>(c.ticksAgo) / cps);
    }
}

TEST(Stopwatch, NeverRunsBackwards) {
    long mark = 0;
    StartTiming(mark);
    double last = EndTiming(mark);
    EXPECT_GE(last, 0.0);
    volatile unsigned sink = 0;
    for (int round = 0; round < 5; ++round) {
        for (unsigned i = 0; i < 200000; ++i)  // a fixed amount of work, not a time
            sink = sink + i;
        const double now = EndTiming(mark);
        EXPECT_GE(now, last);
        last = now;
    }
}

TEST(SameFile, FollowsNamesAndLinksToOneFile) {
    const TempFolder dir("samefile");
    const std::string a = dir.Path("a"), b = dir.Path("b");
    const std::string link = dir.Path("l"), missing = dir.Path("none");
    std::ofstream(a) << "x";
    std::ofstream(b) << "x";
    ASSERT_EQ(symlink(a.c_str(), link.c_str()), 0);

    EXPECT_TRUE(SameFile(a, a));
    EXPECT_TRUE(SameFile(a, dir.Path("./a")));
    EXPECT_TRUE(SameFile(link, a));
    EXPECT_FALSE(SameFile(a, b));  // equal contents, two files
    EXPECT_FALSE(SameFile(missing, missing));
}
