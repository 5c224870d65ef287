#include "toolkit/ParseUtils.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <type_traits>

#include "toolkit/CLibraryAdditions.h"
#include "toolkit/LineReader.h"

const std::string gWS(" \t\n");
const std::string gNumbers("1234567890");
const std::string gLetters("abcdefghijklmnopqrstuvwxyz");
const std::string gUCLetters("ABCDEFGHIJKLMNOPQRSTUVWXYZ");

namespace {

// The same sets as plain literals, so that the helpers also work when another
// unit calls them while globals are still being constructed.
constexpr const char kWS[] = " \t\n";
constexpr const char kDigits[] = "1234567890";

// Positions are ints; -1 (or any negative value) converts to npos and so
// finds nothing.
inline size_t Idx(int pos) { return static_cast<size_t>(static_cast<long>(pos)); }

}  // namespace

// ---- editing in place ------------------------------------------------------

void StripLeadingSpaces(std::string& s) {
    size_t a = s.find_first_not_of(kWS);
    if (a == std::string::npos)
        s.clear();
    else
        s.erase(0, a);
}

void StripTrailingSpace(std::string& s) {
    size_t b = s.find_last_not_of(kWS);
    if (b == std::string::npos)
        s.clear();
    else
        s.erase(b + 1);
}

void StripWhiteSpace(std::string& s) {
    size_t out = 0;
    for (char c : s)
        if (!IsWS(c)) s[out++] = c;
    s.resize(out);
}

