#include "toolkit/Sequence3Bit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <stdexcept>

#include "toolkit/LineReader.h"
#include "toolkit/ParseUtils.h"
#include "toolkit/Sequence.h"

namespace {

const char kLetters[8] = {'A', 'C', 'T', 'G', 'X', '?', '?', 'N'};

inline int CodeOf(char c) { return (static_cast<unsigned char>(c) & 0x0E) >> 1; }

inline int CodeAt(const Sequence3Bit& s, int i) { return (s.mWords[i / 10] >> (3 * (i % 10))) & 7; }

inline bool IsLowQuality(char c) { return (static_cast<unsigned char>(c) & 0x20) != 0; }

inline bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

void Empty(Sequence3Bit& s) {
    s.mWords.clear();
    s.mName.clear();
    s.mDescription.clear();
    s.mBaseSize = 0;
    s.mWordSlot = 0;
    s.mWordIndex = 0;
}

// Grows mWords ahead of an append of n characters and returns n. The rule
// reserves ceil((n + mWordSlot - 9) / 10) words; Set adds any word it still
// lacks. The base count is an int: an append that would take it past INT_MAX
// fails as the vector does when it cannot grow, before anything is changed.
int Reserve(Sequence3Bit& s, size_t n, int extra) {
    if (n > static_cast<size_t>(std::numeric_limits<int>::max() - s.mBaseSize))
        throw std::length_error("Sequence3Bit: more than INT_MAX bases");
    long long v = static_cast<long long>(n) + s.mWordSlot - 9;
    long long r = v > 0 ? (v + 9) / 10 : 0;
    r += extra;
    if (r > 0) s.mWords.resize(s.mWords.size() + static_cast<size_t>(r), 0);
    return static_cast<int>(n);
}

inline void AppendOne(Sequence3Bit& s, char c) {
    if (s.mWordSlot > 9) {
        s.mWordSlot = 0;
        ++s.mWordIndex;
    }
    s.Set(s.mWordIndex, s.mWordSlot, c);
    ++s.mWordSlot;
    ++s.mBaseSize;
}

// The shared append: n is fixed before the first character is stored, and
// charAt(i) is read only after characters 0..i-1 are in (so a record may
// append itself).
template <class CharAt>
void Append(Sequence3Bit& s, size_t count, CharAt charAt) {
    int n = Reserve(s, count, 0);
    for (int i = 0; i < n; ++i) AppendOne(s, charAt(i));
}

// Name and description from the header text in buf (its first character,
// normally '>', is skipped).
void SplitHeader(Sequence3Bit& s, const char* buf) {
    std::string header(buf);
    if (header.empty()) {
        s.mName = "";
        s.mDescription = "";
        return;
    }
    int pos = 1;
    s.mName = GetNextWSDelimitedString(header, 1, pos);
    if (pos >= 0 && pos < static_cast<int>(header.size()))
        s.mDescription = header.substr(pos);
    else
        s.mDescription = "";
}

// Replaces the buffer's text by the line, cut to bsize - 1 characters: the
// buffer carries the next record's header between calls.
void KeepInBuffer(char* buf, int bsize, const std::string& line) {
    if (bsize < 1) return;
    size_t n = std::min(line.size(), static_cast<size_t>(bsize - 1));
    std::memcpy(buf, line.data(), n);
    buf[n] = '\0';
}

// Reads the next line whole through the line layer and keeps it in buf.
// False when reading has to stop: the stream failed before its end, or the
// line holds a NUL byte and something else (damaged text, reported on
// standard error). A line of nothing but NULs reads as an empty line.
bool NextLine(std::istream& is, std::string& line, LineEnd& end, char* buf, int bsize) {
    end = ReadTextLine(is, line);
    if (end == LineEnd::Failed) return false;
    if (HoldsNul(line)) {
        if (line.find_first_not_of('\0') == std::string::npos) {
            line.clear();
        } else {
            KeepInBuffer(buf, bsize, line);
            std::cerr << "ERROR CORRUPT SEQ: NULL BEFORE NEWLINE" << std::endl;
            return false;
        }
    }
    KeepInBuffer(buf, bsize, line);
    return true;
}

// Takes the blanks and tabs off the end of a line, and writes the debug
// lines of the reader for each: GetNextRead's, or with trimLowQual those of
// GetNextReadTrimLowQual.
void RemoveTrailingBlanks(std::string& line, bool trimLowQual) {
    const size_t n = line.size();
    while (!line.empty() && IsBlankOrTab(line.back())) {
        const size_t e = line.size() - 1;
        if (trimLowQual) {
            std::cout << "bsize=" << n << std::endl;
            std::cout << "Buffer=" << line << std::endl;
        } else {
            std::cout << '\n';
        }
        std::cout << "Consuming white space: " << std::hex << static_cast<int>(line[e])
                  << " sEnd=" << e << std::dec << std::endl;
        if (!trimLowQual) std::cout << "Buffer=" << line << std::endl;
        line.pop_back();
    }
}

}  // namespace

