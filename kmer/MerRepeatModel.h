#ifndef KMER_MERREPEATMODEL_H
#define KMER_MERREPEATMODEL_H

#include <cctype>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <istream>
#include <string>
#include <vector>

#include "kmer/Mer.h"
#include "kmer/Mer2IntMap.h"
#include "toolkit/LineReader.h"
#include "toolkit/gzstream.h"

// Outcome of reading a k-mer distribution file (MerRepeatModel::ReadDist).
enum ReadDistStatus {
    ReadDistOK = 0,      // read to the end of input, or to a body line that begins
                         // with a blank or a tab (which ends the body)
    ReadDistOpenFailed,  // the file could not be opened (file-name form only)
    ReadDistReadFailed,  // the input failed before its end: a read error, damaged or
                         // truncated gzip data, a stream already failed when given
    ReadDistBadHeader,   // no header line, fewer than five fields, a last-four field
                         // that is not a whole number, k outside 1 to 32 or a
                         // thinning factor below 1; nothing was changed, the k-mer
                         // length and thinning of the process included
    ReadDistBadLine,     // a body line that is not a k-mer of exactly k letters A, C,
                         // G or T, one blank or tab and a count of decimal digits
                         // (blanks or tabs may follow)
    ReadDistNulByte      // a line holds a NUL byte: damaged text
};

// What ReadDist reports: the status, and the 1-based line of the file where the
// reading stopped on a fault (the header is line 1; 0 when no line applies),
// with a detail of what was wrong where one helps. On any status but
// ReadDistOK the caller must not use the model: it may hold part of the file,
// and after a bad body line the header's k and thinning are already in force.
struct ReadDistResult {
    ReadDistStatus mStatus;
    long long mLine;  // 64 bits: a distribution file may hold more than 2^31 lines
    std::string mDetail;

    ReadDistResult(ReadDistStatus status = ReadDistOK, long long line = 0, std::string detail = "")
        : mStatus(status), mLine(line), mDetail(detail) {}
    bool ok() const { return mStatus == ReadDistOK; }
    // A short description for the user, led by "line N: " when a line applies.
    std::string Message() const;
};

inline std::string ReadDistResult::Message() const {
    std::string where = mLine > 0 ? "line " + std::to_string(mLine) + ": " : std::string();
    std::string detail = mDetail.empty() ? std::string() : ": " + mDetail;
    switch (mStatus) {
        case ReadDistOK:
            return "ok";
        case ReadDistOpenFailed:
            return "cannot open file";
        case ReadDistReadFailed:
            return where + "read error (damaged or truncated input)";
        case ReadDistBadHeader:
            return where + "bad header" + detail;
        case ReadDistBadLine:
            return where + "malformed line" + detail;
        case ReadDistNulByte:
            return where + "a NUL byte (damaged text)";
    }
    return "unknown status";
}

// Parsing of distribution file lines, shared by the reader's instances.
inline bool IsDistBlank(char c) { return c == ' ' || c == '\t'; }

// The fields of a line separated by runs of blanks or tabs.
inline std::vector<std::string> DistFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsDistBlank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !IsDistBlank(line[i])) ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// A whole decimal number with an optional sign that fits an int.
inline bool DistWholeNumber(const std::string& text, int& value) {
    size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > (long long)INT_MAX + 1) return false;
    }
    if (text[0] == '-') v = -v;
    if (v < INT_MIN || v > INT_MAX) return false;
    value = (int)v;
    return true;
}

// A body line: exactly k letters A, C, G or T (either case), one blank or
// tab, a count of decimal digits (held at INT_MAX when larger), then nothing
// but blanks or tabs.
inline bool DistBodyLine(const std::string& line, int k, int& count) {
    const size_t n = line.size();
    if (n < (size_t)k + 2) return false;
    for (int i = 0; i < k; ++i)
        if (gMerCodes.mCode[(unsigned char)line[i]] >= 4) return false;
    if (!IsDistBlank(line[k])) return false;
    size_t i = (size_t)k + 1;
    long long v = 0;
    const size_t countStart = i;
    for (; i < n && line[i] >= '0' && line[i] <= '9'; ++i) {
        v = v * 10 + (line[i] - '0');
        if (v > INT_MAX) v = INT_MAX;
    }
    if (i == countStart) return false;
    for (; i < n; ++i)
        if (!IsDistBlank(line[i])) return false;
    count = (int)v;
    return true;
}

// The fields of a distribution file's header line.
struct DistHeader {
    std::string mName;
    int mMerSize = 0;
    int mThinFactor = 0;
    int mThinSlice = 0;
    int mMinCount = 0;
};

