#include "toolkit/FASTAFile.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

#include "toolkit/CLibraryAdditions.h"
#include "toolkit/LineReader.h"
#include "toolkit/ParseUtils.h"

namespace {

const int kLineBufferSize = 4900;
const int kReadRecordsGrowth = 300;
const int kRead0Reserve = 2000;

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

// Longest header line kept by GetNextSequence with two arguments, Read0,
// ReadQual0 and ReadQualX: GetLine's limit of 299,999 characters. The rest of
// a longer header is dropped.
const size_t kLongestReadbufHeader = sizeof readbuf - 1;

// Longest header line kept by Read, Append and ReadQual.
const size_t kLongestBufferedHeader = kLineBufferSize - 1;

// Reads the next line for a reading loop. False when the loop has to stop:
// no line was left, the stream failed (damaged is set), or the line holds a
// NUL byte (damaged is set, and badbit on the stream, so that the caller does
// not take what was read for the whole input).
bool NextLine(std::istream& in, std::string& line, LineEnd& end, bool& damaged) {
    end = ReadTextLine(in, line);
    if (end == LineEnd::Failed) {
        damaged = true;
        return false;
    }
    if (HoldsNul(line)) {
        in.setstate(std::ios::badbit);
        damaged = true;
        return false;
    }
    return GotLine(end);
}

// Stores a line in the caller's buffer of size bytes, cut to size - 1
// characters: how the four-argument reader carries the next header.
void KeepInBuffer(char* buf, int size, const std::string& line) {
    const size_t n = size > 1 ? std::min(line.size(), static_cast<size_t>(size - 1)) : 0;
    if (size < 1) return;
    std::memcpy(buf, line.data(), n);
    buf[n] = '\0';
}

// The room a record's bases grow to once it is past a quarter of the limit
// (below that the vector doubles it by itself), for room `room` that has to
// hold `need` bases, need <= longest. The room grows by half, so that it stays
// within 1.5 times what the record holds; once that would pass two thirds of
// the limit it goes to the limit at once, since growing from more than two
// thirds to the limit later would hold both rooms at the same time. A record
// refused at the limit thus peaks at 5/3 of the limit at most.
size_t RoomNearLimit(size_t room, size_t need, size_t longest) {
    const size_t grown = std::max(room + room / 2, need);
    return grown > longest / 3 * 2 ? longest : grown;
}

// A data line of the four-argument reader: all trailing white space goes.
// False, with nothing appended, when the record would pass longest bases.
bool AppendDataLine(std::vector<char>& bases, const std::string& line, size_t longest) {
    size_t n = line.size();
    while (n > 0 && IsWS(line[n - 1])) --n;
    if (n > longest - bases.size()) return false;  // bases never pass longest
    if (n > bases.capacity() - bases.size() && bases.capacity() > longest / 4)
        bases.reserve(RoomNearLimit(bases.capacity(), bases.size() + n, longest));
    bases.insert(bases.end(), line.begin(), line.begin() + static_cast<std::ptrdiff_t>(n));
    return true;
}

const char kOpenFailed[] = " file open failed";
const char kMultipleOpenFailed[] = " file open failed (Read Multiple FASTA)";

// Opens fileName for reading. When it does not open, writes the file name and
// `failure` (when given) on standard output.
bool OpenInput(std::ifstream& in, const std::string& fileName, const char* failure) {
    in.open(fileName.c_str(), std::ios::in);
    if (in.is_open()) return true;
    if (failure) std::cout << fileName << failure << std::endl;
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
    if (t.empty()) return 0;
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
        if (c.empty()) c.push_back(Rec());
        c.reserve(reserveRecords);
        (c[0].*contents).reserve(static_cast<size_t>(reserve));
    }
    Contents& to = c[static_cast<size_t>(i)].*contents;
    to.insert(to.end(), add.begin(), add.end());
}

