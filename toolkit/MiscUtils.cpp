#include "toolkit/MiscUtils.h"

#include <ctime>

void StartTiming(long& t) { t = static_cast<long>(std::clock()); }

double EndTiming(long t) {
    long d = static_cast<long>(std::clock()) - t;
    return static_cast<double>(d) / static_cast<double>(CLOCKS_PER_SEC);
}
