#include "toolkit/FASTAFile.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <vector>

#include "toolkit/CLibraryAdditions.h"
#include "toolkit/ParseUtils.h"

namespace {

const int kLineBufferSize = 4900;
const int kReadRecordsGrowth = 300;
const int kRead0Reserve = 2000;

bool IsWS(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// True when the last getline stopped at its buffer's limit with the line
// going on: failbit alone, and something was taken.
bool LineWasCut(std::istream& in) {
    return in.fail() && !in.bad() && !in.eof() && in.gcount() > 0;
}

// After a line that was cut at the buffer's limit: drop the rest of it.
void SkipRestOfCutLine(std::istream& in) {
    if (!LineWasCut(in))
        return;
    in.clear(in.rdstate() & ~std::ios::failbit);
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

// Split header: name = first word at or after `from`, description = the text
// after the one white-space character that ended the name ("" when the name
// reaches the end or that character is the last).
void SplitHeader(const std::string& text, int from, std::string& name, std::string& description) {
    int next = -1;
    name = GetNextWSDelimitedString(text, from, next);
    if (next < 0 || next >= static_cast<int>(text.size()))
        description.clear();
    else
        description = text.substr(static_cast<size_t>(next));
}

// Reads one line whatever its length. readPiece reads at most one buffer's
// worth of a line into its string (the text up to the first NUL byte) and
// leaves failbit set when the line goes on. A header line (first character
// '>', or any line when forceHeader) keeps the piece that fitted and the rest
// of it is skipped; a data line gets all its pieces. The text ends at the
// line's first NUL byte. The stream state afterwards is that of the last read.
template <class ReadPiece>
void ReadWholeLine(std::istream& in, std::string& line, bool forceHeader, ReadPiece readPiece) {
    readPiece(line);
    if (!LineWasCut(in))
        return;
    if (forceHeader || (!line.empty() && line[0] == '>')) {
        SkipRestOfCutLine(in);
        return;
    }
    bool ended = line.size() < static_cast<size_t>(in.gcount());
    std::string piece;
    while (LineWasCut(in)) {
        in.clear(in.rdstate() & ~std::ios::failbit);
        readPiece(piece);
        bool cut = LineWasCut(in);
        if (!ended)
            line += piece;
        if (cut && piece.size() < static_cast<size_t>(in.gcount()))
            ended = true;
    }
}

// A stream that failed for another reason than reaching end of input.
bool StreamFailed(std::istream& in) { return in.bad() || (in.fail() && !in.eof()); }

void AppendChars(std::vector<char>& bases, const std::string& s) {
    bases.insert(bases.end(), s.begin(), s.end());
}

} // namespace

FASTAFile::FASTAFile() : mReserveSize(5000), mBasesPerLine(50), mQualsPerLine(25) {}

FASTAFile::~FASTAFile() {}

int FASTAFile::GetNextSequence(std::istream& in, char* buf, int size, Sequence& r) {
    r.mBases.clear();
    if (buf[0] == '1') {
        in.getline(buf, size);
        SkipRestOfCutLine(in);
    }
    SplitHeader(std::string(buf), 1, r.mName, r.mDescription);

    for (;;) {
        const size_t start = r.mBases.size();
        in.getline(buf, size);
        const bool header = buf[0] == '>';
        std::streamsize taken = in.gcount();
        size_t textLength = std::strlen(buf);
        bool cut = LineWasCut(in);
        bool holdsNul;
        if (header && cut) {
            // Keep the header that fitted; a NUL inside it still stops the reader.
            holdsNul = textLength != 0 && textLength < static_cast<size_t>(taken);
            SkipRestOfCutLine(in);
        } else {
            // A data line longer than the buffer is read piece by piece; the
            // text ends at its first NUL byte.
            bool ended = cut && textLength < static_cast<size_t>(taken);
            if (!header)
                r.mBases.insert(r.mBases.end(), buf, buf + textLength);
            while (cut) {
                in.clear(in.rdstate() & ~std::ios::failbit);
                in.getline(buf, size);
                std::streamsize g = in.gcount();
                size_t l = std::strlen(buf);
                taken += g;
                cut = LineWasCut(in);
                if (!ended) {
                    textLength += l;
                    r.mBases.insert(r.mBases.end(), buf, buf + l);
                    if (cut && l < static_cast<size_t>(g))
                        ended = true;
                }
            }
            holdsNul = textLength != 0 && taken != 0 &&
                       static_cast<std::streamsize>(textLength) < taken - 1;
        }
        if (holdsNul) {
            r.mBases.resize(start);
            return 0;
        }
        if (!header) {
            while (r.mBases.size() > start && IsWS(r.mBases.back()))
                r.mBases.pop_back();
        }
        if (StreamFailed(in))
            return 0;
        if (in.eof())
            return 1;
        if (header)
            return 1;
    }
}

void FASTAFile::GetNextSequence(std::istream& in, Sequence& r) {
    auto getLinePiece = [&in](std::string& s) { GetLine(in, s); };
    r.mBases.clear();
    std::string h;
    if (mPendingHeader.empty())
        ReadWholeLine(in, h, true, getLinePiece);
    else
        h = mPendingHeader;
    r.mName = h.empty() ? std::string() : h.substr(1);

    std::string line;
    for (;;) {
        ReadWholeLine(in, line, false, getLinePiece);
        if (!line.empty() && line[0] == '>') {
            mPendingHeader = line;
            return;
        }
        StripTrailingSpace(line);
        AppendChars(r.mBases, line);
        if (in.eof() || StreamFailed(in))
            return;
    }
}

int FASTAFile::ReadFrom(std::istream& in, SequenceVector& c, int i) {
    const int m = mReserveSize;
    char buf[kLineBufferSize];
    auto bufferPiece = [&in, &buf](std::string& s) {
        in.getline(buf, kLineBufferSize);
        s.assign(buf);
    };
    std::string line;
    for (;;) {
        ReadWholeLine(in, line, false, bufferPiece);
        if (!in.fail()) {
            if (!line.empty() && line[0] == '>') {
                ++i;
                if (i >= static_cast<int>(c.size()))
                    c.resize(c.size() + kReadRecordsGrowth);
                SplitHeader(line.substr(1), 0, c[i].mName, c[i].mDescription);
                c[i].mBases.reserve(static_cast<size_t>(m));
            } else {
                if (!line.empty() && IsWS(line.back()))
                    line.pop_back();
                if (!line.empty()) {
                    if (i < 0) {
                        // Data before the first header: a record without name.
                        i = 0;
                        if (c.empty())
                            c.resize(kReadRecordsGrowth);
                        c[0].mBases.reserve(static_cast<size_t>(m));
                    }
                    AppendChars(c[i].mBases, line);
                }
            }
        }
        if (in.eof() || in.fail())
            break;
    }
    c.resize(static_cast<size_t>(i + 1));
    return c.empty() ? 0 : 1;
}

int FASTAFile::Read(std::istream& in, SequenceVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    return ReadFrom(in, c, -1);
}

int FASTAFile::Append(std::istream& in, SequenceVector& c) {
    return ReadFrom(in, c, static_cast<int>(c.size()) - 1);
}

int FASTAFile::Read(std::string fileName, SequenceVector& c) {
    std::ifstream in(fileName.c_str(), std::ios::in);
    if (!in.is_open()) {
        std::cout << fileName << " file open failed (Read Multiple FASTA)" << std::endl;
        return 0;
    }
    return Read(in, c);
}

int FASTAFile::Read(std::istream& in, Sequence& r) {
    SequenceVector t;
    int result = Read(in, t);
    if (t.empty())
        return 0;
    r = t[0];
    return result;
}

int FASTAFile::Read(std::string fileName, Sequence& r) {
    std::ifstream in(fileName.c_str(), std::ios::in);
    if (!in.is_open())
        return 0;
    int result = Read(in, r);
    in.close();
    return result;
}

int FASTAFile::Read0(std::string fileName, SequenceVector& c) {
    c.clear();
    std::ifstream in(fileName.c_str(), std::ios::in);
    if (!in.is_open()) {
        std::cout << fileName << " file open failed (Read Multiple FASTA)" << std::endl;
        return 0;
    }
    auto getLinePiece = [&in](std::string& s) { GetLine(in, s); };
    Sequence t;
    int i = -1;
    std::string line;
    for (;;) {
        ReadWholeLine(in, line, false, getLinePiece);
        if (!line.empty()) {
            if (line[0] == '>') {
                t.mDescription = line.substr(1);
                c.push_back(t);
                ++i;
                c.reserve(kRead0Reserve);
            } else {
                for (char ch : line) {
                    if (!IsBase(ch))
                        continue;
                    if (i < 0) {
                        // Bases before the first header: a record without name.
                        c.push_back(Sequence());
                        i = 0;
                        c.reserve(kRead0Reserve);
                    }
                    c[i].mBases.push_back(ch);
                }
            }
        }
        if (in.eof() || in.fail())
            break;
    }
    in.close();
    return 1;
}

int FASTAFile::Read0(std::string fileName, Sequence& r) {
    SequenceVector t;
    int result = Read0(fileName, t);
    if (t.empty())
        return 0;
    r = t[0];
    return result;
}

void FASTAFile::Write(std::ostream& out, SequenceVector& c) {
    const size_t perLine = mBasesPerLine > 0 ? static_cast<size_t>(mBasesPerLine) : 1;
    for (Sequence& r : c) {
        out << '>' << r.mName << ' ' << r.mDescription << '\n';
        const size_t n = r.mBases.size();
        for (size_t k = 0; k < n; k += perLine) {
            size_t w = n - k < perLine ? n - k : perLine;
            out.write(&r.mBases[k], static_cast<std::streamsize>(w));
            out << '\n';
        }
    }
}

void FASTAFile::Write(std::ostream& out, Sequence& r) {
    SequenceVector t;
    t.push_back(r);
    Write(out, t);
}

void FASTAFile::Write(std::string fileName, SequenceVector& c) {
    std::ofstream out(fileName.c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        std::cout << fileName << " file open failed" << std::endl;
        return;
    }
    Write(out, c);
    out.close();
}

void FASTAFile::Write(std::string fileName, Sequence& r) {
    SequenceVector t;
    t.push_back(r);
    Write(fileName, t);
}

void FASTAFile::WriteQual(std::ostream& out, SequenceQuality& q) {
    out << '>' << q.mName << ' ' << q.mDescription << std::endl;
    const size_t perLine = mQualsPerLine > 0 ? static_cast<size_t>(mQualsPerLine) : 1;
    const size_t n = q.mQuality.size();
    for (size_t k = 1; k <= n; ++k) {
        out << q.mQuality[k - 1];
        if (k % perLine == 0)
            out << std::endl;
        else
            out << ' ';
    }
    if (n % perLine != 0)
        out << std::endl;
}

void FASTAFile::WriteQual(std::ostream& out, SequenceQualityVector& c) {
    for (SequenceQuality& q : c)
        WriteQual(out, q);
}

void FASTAFile::WriteQual(std::string fileName, SequenceQualityVector& c) {
    std::ofstream out(fileName.c_str(), std::ios::out);
    if (!out.is_open()) {
        std::cout << fileName << " file open failed" << std::endl;
        return;
    }
    WriteQual(out, c);
    out.close();
}

void FASTAFile::WriteQual(std::string fileName, SequenceQuality& q) {
    SequenceQualityVector t;
    t.push_back(q);
    WriteQual(fileName, t);
}

int FASTAFile::ReadQualFrom(std::istream& in, SequenceQualityVector& c, bool reportBlank) {
    const int m = mReserveSize;
    char buf[kLineBufferSize];
    auto bufferPiece = [&in, &buf](std::string& s) {
        in.getline(buf, kLineBufferSize);
        s.assign(buf);
    };
    int i = -1;
    std::string line;
    std::vector<int> values;
    for (;;) {
        ReadWholeLine(in, line, false, bufferPiece);
        if (!in.fail()) {
            if (!line.empty() && line[0] == '>') {
                ++i;
                if (i >= static_cast<int>(c.size()))
                    c.resize(c.size() + kReadRecordsGrowth);
                SplitHeader(line.substr(1), 0, c[i].mName, c[i].mDescription);
                c[i].mQuality.reserve(static_cast<size_t>(m));
            } else if (reportBlank && ContainsOnlyWS(line)) {
                std::cout << "Hey why is there white space here?" << std::endl;
            } else {
                values.clear();
                GetIntsFromLine(&line[0], values);
                if (!values.empty()) {
                    if (i < 0) {
                        // Values before the first header: a record without name.
                        i = 0;
                        if (c.empty())
                            c.resize(kReadRecordsGrowth);
                        c[0].mQuality.reserve(static_cast<size_t>(m));
                    }
                    c[i].mQuality.insert(c[i].mQuality.end(), values.begin(), values.end());
                }
            }
        }
        if (in.eof() || in.fail())
            break;
    }
    c.resize(static_cast<size_t>(i + 1));
    return c.empty() ? 0 : 1;
}

int FASTAFile::ReadQual(std::istream& in, SequenceQualityVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    return ReadQualFrom(in, c, true);
}

int FASTAFile::ReadQual(std::string fileName, SequenceQualityVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    std::ifstream in(fileName.c_str(), std::ios::in);
    if (!in.is_open()) {
        std::cout << fileName << " file open failed (Read Multiple FASTA)" << std::endl;
        return 0;
    }
    int result = ReadQualFrom(in, c, false);
    in.close();
    return result;
}

int FASTAFile::ReadQual(std::string fileName, SequenceQuality& q) {
    SequenceQualityVector t;
    int result = ReadQual(fileName, t);
    if (t.empty())
        return 0;
    q = t[0];
    return result;
}

namespace {

// Shared by ReadQual0 and ReadQualX: lines through GetLine, empty lines
// skipped, one record appended per header line.
template <class SetHeader>
void ReadQualLines(std::istream& in, SequenceQualityVector& c, SetHeader setHeader) {
    auto getLinePiece = [&in](std::string& s) { GetLine(in, s); };
    SequenceQuality t;
    int i = -1;
    std::string line;
    std::vector<int> values;
    for (;;) {
        ReadWholeLine(in, line, false, getLinePiece);
        if (!line.empty()) {
            if (line[0] == '>') {
                setHeader(t, line.substr(1));
                c.push_back(t);
                ++i;
            } else {
                values.clear();
                GetIntsFromLine(line, values);
                if (!values.empty()) {
                    if (i < 0) {
                        // Values before the first header: a record without name.
                        c.push_back(SequenceQuality());
                        i = 0;
                    }
                    c[i].mQuality.insert(c[i].mQuality.end(), values.begin(), values.end());
                }
            }
        }
        if (in.eof() || in.fail())
            break;
    }
}

} // namespace

int FASTAFile::ReadQual0(std::string fileName, SequenceQualityVector& c) {
    c.clear();
    std::ifstream in(fileName.c_str(), std::ios::in);
    if (!in.is_open()) {
        std::cout << fileName << " file open failed" << std::endl;
        return 0;
    }
    ReadQualLines(in, c, [](SequenceQuality& t, const std::string& h) { t.mDescription = h; });
    return 1;
}

int FASTAFile::ReadQualX(std::istream& in, SequenceQualityVector& c) {
    c.clear();
    ReadQualLines(in, c, [](SequenceQuality& t, const std::string& h) {
        SplitHeader(h, 0, t.mName, t.mDescription);
    });
    return 1;
}
