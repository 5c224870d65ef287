#include "toolkit/MiscUtils.h"

#include <gtest/gtest.h>

#include <ctime>

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
