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

// True when the piece of a line just read held a NUL byte within its text
// (the newline that ended the line does not count as text).
bool PieceHeldNul(std::istream& in, const std::string& piece) {
    std::streamsize chars = in.gcount();
    if (!LineWasCut(in) && !in.eof() && chars > 0)
        --chars;
    return static_cast<std::streamsize>(piece.size()) < chars;
}

// Reads one line whatever its length. readPiece(in, s) reads at most one
// buffer's worth of a line into s (the text up to the first NUL byte) and
// leaves failbit set when the line goes on. A header line (first character
// '>', or any line when forceHeader) keeps the piece that fitted and the rest
// of it is skipped; a data line gets all its pieces. The text ends at the
// line's first NUL byte. The stream state afterwards is that of the last read.
// Returns true when a data line held a NUL byte.
template <class ReadPiece>
bool ReadWholeLine(std::istream& in, std::string& line, bool forceHeader, ReadPiece readPiece) {
    readPiece(in, line);
    bool heldNul = PieceHeldNul(in, line);
    if (!LineWasCut(in))
        return heldNul;
    if (forceHeader || (!line.empty() && line[0] == '>')) {
        SkipRestOfCutLine(in);
        return false;
    }
    std::string piece;
    while (LineWasCut(in)) {
        in.clear(in.rdstate() & ~std::ios::failbit);
        readPiece(in, piece);
        if (!heldNul)
            line += piece;
        heldNul = heldNul || PieceHeldNul(in, piece);
    }
    return heldNul;
}

// Line pieces through the shared line buffer readbuf.
void ReadbufPiece(std::istream& in, std::string& s) { GetLine(in, s); }

// A stream that failed for another reason than reaching end of input.
bool StreamFailed(std::istream& in) { return in.bad() || (in.fail() && !in.eof()); }

void AppendChars(std::vector<char>& bases, const std::string& s) {
    bases.insert(bases.end(), s.begin(), s.end());
}

const char kOpenFailed[] = " file open failed";
const char kMultipleOpenFailed[] = " file open failed (Read Multiple FASTA)";

// Opens fileName for reading. When it does not open, writes the file name and
// `failure` (when given) on standard output.
bool OpenInput(std::ifstream& in, const std::string& fileName, const char* failure) {
    in.open(fileName.c_str(), std::ios::in);
    if (in.is_open())
        return true;
    if (failure)
        std::cout << fileName << failure << std::endl;
    return false;
}

// Opens fileName for writing and hands the stream to writeTo; when it does
// not open, writes the file name and " file open failed" on standard output.
template <class WriteTo>
void WriteToFile(const std::string& fileName, std::ios::openmode mode, WriteTo writeTo) {
    std::ofstream out(fileName.c_str(), mode);
    if (!out.is_open()) {
        std::cout << fileName << kOpenFailed << std::endl;
        return;
    }
    writeTo(out);
    out.close();
}

template <class Vec, class Rec>
Vec OneRecord(const Rec& r) {
    Vec t;
    t.push_back(r);
    return t;
}

// The one-record readers: the first record read, when there is one.
template <class Vec, class Rec>
int CopyFirst(const Vec& t, Rec& r, int result) {
    if (t.empty())
        return 0;
    r = t[0];
    return result;
}

// Appends `add` to the contents of record i; contents before the first
// header line start a record without name.
template <class Vec, class Rec, class Contents>
void AddToRecord(Vec& c, int& i, Contents Rec::*contents, const Contents& add, int reserve,
                 size_t reserveRecords) {
    if (i < 0) {
        i = 0;
        if (c.empty())
            c.push_back(Rec());
        c.reserve(reserveRecords);
        (c[0].*contents).reserve(static_cast<size_t>(reserve));
    }
    Contents& to = c[static_cast<size_t>(i)].*contents;
    to.insert(to.end(), add.begin(), add.end());
}

