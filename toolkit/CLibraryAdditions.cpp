#include "toolkit/CLibraryAdditions.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "toolkit/LineReader.h"

char readbuf[300000];

namespace {

// Powers of ten for the twelve lowest digit places of atou64.
const double mypow10[12] = {1.0,         10.0,         100.0,         1000.0,
                            10000.0,     100000.0,     1000000.0,     10000000.0,
                            100000000.0, 1000000000.0, 10000000000.0, 100000000000.0};

const int kFormatBufferSize = 65536;

std::string FormatDouble(const char* format, double v) {
    char buf[kFormatBufferSize];
    buf[0] = '\0';
    std::snprintf(buf, sizeof buf, format, v);
    return std::string(buf);
}

std::string FormatInt(int v) {
    char buf[kFormatBufferSize];
    std::snprintf(buf, sizeof buf, "%d", v);
    return std::string(buf);
}

}  // namespace

std::string itoa(int v) { return FormatInt(v); }

std::string itostring(int v) { return FormatInt(v); }

std::string ftoa(float v) { return FormatDouble("%f", static_cast<double>(v)); }

std::string ftostring(float v) { return FormatDouble("%f", static_cast<double>(v)); }

std::string ftoa(float v, std::string format) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return FormatDouble(format.c_str(), static_cast<double>(v));
#pragma GCC diagnostic pop
}

int ClampToInt(long long v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// strtol holds a run beyond the long range at LONG_MAX or LONG_MIN, which the
// clamp then holds at the int limit of the same sign.
int AtoiClamped(const char* s) { return ClampToInt(std::strtol(s, nullptr, 10)); }

int atoi(const std::string& s) { return AtoiClamped(s.c_str()); }

float atof(const std::string& s) { return static_cast<float>(std::atof(s.c_str())); }

int todigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    std::cerr << c << "\t is not a digit" << std::endl;
    return 0;
}

uint64_t atou64(const std::string& s) {
    uint64_t result = 0;
    uint64_t power = 1;  // exact 10^k modulo 2^64, for places beyond the table
    size_t k = 0;
    for (size_t i = s.size(); i-- > 0; ++k) {
        int d = todigit(s[i]);
        if (k < 12)
            result += static_cast<uint64_t>(static_cast<double>(d) * mypow10[k]);
        else
            result += static_cast<uint64_t>(d) * power;
        power *= 10;
    }
    return result;
}

void sprintf(int size, std::string& out, const char* format, ...) {
    if (size <= 0) {
        out.clear();
        return;
    }
    std::vector<char> buf(static_cast<size_t>(size), '\0');
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    va_end(args);
    out.assign(buf.data());
}

bool GetLine(std::istream& in, std::string& line) {
    // A stream that is already failed stores nothing; start from the empty text.
    readbuf[0] = '\0';
    in.getline(readbuf, sizeof readbuf);
    bool ok = !in.fail();
    std::size_t length = std::strlen(readbuf);
    if (ok) {
        // A line read to its end: the newline was taken unless the line ran to
        // the end of input. Its closing CR goes as in every line reader; a
        // line whose text ended early at a NUL byte has no CR at its end.
        const std::size_t stored = static_cast<std::size_t>(in.gcount()) - (in.eof() ? 0 : 1);
        if (length == stored) length = LengthWithoutEndCR(readbuf, length);
    }
    line.assign(readbuf, length);
    return ok;
}
