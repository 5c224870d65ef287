// The programs' one way to stop on an error: one line on standard error,
// "<program>: <subject>: <problem>", where the subject is the file, option or
// argument at fault, then a non-zero exit status.
//
// Exit statuses: 1 for a bad command line or an unusable value, 2 for a file
// that cannot be opened, read, created or written, and for memory running out.
//
// Numeric arguments, in both programs, are read the way the C atoi reads
// text (leading white space, an optional sign, decimal digits up to the first
// other character; 0 when no digit follows), except that a value beyond the
// int range is held at INT_MAX or INT_MIN (AtoiClamped, toolkit/CLibraryAdditions.h).
// Each program then tests the values it cannot use against their range.
#ifndef TOOLKIT_PROGRAMERROR_H
#define TOOLKIT_PROGRAMERROR_H

#include <exception>
#include <new>
#include <string>

// The name that starts every message; set once at the top of main.
void SetProgramName(const char* name);

// Flushes standard output, writes "<program>: " and message as one line on
// standard error and ends the process with status. message is
// "<subject>: <problem>", e.g. "in.fa: cannot open: No such file or directory".
[[noreturn]] void Fail(const std::string& message, int status);

// Memory ran out while doing task on the file name: ends the progress line on
// standard output, writes "<program>: out of memory while <task> <name>" and
// ends the process with status 2. Builds no string of its own, as memory is
// short.
[[noreturn]] void FailOutOfMemory(const char* task, const std::string& name);

// A standard exception other than std::bad_alloc left the phase task on the
// file name: ends the progress line on standard output, writes
// "<program>: <task> <name>: <what>" and ends the process with status 2.
[[noreturn]] void FailInPhase(const char* task, const std::string& name, const char* what);

// Runs one phase of a program (reading, indexing, counting, writing) and
// returns what phase() returns. When memory runs out in it, or a limit is
// passed (any other standard exception), cleanup() runs first (closing or
// removing output) and the run ends with FailOutOfMemory or FailInPhase.
template <class Phase, class Cleanup>
auto RunPhase(const char* task, const std::string& name, Phase phase, Cleanup cleanup)
    -> decltype(phase()) {
    try {
        return phase();
    } catch (const std::bad_alloc&) {
        cleanup();
        FailOutOfMemory(task, name);
    } catch (const std::exception& e) {
        cleanup();
        FailInPhase(task, name, e.what());
    }
}

template <class Phase>
auto RunPhase(const char* task, const std::string& name, Phase phase) -> decltype(phase()) {
    return RunPhase(task, name, phase, [] {});
}

#endif
