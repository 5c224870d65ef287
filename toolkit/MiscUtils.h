// Processor-time stopwatch (the caller holds the mark), and a file identity test.
#ifndef TOOLKIT_MISCUTILS_H
#define TOOLKIT_MISCUTILS_H

#include <string>

void StartTiming(long& t);  // t = clock()
double EndTiming(long t);   // processor seconds since the mark t

// True when both names lead to one existing file (links followed), so that a
// program can refuse to write its output over one of its inputs.
bool SameFile(const std::string& a, const std::string& b);

#endif