void ToLowerCase(std::string& s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void ToUpperCase(std::string& s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void ShowHidden(const std::string& s, std::ostream& os) {
    for (size_t i = 0; i < s.size(); ++i) {
        os << i << ":";
        switch (s[i]) {
            case ' ':
                os << "SPACE";
                break;
            case '\t':
                os << "TAB";
                break;
            case '\n':
                os << "NEWLINE";
                break;
            default:
                os << s[i];
                break;
        }
        os << std::endl;
    }
}

// ---- tests -----------------------------------------------------------------

bool StartsWith(const std::string& s, const std::string& t) {
    return s.compare(0, t.size(), t) == 0;
}

bool StartsWith(const std::string& s, const char* t) {
    return StartsWith(s, std::string(t ? t : ""));
}

bool Contains(const std::string& s, const std::string& t) { return s.find(t) != std::string::npos; }

bool Contains(const std::string& s, const char* t) { return Contains(s, std::string(t ? t : "")); }

bool ContainsOnlyWS(const std::string& s) { return s.find_first_not_of(kWS) == std::string::npos; }

bool ContainsOnlyDigits(const std::string& s, int from, int to) {
    size_t p = s.find_first_not_of(kDigits, Idx(from));
    return p == std::string::npos || static_cast<long long>(p) > to;
}

bool IsBase(char c) {
    switch (c) {
        case 'A':
        case 'C':
        case 'G':
        case 'T':
        case 'N':
        case 'X':
        case 'a':
        case 'c':
        case 'g':
        case 't':
        case 'n':
        case 'x':
            return true;
        default:
            return false;
    }
}

// ---- words and fields ------------------------------------------------------

std::string GetNextWSDelimitedString(const std::string& s, int from, int& next) {
    size_t a = s.find_first_not_of(kWS, Idx(from));
    if (a == std::string::npos) {
        next = -1;
        return std::string();
    }
    size_t b = s.find_first_of(kWS, a + 1);
    if (b == std::string::npos) {
        next = -1;
        return s.substr(a);
    }
    next = static_cast<int>(b + 1);  // past the one white-space character that ended the word
    return s.substr(a, b - a);
}

std::string SplitNext(const std::string& s, int& pos) {
    return GetNextWSDelimitedString(s, pos, pos);
}

std::string NextString(const std::string& s, int& pos) {
    return GetNextWSDelimitedString(s, pos, pos);
}

int GetAllWSStrings(const std::string& s, std::vector<std::string>& out) {
    int pos = 0;
    do {
        std::string w = SplitNext(s, pos);
        if (!ContainsOnlyWS(w)) out.push_back(w);
    } while (pos > 0);
    return static_cast<int>(out.size());
}

int Split(const std::string& s, std::vector<std::string>& out) { return GetAllWSStrings(s, out); }

void Split(const std::string& s, std::vector<std::string>& out, std::string delim) {
    out.clear();
    size_t p = s.find(delim);
    if (p == std::string::npos) return;
    out.push_back(s.substr(0, p));
    size_t start = p + delim.size();
    for (;;) {
        size_t q = s.find(delim, start);
        if (q == std::string::npos || q == start) {
            // Also two delimiters side by side: the rest is the last piece.
            out.push_back(s.substr(start));
            return;
        }
        out.push_back(s.substr(start, q - start));
        start = q + delim.size();
    }
}

int CutString(const std::string& s, std::string& out, int n, char delim) {
    if (n < 0) {
        out.clear();
        return 0;
    }
    if (n == 0) {
        out = s;
        return 1;
    }
    // Field n begins after the (n-1)-th delimiter.
    size_t begin = 0;
    for (int k = 1; k < n; ++k) {
        size_t d = s.find(delim, begin);
        if (d == std::string::npos) {
            out.clear();
            return 0;
        }
        begin = d + 1;
    }
    size_t stop = s.find(delim, begin);
    out = s.substr(begin, stop == std::string::npos ? std::string::npos : stop - begin);
    return 1;
}

int Cut(const std::string& s, std::string& out, int n, char delim) {
    return CutString(s, out, n, delim);
}

// ---- numbers ---------------------------------------------------------------

int FindNextInteger(const std::string& s, int from, int& start, int& end) {
    start = -1;
    end = -1;
    size_t p = s.find_first_of(kDigits, Idx(from));
    if (p == std::string::npos) return -1;
    start = static_cast<int>(p);
    size_t q = s.find_first_not_of(kDigits, p + 1);
    end = q == std::string::npos ? static_cast<int>(s.size()) - 1 : static_cast<int>(q) - 1;
    return 0;
}

int FindNextDouble(const std::string& s, int from, int& start, int& end) {
    int r = FindNextInteger(s, from, start, end);
    if (r < 0) return r;
    int a, b;
    size_t after = static_cast<size_t>(end) + 1;
    if (after < s.size() && s[after] == '.' && FindNextInteger(s, end + 2, a, b) == 0 &&
        a == end + 2)
        end = b;
    after = static_cast<size_t>(end) + 1;
    if (after < s.size() && std::tolower(static_cast<unsigned char>(s[after])) == 'e' &&
        FindNextInteger(s, end + 2, a, b) == 0)
        end = b;
    return 0;
}

namespace {

inline bool MinusBefore(const std::string& s, int start) {
    return start > 0 && s[start - 1] == '-';
}

// The next number run converted by conv, negated (with wrap-around, so the
// most negative value does not overflow) when a '-' stands right before it.
template <typename T, typename Conv>
T ScanNextInteger(const std::string& s, int from, int& next, Conv conv) {
    int start, end;
    if (FindNextInteger(s, from, start, end) < 0) {
        next = -1;
        return 0;
    }
    next = end + 1;
    T v = conv(s.substr(start, end - start + 1));
    if (MinusBefore(s, start)) {
        using U = typename std::make_unsigned<T>::type;
        v = static_cast<T>(U(0) - static_cast<U>(v));
    }
    return v;
}

}  // namespace

long GetNextLong(const std::string& s, int from, int& next) {
    // strtol rather than atol: a run beyond the long range is held at LONG_MAX.
    return ScanNextInteger<long>(
        s, from, next, [](const std::string& t) { return std::strtol(t.c_str(), nullptr, 10); });
}

// Scanned as a long, so a value beyond the int range is held at its limit
// rather than wrapped into a plausible small number.
int GetNextInteger(const std::string& s, int from, int& next) {
    return ClampToInt(GetNextLong(s, from, next));
}

uint64_t GetNextUInt64(const std::string& s, int from, int& next) {
    return ScanNextInteger<uint64_t>(s, from, next, [](const std::string& t) { return atou64(t); });
}

double GetNextDouble(const std::string& s, int from, int& next) {
    int start, end;
    if (FindNextDouble(s, from, start, end) < 0) {
        next = -1;
        return 0.0;
    }
    next = end + 1;
    if (MinusBefore(s, start)) --start;
    std::string text = s.substr(start, end - start + 1);
    double v = 0.0;
    std::sscanf(text.c_str(), "%lf", &v);
    return v;
}

int NextInt(const std::string& s, int& pos) { return GetNextInteger(s, pos, pos); }

long NextLong(const std::string& s, int& pos) { return GetNextLong(s, pos, pos); }

double NextDouble(const std::string& s, int& pos) { return GetNextDouble(s, pos, pos); }

float NextFloat(const std::string& s, int& pos) { return static_cast<float>(NextDouble(s, pos)); }

namespace {

// Appends the value of every number that scan finds in s, from the start on.
template <typename T, typename Scan>
int AppendAll(const std::string& s, std::vector<T>& out, Scan scan) {
    int pos = 0;
    do {
        T v = scan(s, pos, pos);
        if (pos >= 0) out.push_back(v);
    } while (pos > 0);
    return static_cast<int>(out.size());
}

}  // namespace

int GetAllIntegers(const std::string& s, std::vector<int>& out) {
    return AppendAll(s, out, GetNextInteger);
}

int GetAllDoubles(const std::string& s, std::vector<double>& out) {
    return AppendAll(s, out, GetNextDouble);
}

void GetIntsFromLine(std::string line, std::vector<int>& out) {
    size_t pos = 0;
    for (;;) {
        size_t a = line.find_first_not_of(kWS, pos);
        if (a == std::string::npos) return;
        size_t b = line.find_first_of(kWS, a);
        if (b == std::string::npos) b = line.size();
        out.push_back(atoi(line.substr(a, b - a)));
        pos = b;
    }
}

void GetIntsFromLine(char* line, std::vector<int>& out) {
    if (line == nullptr) return;
    size_t len = std::strlen(line);
    size_t pos = 0;
    while (pos < len) {
        size_t a = pos;
        while (a < len && IsWS(line[a])) ++a;
        if (a == len) return;
        size_t b = a;
        while (b < len && !IsWS(line[b])) ++b;
        if (b < len) line[b] = '\0';  // cut the word off in place
        out.push_back(atoi(std::string(line + a)));
        pos = b + 1;
    }
}

// ---- keyword and line search -----------------------------------------------

int FindNextOf(const std::vector<std::string>& keys, const std::string& line, int from, int& start,
               int& end) {
    start = -1;
    end = -1;
    int best = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        size_t p = line.find(keys[i], Idx(from));
        if (p == std::string::npos) continue;
        if (start == -1 || static_cast<int>(p) < start) {
            start = static_cast<int>(p);
            best = static_cast<int>(i);
            end = static_cast<int>(p + keys[i].size()) - 1;
        }
    }
    return best;
}

bool GetNextKeyword(const std::vector<std::string>& keys, const std::string& line, int from,
                    int& next, std::string& keyword) {
    int start, end;
    FindNextOf(keys, line, from, start, end);
    if (start == -1) {
        next = -1;
        return false;
    }
    next = end + 1;
    keyword = line.substr(start, end - start + 1);
    return true;
}

void GetRemainderAfter(const char* key, const std::string& line, std::string& out) {
    std::string k(key ? key : "");
    size_t p = line.find(k);
    if (p == std::string::npos)
        out.clear();
    else
        out = line.substr(p + k.size());
}

namespace {

// Reads whole lines until one satisfies holds(line) or the input ends. A
// stream that fails before its end (a read error, a stream that never opened)
// ends the search with false, and so does a line holding a NUL byte: damaged
// text, for which the stream is marked bad so that the caller can tell it from
// a key not found.
template <typename Pred>
bool ReadUntil(std::istream& in, std::string& line, Pred holds) {
    for (;;) {
        const LineEnd end = ReadTextLine(in, line);
        if (end == LineEnd::Failed) return false;
        if (HoldsNul(line)) {
            in.setstate(std::ios::badbit);
            return false;
        }
        if (holds(line)) return true;
        if (end != LineEnd::Newline) return false;
    }
}

}  // namespace

bool GetNextLineContaining(std::istream& in, const std::string& key, std::string& line) {
    return ReadUntil(in, line,
                     [&](const std::string& l) { return l.find(key) != std::string::npos; });
}

bool GetNextLineContaining(std::istream& in, const char* key, std::string& line) {
    return GetNextLineContaining(in, std::string(key ? key : ""), line);
}

bool GetNextLineContaining(std::istream& in, const char* key1, const char* key2,
                           std::string& line) {
    std::string k1(key1 ? key1 : ""), k2(key2 ? key2 : "");
    return ReadUntil(in, line, [&](const std::string& l) {
        return l.find(k1) != std::string::npos || l.find(k2) != std::string::npos;
    });
}

bool GetNextLineContaining(std::istream& in, const std::vector<std::string>& keys,
                           std::string& line, int& which) {
    return ReadUntil(in, line, [&](const std::string& l) {
        int start, end;
        which = FindNextOf(keys, l, 0, start, end);
        return start >= 0;
    });
}

bool FindTokenPlusWS(std::istream& in, std::string token, std::string& line) {
    if (line.find(token) != std::string::npos) return true;
    GetNextLineContaining(in, token, line);
    size_t p = line.find(token);
    if (p == std::string::npos) return false;
    size_t after = p + token.size();
    if (after == line.size()) return true;
    if (IsWS(line[after])) return true;
    std::cerr << "Find Token How did we get here? " << std::endl;
    std::cerr << "feature=" << token << "idx=" << p << " linesize=" << line.size()
              << " templine=" << line << std::endl;
    std::cerr << "feature.size=" << token.size() << " linesize=" << line.size() << std::endl;
    return false;
}