Sequence3Bit::Sequence3Bit() : mBaseSize(0), mWordSlot(0), mWordIndex(0) {}

Sequence3Bit::Sequence3Bit(const Sequence3Bit& other) : mBaseSize(0), mWordSlot(0), mWordIndex(0) {
    Concatenate(other);
    mName = other.mName;
    mDescription = other.mDescription;
}

Sequence3Bit& Sequence3Bit::operator=(const Sequence3Bit& other) {
    mWords = other.mWords;
    mName = other.mName;
    mDescription = other.mDescription;
    mBaseSize = other.mBaseSize;
    mWordSlot = other.mWordSlot;
    mWordIndex = other.mWordIndex;
    return *this;
}

Sequence3Bit::~Sequence3Bit() {}

char Sequence3Bit::operator[](int i) const { return kLetters[CodeAt(*this, i)]; }

void Sequence3Bit::Set(int word, int slot, char c) {
    if (word == static_cast<int>(mWords.size())) mWords.push_back(0);
    int shift = 3 * slot;
    mWords[word] = (mWords[word] & ~(7 << shift)) | (CodeOf(c) << shift);
}

int Sequence3Bit::NumBases() { return mBaseSize; }

void Sequence3Bit::ConcatenateCString(const char* s) {
    Append(*this, std::strlen(s), [s](int i) { return s[i]; });
}

void Sequence3Bit::ConcatenateString(std::string& s) { ConcatenateCString(s.c_str()); }

void Sequence3Bit::ConcatenateSequence(Sequence& seq) {
    const std::vector<char>& b = seq.mBases;
    Append(*this, b.size(), [&b](int i) { return b[i]; });
}

void Sequence3Bit::Concatenate(const Sequence3Bit& other) {
    Append(*this, static_cast<size_t>(other.mBaseSize), [&other](int i) { return other[i]; });
}

void Sequence3Bit::ConcatenateCStringTrimLowQual(const char* s) {
    int n = Reserve(*this, std::strlen(s), 1);
    for (int i = 0; i < n && !IsLowQuality(s[i]); ++i) AppendOne(*this, s[i]);
}

void Sequence3Bit::Bug(int n) {
    std::cout << "You've found a bug n=" << n << " mBaseSize=" << mBaseSize << std::endl;
}

int Sequence3Bit::GetNextRead(std::istream& is, char* buf, int bsize) {
    Empty(*this);
    std::string line;
    LineEnd end;
    if (buf[0] == '1' && !NextLine(is, line, end, buf, bsize)) return 0;
    SplitHeader(*this, buf);
    for (;;) {
        if (!NextLine(is, line, end, buf, bsize)) return 0;
        const bool header = !line.empty() && line[0] == '>';
        if (!header) {
            RemoveTrailingBlanks(line, false);
            ConcatenateCString(line.c_str());
        }
        if (end != LineEnd::Newline) return 1;
        if (header) return 1;
    }
}