// Parses and checks the header line (line 1 of the file).
inline ReadDistResult ParseDistHeader(const std::string& line, DistHeader& header) {
    if (HoldsNul(line)) return ReadDistResult(ReadDistNulByte, 1);
    const std::vector<std::string> fields = DistFields(line);
    if (fields.size() < 5)
        return ReadDistResult(ReadDistBadHeader, 1,
                              "expected a name, k, thinning factor, thinning slice and minimum "
                              "count, separated by blanks or tabs");
    const char* what[4] = {"k", "thinning factor", "thinning slice", "minimum count"};
    int values[4];
    for (int i = 0; i < 4; ++i) {
        const std::string& field = fields[fields.size() - 4 + i];
        if (!DistWholeNumber(field, values[i]))
            return ReadDistResult(ReadDistBadHeader, 1,
                                  std::string(what[i]) + " '" + field + "' is not a whole number");
    }
    if (values[0] < 1 || values[0] > 32)
        return ReadDistResult(ReadDistBadHeader, 1,
                              "k " + fields[fields.size() - 4] + " does not lie between 1 and 32");
    if (values[1] < 1)
        return ReadDistResult(ReadDistBadHeader, 1,
                              "thinning factor " + fields[fields.size() - 3] + " is below 1");
    header.mName = fields[0];
    header.mMerSize = values[0];
    header.mThinFactor = values[1];
    header.mThinSlice = values[2];
    header.mMinCount = values[3];
    return ReadDistResult();
}

// The body lines of a distribution file, gathered before they are stored.
struct DistBody {
    std::vector<Mer> mMers;    // k-mers with a count of at least the minimum
    std::vector<int> mCounts;  // their counts
};

// Reads the body lines that follow the header up to the end of input or a
// line led by a blank or a tab, keeping the k-mers of k letters whose count
// is at least minCount. Every 100,000th body line writes a progress line to
// standard error as it is read, so that a long file shows progress before a
// fault further on. Its size is held (the k-mers the model held before) plus
// the k-mers kept so far: the model's size after that line for a file that
// lists each k-mer once, as every file zarnmerdist writes does.
inline ReadDistResult GatherDistBody(std::istream& in, int k, int minCount, std::size_t held,
                                     DistBody& body) {
    std::string line;
    LineEnd end = LineEnd::Newline;
    long long n = 1;  // body lines read; body line n is line n + 1 of the file
    while (end == LineEnd::Newline) {
        end = ReadTextLine(in, line);
        if (end == LineEnd::None) break;
        if (end == LineEnd::Failed) return ReadDistResult(ReadDistReadFailed, n + 1);
        if (HoldsNul(line)) return ReadDistResult(ReadDistNulByte, n + 1);
        if (!line.empty()) {
            if (IsDistBlank(line[0])) break;  // a line led by a blank or a tab ends the body
            int count = 0;
            if (!DistBodyLine(line, k, count))
                return ReadDistResult(ReadDistBadLine, n + 1,
                                      "expected " + std::to_string(k) +
                                          (k == 1 ? " letter" : " letters") +
                                          " A, C, G or T, one blank or tab, and a count "
                                          "of decimal digits");
            if (count >= minCount) {
                Mer m;
                for (int i = 0; i < k; ++i) m.ShiftInBase(line[i]);
                body.mMers.push_back(m);
                body.mCounts.push_back(count);
            }
        }
        if (n % 100000 == 0)
            std::cerr << "Mers seen:" << n << "\t size=" << held + body.mMers.size() << '\n';
        ++n;
    }
    return ReadDistResult();
}

// The k-mer count model with a name and the limits of an acceptable count.
template <class F>
class MerRepeatModel : public Mer2IntMap<F> {
public:
    std::string mName;
    int mMaxCount;
    int mMinCount;
    int mDistMinCount;  // minimum count recorded in the distribution file's header

    MerRepeatModel() : mName("MerModel"), mMaxCount(1000), mMinCount(2), mDistMinCount(1) {}

    // True for every k-mer when the model is empty and for k-mers it does not
    // hold; otherwise when mMinCount <= count <= mMaxCount.
    bool isAcceptableFrequency(Mer& m) const {
        if (this->mCounts.empty()) return true;
        typename Mer2IntMap<F>::CountMap::const_iterator it = this->mCounts.find(m);
        if (it == this->mCounts.end()) return true;
        return it->second >= mMinCount && it->second <= mMaxCount;
    }

    // Reads a distribution file, plain or gzip-compressed, strictly (any other
    // line is reported, see ReadDistStatus). The header's fields, split at
    // blanks or tabs, give mName (the first) and k, the thinning factor, the
    // thinning slice and mDistMinCount (the last four); k and thinning are set
    // for the whole process. Every body k-mer with a count of at least minCount
    // is stored with that count. Empty body lines are skipped; a line led by a
    // blank or a tab ends the body. One CR before each newline is part of the
    // line end. A progress line for every 100,000 body lines goes to
    // standard error while the body is read (see GatherDistBody).
    ReadDistResult ReadDist(std::istream& in, int minCount);
    ReadDistResult ReadDist(std::string fileName, int minCount);

    // Writes the header and every k-mer with a count of at least minCount, then
    // closes out. Failures show in out's state (fail() after the call).
    void WriteDist(std::ofstream& out, int minCount);
    void WriteDist(std::string fileName, int minCount);

private:
    // Stores the gathered body in a map built at its final size, beside the
    // k-mers already held.
    void StoreDistBody(const DistBody& body);
};

