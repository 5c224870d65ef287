// Number/text conversions after the C library's own, the process-wide line
// buffer and the line reader built on it.
#ifndef TOOLKIT_CLIBRARYADDITIONS_H
#define TOOLKIT_CLIBRARYADDITIONS_H

#include <cstdint>
#include <cstdlib>
#include <istream>
#include <string>

// Shared line buffer: GetLine and the direct line scanners read into it with
// the limit sizeof(readbuf). Each read overwrites the previous line.
extern char readbuf[300000];

// Number to text.
std::string itoa(int v);                        // "%d"
std::string itostring(int v);                   // "%d"
std::string ftoa(float v);                      // "%f"
std::string ftostring(float v);                 // "%f"
std::string ftoa(float v, std::string format);  // caller's format, one double argument

// The nearest int to v: a value beyond the int range is held at INT_MAX or
// INT_MIN rather than wrapped.
int ClampToInt(long long v);

// Text to number.
// The C atoi's reading (leading blanks, a sign, digits; 0 without digits),
// except that a value beyond the int range is held at INT_MAX or INT_MIN
// instead of being undefined (in practice wrapped: 4294967300 read as 4).
int AtoiClamped(const char* s);
int atoi(const std::string& s);         // AtoiClamped of the text
float atof(const std::string& s);       // C atof, nearest float
int todigit(char c);                    // '0'..'9' -> 0..9; else diagnostic on stderr, 0
uint64_t atou64(const std::string& s);  // decimal digits, modulo 2^64

// Formats into a buffer of size bytes and assigns its text to out; a text
// that does not fit is cut to size - 1 characters.
void sprintf(int size, std::string& out, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Reads one line (at most 299,999 characters, newline taken but not stored)
// through readbuf into line; a carriage return that ends the line goes with
// its newline, as in every line reader (toolkit/LineReader.h). False when the stream fails: nothing
// left to read, or a longer line, whose first 299,999 characters are delivered and whose rest stays
// unread until the caller clears the failbit.
bool GetLine(std::istream& in, std::string& line);

#endif