// Loop of Read, Append and ReadQual. A header line (cut to 4,899
// characters) starts record i + 1 (the list grows 300 records at a time) with
// a split header and room for `reserve` items; every other line goes through
// extract, whose items are appended to the current record. Ends at end of
// input, at a failed stream or at a line holding a NUL byte; the list is cut
// to the records read. Returns 1 when the collection holds a record and the
// input was read without damage, else 0.
template <class Vec, class Rec, class Contents, class Extract>
int ReadBuffered(std::istream& in, Vec& c, int i, int reserve, Contents Rec::*contents,
                 Extract extract) {
    std::string line;
    Contents add;
    LineEnd end;
    bool damaged = false;
    while (NextLine(in, line, end, damaged)) {
        if (!line.empty() && line[0] == '>') {
            KeepHeader(line, kLongestBufferedHeader);
            ++i;
            if (i >= static_cast<int>(c.size())) c.resize(c.size() + kReadRecordsGrowth);
            Rec& r = c[static_cast<size_t>(i)];
            SplitHeader(line, 1, r.mName, r.mDescription);
            (r.*contents).reserve(static_cast<size_t>(reserve));
        } else {
            add.clear();
            extract(line, add);
            if (!add.empty()) AddToRecord(c, i, contents, add, reserve, 0);
        }
        if (end == LineEnd::EndOfInput) break;
    }
    c.resize(static_cast<size_t>(i + 1));
    return c.empty() || damaged ? 0 : 1;
}

// Loop of Read0, ReadQual0 and ReadQualX. Empty lines are skipped. A header
// line (cut to 299,999 characters) appends a copy of the template record,
// filled by setHeader from the line; every other line goes through extract,
// whose items are appended to the last record. Room for reserveRecords
// records is asked for after each record started. Ends as ReadBuffered;
// returns 1 when the input was read without damage, else 0.
template <class Vec, class Rec, class Contents, class SetHeader, class Extract>
int ReadAppending(std::istream& in, Vec& c, Contents Rec::*contents, size_t reserveRecords,
                  SetHeader setHeader, Extract extract) {
    Rec t;
    int i = -1;
    std::string line;
    Contents add;
    LineEnd end;
    bool damaged = false;
    while (NextLine(in, line, end, damaged)) {
        if (!line.empty()) {
            if (line[0] == '>') {
                KeepHeader(line, kLongestReadbufHeader);
                setHeader(t, line);
                c.push_back(t);
                ++i;
                c.reserve(reserveRecords);
            } else {
                add.clear();
                extract(line, add);
                if (!add.empty()) AddToRecord(c, i, contents, add, 0, reserveRecords);
            }
        }
        if (end == LineEnd::EndOfInput) break;
    }
    return damaged ? 0 : 1;
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
    if (!line.empty() && IsWS(line.back())) line.pop_back();
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

}  // namespace

FASTAFile::FASTAFile() : mReserveSize(5000), mBasesPerLine(50), mQualsPerLine(25) {}

FASTAFile::~FASTAFile() {}

int FASTAFile::GetNextSequence(std::istream& in, char* buf, int size, Sequence& r,
                               std::size_t longest) {
    r.mBases.clear();
    std::string line;
    LineEnd end;
    if (buf[0] == '1') {
        end = ReadTextLine(in, line);
        if (end == LineEnd::Failed) return 0;
        if (HoldsNul(line)) {
            KeepInBuffer(buf, size, line);
            return 0;
        }
        if (line.empty() || line[0] != '>') {
            // No header line: the lines up to the first header form a record
            // without name.
            r.mName.clear();
            r.mDescription.clear();
            buf[0] = '\0';  // no header waits: the first-call mark is used up
            if (!AppendDataLine(r.mBases, line, longest)) return 2;
            if (end != LineEnd::Newline) return 1;
        } else {
            KeepInBuffer(buf, size, line);
        }
    }
    if (buf[0] != '\0') SplitHeader(std::string(buf), 1, r.mName, r.mDescription);

    for (;;) {
        end = ReadTextLine(in, line);
        if (end == LineEnd::Failed) return 0;
        // A NUL byte anywhere in a line marks damaged text: stop, the record
        // keeps the lines before it and the buffer holds the line.
        if (HoldsNul(line)) {
            KeepInBuffer(buf, size, line);
            return 0;
        }
        const bool header = !line.empty() && line[0] == '>';
        if (header)
            KeepInBuffer(buf, size, line);
        else if (!AppendDataLine(r.mBases, line, longest))
            return 2;
        if (end != LineEnd::Newline) return 1;
        if (header) return 1;
    }
}

