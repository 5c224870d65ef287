// Processor-time stopwatch (the caller holds the mark), a file identity test
// and a check of an output name.
#ifndef TOOLKIT_MISCUTILS_H
#define TOOLKIT_MISCUTILS_H

#include <string>

void StartTiming(long& t);  // t = clock()
double EndTiming(long t);   // processor seconds since the mark t

// True when both names lead to one existing file (links followed), so that a
// program can refuse to write its output over one of its inputs.
bool SameFile(const std::string& a, const std::string& b);

// True when opening name for writing, created when absent (as std::ofstream
// does), is sure to fail, with error set to the errno that open would give:
// ENOENT (a missing directory), ENOTDIR (a path through a file that is not a
// directory), EISDIR (a directory), EACCES or EROFS (writing refused), ELOOP
// or ENAMETOOLONG. Creates, opens and changes nothing, so that a program can
// refuse an output before its long work; false does not promise that the
// open will succeed (a link to a missing file is left to the open).
bool OutputCannotBeCreated(const std::string& name, int& error);

#endif