template <class F>
ReadDistResult MerRepeatModel<F>::ReadDist(std::istream& in, int minCount) {
    if (in.fail()) return ReadDistResult(ReadDistReadFailed, 0);  // unusable before any read
    std::string line;
    const LineEnd end = ReadTextLine(in, line);
    if (end == LineEnd::Failed) return ReadDistResult(ReadDistReadFailed, 1);
    if (end == LineEnd::None) return ReadDistResult(ReadDistBadHeader, 1, "the file is empty");
    DistHeader header;
    const ReadDistResult parsed = ParseDistHeader(line, header);
    if (!parsed.ok()) return parsed;

    mName = header.mName;
    mDistMinCount = header.mMinCount;
    Mer::setMerSize(header.mMerSize);
    Mer::mThinFactor = header.mThinFactor;
    Mer::mThinSlice = header.mThinSlice;

    // The body is gathered first and the map built at its final size: a file
    // lists its k-mers in the writer's table order, and inserting them in that
    // order into a table that is still growing piles them into one probe run
    // whose length grows with the file (quadratic time).
    DistBody body;
    if (end == LineEnd::Newline) {
        const ReadDistResult read =
            GatherDistBody(in, Mer::mMerSize, minCount, this->mCounts.size(), body);
        if (!read.ok()) return read;
    }
    StoreDistBody(body);
    return ReadDistResult();
}

template <class F>
void MerRepeatModel<F>::StoreDistBody(const DistBody& body) {
    typename Mer2IntMap<F>::CountMap table(this->mCounts.size() + body.mMers.size());
    for (const auto& e : this->mCounts) table[e.first] = e.second;
    for (std::size_t i = 0; i < body.mMers.size(); ++i) table[body.mMers[i]] = body.mCounts[i];
    this->mCounts = std::move(table);
}

template <class F>
ReadDistResult MerRepeatModel<F>::ReadDist(std::string fileName, int minCount) {
    igzstream in;
    in.open(fileName.c_str(), std::ios::in);
    if (!in.good()) return ReadDistResult(ReadDistOpenFailed, 0);
    ReadDistResult result = ReadDist(in, minCount);
    in.close();
    if (result.ok() && in.bad()) result = ReadDistResult(ReadDistReadFailed, 0);
    return result;
}

template <class F>
void MerRepeatModel<F>::WriteDist(std::ofstream& out, int minCount) {
    std::cout << "WriteDist mName = " << mName << '\n';
    // ReadDist takes the header's first field as the name: white space in the
    // name is written as '_' so that the whole name reads back.
    std::string name = mName;
    for (char& c : name)
        if (std::isspace((unsigned char)c)) c = '_';
    out << name << '\t' << Mer::mMerSize << '\t' << Mer::mThinFactor << '\t' << Mer::mThinSlice
        << '\t' << minCount << '\n';
    // The body is formatted into a large buffer and written in big blocks: one
    // stream call per line would cost more than the counting itself.
    static const char kLetters[4] = {'A', 'C', 'G', 'T'};
    // The letters of every byte of a k-mer value: four bases a lookup.
    static const std::vector<char> kQuads = [] {
        std::vector<char> q(256 * 4);
        for (int b = 0; b < 256; ++b)
            for (int i = 0; i < 4; ++i) q[b * 4 + i] = kLetters[(b >> (2 * (3 - i))) & 3];
        return q;
    }();
    const int k = Mer::mMerSize;
    const int lead = k % 4;                        // letters before the first whole byte
    const std::size_t kLineMax = 32 + 1 + 11 + 1;  // k-mer, tab, an int, newline
    // 1 MiB: one stream call per some 20,000 lines, so the calls cost nothing
    // beside the formatting.
    const std::size_t kBufSize = 1 << 20;
    std::vector<char> buf(kBufSize);
    char* const begin = buf.data();
    char* const limit = begin + kBufSize - kLineMax;
    char* p = begin;
    for (typename Mer2IntMap<F>::CountMap::const_iterator it = this->mCounts.begin();
         it != this->mCounts.end(); ++it) {
        if (it->second < minCount) continue;
        const std::uint64_t v = it->first.mValue;
        for (int i = 0; i < lead; ++i) *p++ = kLetters[(v >> (2 * (k - 1 - i))) & 3];
        for (int shift = 2 * (k - lead) - 8; shift >= 0; shift -= 8, p += 4)
            std::memcpy(p, &kQuads[((v >> shift) & 0xFF) * 4], 4);
        *p++ = '\t';
        p = std::to_chars(p, p + 11, it->second).ptr;
        *p++ = '\n';
        if (p >= limit) {
            if (!out.write(begin, p - begin)) break;
            p = begin;
        }
    }
    if (p != begin && out) out.write(begin, p - begin);
    out.close();
}

template <class F>
void MerRepeatModel<F>::WriteDist(std::string fileName, int minCount) {
    std::ofstream out(fileName.c_str(), std::ios::out | std::ios::trunc);
    WriteDist(out, minCount);
}

#endif
