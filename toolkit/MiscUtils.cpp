#include "toolkit/MiscUtils.h"

#include <sys/stat.h>

#include <ctime>

void StartTiming(long& t) { t = static_cast<long>(std::clock()); }

double EndTiming(long t) {
    long d = static_cast<long>(std::clock()) - t;
    return static_cast<double>(d) / static_cast<double>(CLOCKS_PER_SEC);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
