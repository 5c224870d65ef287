#include "toolkit/MiscUtils.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
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

// Each name is checked, then opened for writing as std::ofstream opens it: a
// refused name must fail that open with the same errno, any other must open
// but where the check leaves the fault to the open. The check itself must
// create, change or open nothing.
TEST(OutputCannotBeCreated, RefusesExactlyWhatTheOpenRefusesAndTouchesNothing) {
    const TempFolder dir("outputcheck");
    const std::string file = dir.Path("file"), sub = dir.Path("sub");
    std::ofstream(file) << "keep";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir.Path("missing").c_str(), dir.Path("dangling").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("loop").c_str(), dir.Path("loop").c_str()), 0);
    const std::string readOnlyDir = dir.Path("ro"), readOnlyFile = dir.Path("rofile");
    ASSERT_EQ(mkdir(readOnlyDir.c_str(), 0555), 0);
    std::ofstream(readOnlyFile) << "keep";
    ASSERT_EQ(chmod(readOnlyFile.c_str(), 0444), 0);
    const bool root = geteuid() == 0;  // root writes through any mode

    struct Case {
        std::string name;
        int error;          // 0: not refused
        bool opens = true;  // (when not refused)
    } cases[] = {
        {dir.Path("nodir/x.dist"), ENOENT},
        {dir.Path("nodir/deeper/x.dist"), ENOENT},
        {dir.Path("dangling/x.dist"), ENOENT},
        {file + "/x.dist", ENOTDIR},
        {sub, EISDIR},
        {sub + "/", EISDIR},
        {dir.Path("loop"), ELOOP},
        {"", ENOENT},
        {readOnlyDir + "/x.dist", root ? 0 : EACCES},
        {readOnlyFile, root ? 0 : EACCES},
        {file, 0},
        {dir.Path("new.dist"), 0},
        {sub + "/new.dist", 0},
        {dir.Path("dangling"), 0},  // creates the file it names: left to the open
        {file + "/", 0, false},     // EISDIR from the open, ENOTDIR from a look-up
        {dir.Path("nodir/"), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int error = 0;
        const bool refused = OutputCannotBeCreated(c.name, error);
        EXPECT_EQ(refused ? error : 0, c.error) << std::strerror(error);
        EXPECT_TRUE(access(dir.Path("new.dist").c_str(), F_OK) != 0 &&
                    access(dir.Path("missing").c_str(), F_OK) != 0 &&
                    access((sub + "/new.dist").c_str(), F_OK) != 0);
        std::ifstream kept(file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int error = 0;
        const bool refused = OutputCannotBeCreated(c.name, error);
        errno = 0;
        const int fd = open(c.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int openError = errno;
        if (fd >= 0) close(fd);
        EXPECT_EQ(fd >= 0, !refused && c.opens) << std::strerror(openError);
        if (refused) {
            EXPECT_EQ(error, openError);
        }
    }
}
