#include "toolkit/MiscUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include <unistd.h>

TEST(Stopwatch, MeasuresProcessorSecondsSinceTheMark) {
    long mark = 0;
    StartTiming(mark);
    double immediate = EndTiming(mark);
    EXPECT_GE(immediate, 0.0);
    EXPECT_LT(immediate, 1.0);

    // Burn processor time until the clock has moved by at least 20 ms.
    volatile unsigned sink = 0;
    clock_t until = clock() + CLOCKS_PER_SEC / 50;
    while (clock() < until)
        sink = sink + 1;
    double spent = EndTiming(mark);
    EXPECT_GE(spent, 0.02);
    EXPECT_LT(spent, 5.0);
}

TEST(SameFile, FollowsNamesAndLinksToOneFile) {
    char dir[] = "/tmp/samefileXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string a = std::string(dir) + "/a", b = std::string(dir) + "/b";
    const std::string link = std::string(dir) + "/l", missing = std::string(dir) + "/none";
    std::ofstream(a) << "x";
    std::ofstream(b) << "x";
    ASSERT_EQ(symlink(a.c_str(), link.c_str()), 0);

    EXPECT_TRUE(SameFile(a, a));
    EXPECT_TRUE(SameFile(a, std::string(dir) + "/./a"));
    EXPECT_TRUE(SameFile(link, a));
    EXPECT_FALSE(SameFile(a, b));  // equal contents, two files
    EXPECT_FALSE(SameFile(missing, missing));

    std::remove(link.c_str());
    std::remove(a.c_str());
    std::remove(b.c_str());
    rmdir(dir);
}