void FASTAFile::GetNextSequence(std::istream& in, Sequence& r) {
    r.mBases.clear();
    GetNextSequence(in, r.mName, [&r](const char* text, std::size_t n) {
        r.mBases.insert(r.mBases.end(), text, text + n);
    });
}

void FASTAFile::GetNextSequence(std::istream& in, std::string& name,
                                const std::function<void(const char*, std::size_t)>& onLine) {
    std::string line;
    LineEnd end;
    bool damaged = false;
    if (mPendingHeader.empty()) {
        name.clear();
        if (!NextLine(in, line, end, damaged)) return;
        if (line.empty() || line[0] != '>') {
            // No header line: the lines up to the first header form a record
            // without name.
            StripTrailingSpace(line);
            onLine(line.data(), line.size());
            if (end != LineEnd::Newline) return;
        } else {
            KeepHeader(line, kLongestReadbufHeader);
            name = line.substr(1);
        }
    } else {
        name = mPendingHeader.substr(1);
    }

    // A line holding a NUL byte ends the record with badbit set on the stream
    // (see NextLine).
    while (NextLine(in, line, end, damaged)) {
        if (!line.empty() && line[0] == '>') {
            KeepHeader(line, kLongestReadbufHeader);
            mPendingHeader = line;
            return;
        }
        StripTrailingSpace(line);
        onLine(line.data(), line.size());
        if (end == LineEnd::EndOfInput) return;
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
    if (!OpenInput(in, fileName, kMultipleOpenFailed)) return 0;
    return Read(in, c);
}

int FASTAFile::Read(std::istream& in, Sequence& r) {
    SequenceVector t;
    int result = Read(in, t);
    return CopyFirst(t, r, result);
}

int FASTAFile::Read(std::string fileName, Sequence& r) {
    std::ifstream in;
    if (!OpenInput(in, fileName, nullptr)) return 0;
    int result = Read(in, r);
    in.close();
    return result;
}

int FASTAFile::Read0(std::string fileName, SequenceVector& c) {
    c.clear();
    std::ifstream in;
    if (!OpenInput(in, fileName, kMultipleOpenFailed)) return 0;
    int result = ReadAppending(in, c, &Sequence::mBases, kRead0Reserve, DescriptionHeader(),
                               [](const std::string& line, std::vector<char>& add) {
                                   for (char ch : line)
                                       if (IsBase(ch)) add.push_back(ch);
                               });
    in.close();
    return result;
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
    WriteToFile(fileName, std::ios::out | std::ios::trunc,
                [&](std::ostream& out) { Write(out, c); });
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
    if (n % perLine != 0) out << std::endl;
}

void FASTAFile::WriteQual(std::ostream& out, SequenceQualityVector& c) {
    for (SequenceQuality& q : c) WriteQual(out, q);
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
    return ReadBuffered(
        in, c, -1, mReserveSize, &SequenceQuality::mQuality,
        [](std::string& line, std::vector<int>& add) { ExtractValues(line, add, true); });
}

int FASTAFile::ReadQual(std::string fileName, SequenceQualityVector& c) {
    c.clear();
    c.resize(kReadRecordsGrowth);
    std::ifstream in;
    if (!OpenInput(in, fileName, kMultipleOpenFailed)) return 0;
    int result = ReadBuffered(
        in, c, -1, mReserveSize, &SequenceQuality::mQuality,
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
    if (!OpenInput(in, fileName, kOpenFailed)) return 0;
    return ReadAppending(in, c, &SequenceQuality::mQuality, 0, DescriptionHeader(),
                         ExtractLineValues);
}

int FASTAFile::ReadQualX(std::istream& in, SequenceQualityVector& c) {
    c.clear();
    return ReadAppending(
        in, c, &SequenceQuality::mQuality, 0,
        [](SequenceQuality& t, const std::string& line) {
            SplitHeader(line, 1, t.mName, t.mDescription);
        },
        ExtractLineValues);
}