// Loop of Read, Append and ReadQual. Lines go through a 4,900-byte buffer and
// a line whose read fails is skipped. A header line starts record i + 1 (the
// list grows 300 records at a time) with a split header and room for
// `reserve` items; every other line goes through extract, whose items are
// appended to the current record. Ends at end of input or when the stream
// fails; the list is cut to the records read.
template <class Vec, class Rec, class Contents, class Extract>
int ReadBuffered(std::istream& in, Vec& c, int i, int reserve, Contents Rec::*contents,
                 Extract extract) {
    char buf[kLineBufferSize];
    auto bufferPiece = [&buf](std::istream& from, std::string& piece) {
        from.getline(buf, kLineBufferSize);
        piece.assign(buf);
    };
    std::string line;
    Contents add;
    for (;;) {
        ReadWholeLine(in, line, false, bufferPiece);
        if (!in.fail()) {
            if (!line.empty() && line[0] == '>') {
                ++i;
                if (i >= static_cast<int>(c.size()))
                    c.resize(c.size() + kReadRecordsGrowth);
                Rec& r = c[static_cast<size_t>(i)];
                SplitHeader(line, 1, r.mName, r.mDescription);
                (r.*contents).reserve(static_cast<size_t>(reserve));
            } else {
                add.clear();
                extract(line, add);
                if (!add.empty())
                    AddToRecord(c, i, contents, add, reserve, 0);
            }
        }
        if (in.eof() || in.fail())
            break;
    }
    c.resize(static_cast<size_t>(i + 1));
    return c.empty() ? 0 : 1;
}

// Loop of Read0, ReadQual0 and ReadQualX. Lines go through GetLine and empty
// lines are skipped. A header line appends a copy of the template record,
// filled by setHeader from the line; every other line goes through extract,
// whose items are appended to the last record. Room for reserveRecords
// records is asked for after each record started.
template <class Vec, class Rec, class Contents, class SetHeader, class Extract>
void ReadAppending(std::istream& in, Vec& c, Contents Rec::*contents, size_t reserveRecords,
                   SetHeader setHeader, Extract extract) {
    Rec t;
    int i = -1;
    std::string line;
    Contents add;
    for (;;) {
        ReadWholeLine(in, line, false, ReadbufPiece);
        if (!line.empty()) {
            if (line[0] == '>') {
                setHeader(t, line);
                c.push_back(t);
                ++i;
                c.reserve(reserveRecords);
            } else {
                add.clear();
                extract(line, add);
                if (!add.empty())
                    AddToRecord(c, i, contents, add, 0, reserveRecords);
            }
        }
        if (in.eof() || in.fail())
            break;
    }
}

// Description header: the whole line after its first character.
struct DescriptionHeader {
    template <class Rec>
    void operator()(Rec& t, const std::string& line) const {
        t.mDescription = line.substr(1);
    }
};

// Data lines lose one trailing white-space character.
void ExtractBases(std::string& line, std::vector<char>& add) {
    if (!line.empty() && IsWS(line.back()))
        line.pop_back();
    add.assign(line.begin(), line.end());
}

// Value lines of ReadQual. The stream form reports an empty or blank line and
// adds nothing for it; the file form hands every line to GetIntsFromLine.
void ExtractValues(std::string& line, std::vector<int>& add, bool reportBlank) {
    if (reportBlank && ContainsOnlyWS(line)) {
        std::cout << "Hey why is there white space here?" << std::endl;
        return;
    }
    GetIntsFromLine(&line[0], add);
}

// Value lines of ReadQual0 and ReadQualX.
void ExtractLineValues(const std::string& line, std::vector<int>& add) {
    GetIntsFromLine(line, add);
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
            // Any NUL byte before the line's end (at its start too) stops the
            // reader: it marks damaged text, whose characters would otherwise be
            // dropped without a word.
            holdsNul = taken != 0 && static_cast<std::streamsize>(textLength) < taken - 1;
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
    r.mBases.clear();
    std::string h;
    if (mPendingHeader.empty())
        ReadWholeLine(in, h, true, ReadbufPiece);
    else
        h = mPendingHeader;
    r.mName = h.empty() ? std::string() : h.substr(1);

    std::string line;
    for (;;) {
        const bool heldNul = ReadWholeLine(in, line, false, ReadbufPiece);
        if (!line.empty() && line[0] == '>') {
            mPendingHeader = line;
            return;
        }
        StripTrailingSpace(line);
        AppendChars(r.mBases, line);
        // A NUL byte means damaged text: the line's text ends there, and the
        // stream is marked bad so that the caller does not take the record
        // for the whole of it.
        if (heldNul)
            in.setstate(std::ios::badbit);
        if (in.eof() || StreamFailed(in))
            return;
    }
}

