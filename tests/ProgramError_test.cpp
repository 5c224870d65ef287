#include "toolkit/ProgramError.h"

#include <gtest/gtest.h>

#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

// Each case runs in a child process, which ends with the helper's status;
// standard error must hold the one line in the programs' style.
TEST(ProgramErrorDeathTest, OneLineNamingTheProgramThenTheStatus) {
    const struct {
        const char* name;
        void (*fail)();
        int status;
        const char* line;  // a regular expression over standard error
    } cases[] = {
        {"bad value",
         [] {
             SetProgramName("zarn");
             Fail("-s 40: the k-mer length must lie between 1 and 32", 1);
         },
         1, "^zarn: -s 40: the k-mer length must lie between 1 and 32\n$"},
        {"file problem",
         [] {
             SetProgramName("zarnmerdist");
             Fail("in.fa: cannot open: No such file or directory", 2);
         },
         2, "^zarnmerdist: in\\.fa: cannot open: No such file or directory\n$"},
        {"out of memory",
         [] {
             SetProgramName("zarn");
             std::cout << "Adding src.fa to hash...";
             FailOutOfMemory("indexing", "src.fa");
         },
         2, "^zarn: out of memory while indexing src\\.fa\n$"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(c.fail(), testing::ExitedWithCode(c.status), c.line);
    }
}

// What leaves a program's phase ends in one line and status 2, never in an
// abort; the cleanup runs before the line is written.
TEST(ProgramErrorDeathTest, APhaseThatThrowsEndsInOneLine) {
    const struct {
        const char* name;
        void (*phase)();
        const char* line;
    } cases[] = {
        {"limit passed",
         [] { throw std::length_error("more distinct k-mers than the index can number"); },
         "^cleaned\nzarn: indexing src\\.fa: more distinct k-mers than the index can number\n$"},
        {"out of memory", [] { throw std::bad_alloc(); },
         "^cleaned\nzarn: out of memory while indexing src\\.fa\n$"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                SetProgramName("zarn");
                RunPhase("indexing", "src.fa", c.phase, [] { std::cerr << "cleaned\n"; });
            },
            testing::ExitedWithCode(2), c.line);
    }
}

TEST(ProgramErrorTest, APhaseThatEndsWellGivesItsResult) {
    EXPECT_EQ(RunPhase("counting", "in.fa", [] { return 7; }), 7);
}