int Sequence3Bit::GetNextReadTrimLowQual(std::istream& is, char* buf, int bsize) {
    Empty(*this);
    std::string line;
    LineEnd end;
    if (buf[0] == '1') {
        if (!NextLine(is, line, end, buf, bsize)) return 0;
    } else if (buf[0] != '>') {
        return 0;
    }
    SplitHeader(*this, buf);

    // The first line of the record: its low-quality start is skipped, up to a
    // '>' that starts the next header there.
    std::string header(buf);
    if (!NextLine(is, line, end, buf, bsize)) return 0;
    if (end == LineEnd::None) {
        KeepInBuffer(buf, bsize, header);  // nothing more to read: the buffer stays
        return 1;
    }
    size_t skip = 0;
    while (skip < line.size() && line[skip] != '>' && IsLowQuality(line[skip])) ++skip;
    if (skip == line.size()) {
        // Empty or all low quality: the line adds nothing and the next one is
        // read as an ordinary line.
        if (end != LineEnd::Newline) return 1;
        if (!NextLine(is, line, end, buf, bsize)) return 0;
    } else if (skip > 0) {
        line.erase(0, skip);
        KeepInBuffer(buf, bsize, line);
    }
    if (!line.empty() && line[0] == '>' && skip > 0) {
        mBaseSize = 0;
        return 1;
    }
    for (;;) {
        const bool isHeader = !line.empty() && line[0] == '>';
        if (!isHeader) {
            RemoveTrailingBlanks(line, true);
            ConcatenateCStringTrimLowQual(line.c_str());
        }
        if (end != LineEnd::Newline) return 1;
        if (isHeader) return 1;
        if (!NextLine(is, line, end, buf, bsize)) return 0;
    }
}

void Sequence3Bit::GetSubSequence(Sequence3Bit& out, int start, int end) {
    Empty(out);
    if (end < 0) return;
    if (start < 0) start = 0;
    if (end >= mBaseSize) end = mBaseSize - 1;
    if (end - start + 1 <= 0) return;
    // One append per base; codes 5 and 6 (letter '?') are not copied.
    char one[2] = {0, 0};
    for (int i = start; i <= end; ++i) {
        one[0] = (*this)[i];
        if (one[0] != '?') out.ConcatenateCString(one);
    }
    char range[64];
    std::snprintf(range, sizeof range, "[%ld,%ld]", static_cast<long>(start),
                  static_cast<long>(end));
    out.mDescription = mDescription + range;
    out.mName = mName;
}

namespace {

void LettersInto(const Sequence3Bit& s, Sequence& tmp) {
    tmp.mBases.reserve(static_cast<size_t>(s.mBaseSize));
    for (int i = 0; i < s.mBaseSize; ++i) tmp.mBases.push_back(s[i]);
}

}  // namespace

void Sequence3Bit::Reverse(Sequence3Bit& out) {
    Sequence tmp;
    LettersInto(*this, tmp);
    tmp.Reverse();
    Empty(out);
    out.ConcatenateSequence(tmp);
}

void Sequence3Bit::ReverseComplement(Sequence3Bit& out) {
    Sequence tmp;
    LettersInto(*this, tmp);
    tmp.ReverseComplement();
    out.ConcatenateSequence(tmp);
}

void Sequence3Bit::Print(std::ostream& os) {
    if (mBaseSize == 0) {
        std::cout << "No sequence" << std::endl;
        return;
    }
    for (int i = 0; i < mBaseSize; ++i) {
        os << (*this)[i];
        if (i % 50 == 0 && i != 0) os << std::endl;
    }
}

namespace {

// True when some base of start..start+length-1, cut at the last base, has a
// code of 4 to 7. Positions before 0 hold no base and are left out.
bool AnyNonBase(const Sequence3Bit& s, int start, int length) {
    long long last = static_cast<long long>(start) + length - 1;
    if (last >= s.mBaseSize) last = s.mBaseSize - 1;
    if (start < 0) start = 0;
    for (long long i = start; i <= last; ++i)
        if (CodeAt(s, static_cast<int>(i)) & 4) return true;
    return false;
}

}  // namespace

bool Sequence3Bit::OnlyBases(int start, int length) { return !AnyNonBase(*this, start, length); }

bool Sequence3Bit::ContainsNX(int start, int length) { return AnyNonBase(*this, start, length); }