int FASTAFile::Read(std::istream& in, SequenceVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    return ReadBuffered(in, c, -1, mReserveSize, &Sequence::mBases, ExtractBases);
}

int FASTAFile::Append(std::istream& in, SequenceVector& c) {
    return ReadBuffered(in, c, static_cast<int>(c.size()) - 1, mReserveSize, &Sequence::mBases,
                        ExtractBases);
}

int FASTAFile::Read(std::string fileName, SequenceVector& c) {
    std::ifstream in;
    if (!OpenInput(in, fileName, kMultipleOpenFailed))
        return 0;
    return Read(in, c);
}

int FASTAFile::Read(std::istream& in, Sequence& r) {
    SequenceVector t;
    int result = Read(in, t);
    return CopyFirst(t, r, result);
}

int FASTAFile::Read(std::string fileName, Sequence& r) {
    std::ifstream in;
    if (!OpenInput(in, fileName, nullptr))
        return 0;
    int result = Read(in, r);
    in.close();
    return result;
}

int FASTAFile::Read0(std::string fileName, SequenceVector& c) {
    c.clear();
    std::ifstream in;
    if (!OpenInput(in, fileName, kMultipleOpenFailed))
        return 0;
    ReadAppending(in, c, &Sequence::mBases, kRead0Reserve, DescriptionHeader(),
                  [](const std::string& line, std::vector<char>& add) {
                      for (char ch : line)
                          if (IsBase(ch))
                              add.push_back(ch);
                  });
    in.close();
    return 1;
}

int FASTAFile::Read0(std::string fileName, Sequence& r) {
    SequenceVector t;
    int result = Read0(fileName, t);
    return CopyFirst(t, r, result);
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
    SequenceVector t = OneRecord<SequenceVector>(r);
    Write(out, t);
}

void FASTAFile::Write(std::string fileName, SequenceVector& c) {
    WriteToFile(fileName, std::ios::out | std::ios::trunc, [&](std::ostream& out) { Write(out, c); });
}

void FASTAFile::Write(std::string fileName, Sequence& r) {
    SequenceVector t = OneRecord<SequenceVector>(r);
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
    WriteToFile(fileName, std::ios::out, [&](std::ostream& out) { WriteQual(out, c); });
}

void FASTAFile::WriteQual(std::string fileName, SequenceQuality& q) {
    SequenceQualityVector t = OneRecord<SequenceQualityVector>(q);
    WriteQual(fileName, t);
}

int FASTAFile::ReadQual(std::istream& in, SequenceQualityVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    return ReadBuffered(in, c, -1, mReserveSize, &SequenceQuality::mQuality,
                        [](std::string& line, std::vector<int>& add) { ExtractValues(line, add, true); });
}

int FASTAFile::ReadQual(std::string fileName, SequenceQualityVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    std::ifstream in;
    if (!OpenInput(in, fileName, kMultipleOpenFailed))
        return 0;
    int result =
        ReadBuffered(in, c, -1, mReserveSize, &SequenceQuality::mQuality,
                     [](std::string& line, std::vector<int>& add) { ExtractValues(line, add, false); });
    in.close();
    return result;
}

int FASTAFile::ReadQual(std::string fileName, SequenceQuality& q) {
    SequenceQualityVector t;
    int result = ReadQual(fileName, t);
    return CopyFirst(t, q, result);
}

int FASTAFile::ReadQual0(std::string fileName, SequenceQualityVector& c) {
    c.clear();
    std::ifstream in;
    if (!OpenInput(in, fileName, kOpenFailed))
        return 0;
    ReadAppending(in, c, &SequenceQuality::mQuality, 0, DescriptionHeader(), ExtractLineValues);
    return 1;
}

int FASTAFile::ReadQualX(std::istream& in, SequenceQualityVector& c) {
    c.clear();
    ReadAppending(in, c, &SequenceQuality::mQuality, 0,
                  [](SequenceQuality& t, const std::string& line) {
                      SplitHeader(line, 1, t.mName, t.mDescription);
                  },
                  ExtractLineValues);
    return 1;
}
