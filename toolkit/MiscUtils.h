// Processor-time stopwatch: the caller holds the mark.
#ifndef TOOLKIT_MISCUTILS_H
#define TOOLKIT_MISCUTILS_H

void StartTiming(long& t);     // t = clock()
double EndTiming(long t);      // processor seconds since the mark t

#endif
