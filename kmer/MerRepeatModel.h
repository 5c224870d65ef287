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
#include "toolkit/CLibraryAdditions.h"
#include "toolkit/ParseUtils.h"
#include "toolkit/gzstream.h"

// Outcome of reading a k-mer distribution file (MerRepeatModel::ReadDist).
enum ReadDistStatus {
  ReadDistOK = 0,      // read to the end of input, or to a body line that begins
                       // with a blank or a tab (which ends the body)
  ReadDistOpenFailed,  // the file could not be opened (file-name form only)
  ReadDistReadFailed,  // the input failed before its end: a read error, damaged or
                       // truncated gzip data, a stream already failed when given
  ReadDistBadHeader,   // no header line, a missing field, k outside 1 to 32 or a
                       // thinning factor below 1; nothing was changed, the k-mer
                       // length and thinning of the process included
  ReadDistBadLine      // a non-empty body line without a blank or a tab, or a line
                       // longer than 299,999 characters
};

// What ReadDist reports: the status, and the 1-based line of the file where the
// reading stopped on a fault (the header is line 1; 0 when no line applies).
// On any status but ReadDistOK the caller must not use the model: it may hold
// part of the file, and after a bad body line the header's k and thinning are
// already in force.
struct ReadDistResult {
  ReadDistStatus mStatus;
  int mLine;

  ReadDistResult(ReadDistStatus status = ReadDistOK, int line = 0)
      : mStatus(status), mLine(line) {}
  bool ok() const { return mStatus == ReadDistOK; }
  // A short description for the user, led by "line N: " when a line applies.
  std::string Message() const;
};

inline std::string ReadDistResult::Message() const {
  std::string where = mLine > 0 ? "line " + std::to_string(mLine) + ": " : std::string();
  switch (mStatus) {
    case ReadDistOK:
      return "ok";
    case ReadDistOpenFailed:
      return "cannot open file";
    case ReadDistReadFailed:
      return where + "read error (damaged or truncated input)";
    case ReadDistBadHeader:
      return where +
             "bad header: expected name, k (1 to 32), thinning factor (at least 1), "
             "thinning slice and minimum count";
    case ReadDistBadLine:
      return where + "malformed line (no blank or tab, or longer than 299999 characters)";
  }
  return "unknown status";
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

  // Reads a distribution file, plain or gzip-compressed: the header sets mName,
  // mDistMinCount and the process-wide k and thinning; every body k-mer with a
  // count of at least minCount is stored with that count. Progress goes to
  // standard error every 100,000 body lines. Empty body lines are skipped.
  ReadDistResult ReadDist(std::istream& in, int minCount);
  ReadDistResult ReadDist(std::string fileName, int minCount);

  // Writes the header and every k-mer with a count of at least minCount, then
  // closes out. Failures show in out's state (fail() after the call).
  void WriteDist(std::ofstream& out, int minCount);
  void WriteDist(std::string fileName, int minCount);
};

template <class F>
ReadDistResult MerRepeatModel<F>::ReadDist(std::istream& in, int minCount) {
  const std::streamsize kLimit = (std::streamsize)sizeof(readbuf);
  if (in.fail()) return ReadDistResult(ReadDistReadFailed, 0);  // unusable before any read
  std::string header;
  if (!GetLine(in, header)) {
    if (in.bad()) return ReadDistResult(ReadDistReadFailed, 1);
    return ReadDistResult(ReadDistBadHeader, 1);  // empty input or an overlong header
  }
  int pos = 0;
  std::string name = SplitNext(header, pos);
  int fields[4];
  for (int i = 0; i < 4; ++i) {
    if (pos < 0) return ReadDistResult(ReadDistBadHeader, 1);
    fields[i] = NextInt(header, pos);
    if (pos < 0) return ReadDistResult(ReadDistBadHeader, 1);
  }
  if (name.empty() || fields[0] < 1 || fields[0] > 32 || fields[1] < 1)
    return ReadDistResult(ReadDistBadHeader, 1);

  mName = name;
  mDistMinCount = fields[3];
  Mer::setMerSize(fields[0]);
  Mer::mThinFactor = fields[1];
  Mer::mThinSlice = fields[2];
  const int k = Mer::mMerSize;

  int n = 1;  // body lines read; body line n is line n + 1 of the file
  while (!in.eof()) {
    in.getline(readbuf, kLimit);
    if (in.bad()) return ReadDistResult(ReadDistReadFailed, n + 1);
    if (in.fail()) {
      if (in.gcount() == 0 && in.eof()) break;  // end of input, no further line
      return ReadDistResult(ReadDistBadLine, n + 1);  // longer than the buffer
    }
    const std::size_t len = std::strlen(readbuf);
    if (len > 0) {
      const char* sep = std::strpbrk(readbuf, " \t");
      if (sep == nullptr) return ReadDistResult(ReadDistBadLine, n + 1);
      if (sep == readbuf) break;  // a line led by a blank or a tab ends the body
      const int count = AtoiClamped(sep + 1);
      if (count >= minCount) {
        // The k-mer is the line's first k characters; a shorter line gives only
        // what it holds, never bytes left in the buffer by an earlier line.
        Mer m;
        const std::size_t take = len < (std::size_t)k ? len : (std::size_t)k;
        for (std::size_t i = 0; i < take; ++i) m.ShiftInBase(readbuf[i]);
        this->mCounts[m] = count;
      }
    }
    if (n % 100000 == 0)
      std::cerr << "Mers seen:" << n << "\t size=" << this->mCounts.size() << '\n';
    ++n;
  }
  if (in.bad()) return ReadDistResult(ReadDistReadFailed, n + 1);
  return ReadDistResult();
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
  // ReadDist takes the name up to its first white space and the numbers from
  // the digit runs after it: a name such as "run 3/out.dist" would read back
  // with k = 3, so white space in the name is written as '_'.
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
  const int lead = k % 4;  // letters before the first whole byte
  const std::size_t kLineMax = 32 + 1 + 11 + 1;  // k-mer, tab, an int, newline
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
