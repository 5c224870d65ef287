#ifndef KMER_MER2SEQUENCELOCATIONMAP_H
#define KMER_MER2SEQUENCELOCATIONMAP_H

// The source k-mer index: for every selected k-mer of the source file, the
// places (record index, 0-based start) where it occurs. Filled once by its
// own FASTA scanner (Add), then asked for the hits of single k-mers
// (FindMerLocations).
//
// Error reporting of the scanner: both forms of Add return a
// SourceScanStatus.
//   Ok             the stream was read to its end.
//   ReadFailed     the stream failed before its end (it never opened, or a
//                  read error); the scan stopped there. Everything read before
//                  the failure is indexed, and the record being read is
//                  closed with the size counted so far.
//   TooManyRecords the file holds more records than a location can number
//                  (MAXSOURCERECORDS, one less when sequence stands before
//                  the first header, since that text takes the top index).
//                  The scan stopped at the first header that did not fit; the
//                  records before it are indexed and closed, nothing of that
//                  header or after it is.
//   RecordTooLong  a record's scanned length (its size, pos + k) would pass
//                  the largest int, which starts and sizes are kept in. The
//                  scan stopped at the character that did not fit; the
//                  record is closed with the size counted so far.
// In every case mSourceSizes ends with one entry per entry of mSourceNames
// (a single entry, k, when no header was read). The scanner writes no
// message itself; the caller reports the status.
// Lines of any length are read as single lines: a line longer than the
// shared buffer is scanned in pieces with the same result.

#include <climits>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "kmer/Mer.h"
#include "kmer/MerHashMap.h"
#include "kmer/MerRepeatModel.h"
#include "kmer/SearchResult.h"
#include "toolkit/CLibraryAdditions.h"

// Accessor interface of one stored location. No virtual destructor: locations
// live by value in their lists (the destructor is protected for that reason).
class SequenceLocationBase {
public:
  SequenceLocationBase() noexcept {}
  SequenceLocationBase(const SequenceLocationBase&) noexcept {}
  SequenceLocationBase& operator=(const SequenceLocationBase&) noexcept { return *this; }

  virtual long sourceIdx() const = 0;
  virtual long sourceStart() const = 0;
  virtual bool isReverse() const = 0;
  virtual void setSourceIdx(long idx) = 0;
  virtual void setSourceStart(long start) = 0;
  virtual void setIsReverse() = 0;

protected:
  ~SequenceLocationBase() {}
};

// One location in two 32-bit words: the strand flag and the 19-bit record
// index share the first (12 low bits always 0), the signed start is the second.
class BigSequenceLocation final : private SequenceLocationBase {
public:
  static constexpr long MAXSOURCEIDX = (1L << 19) - 1;     // 524,287
  static constexpr long MAXSOURCERECORDS = MAXSOURCEIDX + 1;

  // Packed word, least significant field first (GCC allocates bit-fields
  // from the low end): 12 zero bits, the record index, the strand flag.
  uint32_t mZeroBits : 12;
  uint32_t mSourceIdx : 19;
  uint32_t mIsReverse : 1;
  int32_t mSourceStart;

  BigSequenceLocation() : mZeroBits(0), mSourceIdx(0), mIsReverse(0), mSourceStart(0) {}
  BigSequenceLocation(const BigSequenceLocation& o) noexcept
      : SequenceLocationBase(), mZeroBits(o.mZeroBits), mSourceIdx(o.mSourceIdx),
        mIsReverse(o.mIsReverse), mSourceStart(o.mSourceStart) {}
  BigSequenceLocation& operator=(const BigSequenceLocation& o) noexcept {
    mZeroBits = o.mZeroBits;
    mSourceIdx = o.mSourceIdx;
    mIsReverse = o.mIsReverse;
    mSourceStart = o.mSourceStart;
    return *this;
  }
  ~BigSequenceLocation() {}

  long sourceIdx() const override { return mSourceIdx; }
  long sourceStart() const override { return mSourceStart; }
  bool isReverse() const override { return mIsReverse != 0; }
  // Keeps the low 19 bits: -1 is stored (and read back) as 524,287.
  void setSourceIdx(long idx) override { mSourceIdx = static_cast<uint32_t>(idx) & MAXSOURCEIDX; }
  void setSourceStart(long start) override { mSourceStart = static_cast<int32_t>(start); }
  void setIsReverse() override { mIsReverse = 1; }
};

// The locations of one k-mer, in the order they were stored.
template <class LocT>
class SequenceLocationVecT : public std::vector<LocT> {
public:
  using std::vector<LocT>::vector;
};

enum class SourceScanStatus { Ok, ReadFailed, TooManyRecords, RecordTooLong };

template <class HashF, class LocT, class RepeatHashF>
class Mer2SequenceLocationMap {
public:
  typedef SequenceLocationVecT<LocT> LocationList;
  typedef MerHashMap<LocationList, HashF> LocationMap;

  LocationMap mLocationLists;              // exact k-mer -> its locations (each list in storing order)
  int mMaxLocations;                       // most locations kept for one k-mer
  int mLocationCount;                      // locations appended to an existing list
  std::vector<std::string> mSourceNames;   // header text after '>', by record index
  std::vector<int> mSourceSizes;           // scanned length, by record index

  Mer2SequenceLocationMap() : mLocationLists(100), mMaxLocations(999999), mLocationCount(0) {}

  // Scans the source FASTA stream with an empty repeat model: only thinning
  // selects k-mers.
  SourceScanStatus Add(std::istream& in);
  // Scans the source FASTA stream to its end, storing every k-mer that
  // thinning and the model select.
  SourceScanStatus Add(std::istream& in, MerRepeatModel<RepeatHashF>& model);

  // Stores one location of m unless m is thinned, the model rejects it, or
  // its list already holds mMaxLocations entries.
  void AddMerLocation(Mer& m, int sourceIdx, int start, MerRepeatModel<RepeatHashF>& model);

  // Appends to hits one hit (source name, size, start, start + k - 1) per
  // stored location of exactly m, in storing order. A location whose record
  // has no name (text before the first header) is reported with the "BUG"
  // lines on standard output and skipped.
  void FindMerLocations(Mer& m, SearchResultVec& hits);
  // The hits of one stored list, appended as FindMerLocations appends those
  // of the list it finds.
  void AppendHits(const LocationList& list, SearchResultVec& hits);
};

// Reads the lines of the source file into readbuf, a piece of at most
// 299,999 characters at a time. A line's text ends at its first NUL byte;
// the rest of such a line is skipped.
class SourceLineReader {
public:
  static const int BUFSIZE = 300000;

  explicit SourceLineReader(std::istream& in) : mIn(in), mLength(0), mMore(false) {}

  // Reads the first piece of the next line. False: the stream failed before
  // its end. At the end of input the piece is empty.
  bool ReadLine();
  // Reads the next piece of the current line (when Continues()).
  bool ReadMore();
  // Appends to text the current line from its character `from` on: the
  // earlier pieces, this one and all further ones, which it reads. False on a
  // failed read.
  bool LineFrom(size_t from, std::string& text);

  int Length() const { return mLength; }      // characters of this piece
  bool Continues() const { return mMore; }    // the line goes on in another piece
  bool AtEnd() const { return mIn.eof(); }

private:
  bool Read();

  std::istream& mIn;
  int mLength;
  bool mMore;
  std::string mHead;  // earlier pieces of the current line
};

template <class HashF, class LocT, class RepeatHashF>
SourceScanStatus Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::Add(std::istream& in) {
  MerRepeatModel<RepeatHashF> model;
  return Add(in, model);
}

template <class HashF, class LocT, class RepeatHashF>
SourceScanStatus Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::Add(
    std::istream& in, MerRepeatModel<RepeatHashF>& model) {
  const int k = Mer::mMerSize;
  const int maxPos = INT_MAX - k;  // pos + k, the record's size, must fit an int
  long maxRecords = LocT::MAXSOURCERECORDS;
  SourceLineReader reader(in);
  SourceScanStatus status = SourceScanStatus::Ok;
  Mer m;
  int pos = 0;
  int r = -1;
  int col = 0;

  if (!reader.ReadLine()) {
    status = SourceScanStatus::ReadFailed;
  } else {
    for (;;) {
      const char c = readbuf[col++];
      const unsigned char code = gMerCodes.mCode[(unsigned char)c];
      if (code < 4 || c == 'N' || c == 'n' || c == 'X' || c == 'x') {
        if (pos == maxPos) {
          status = SourceScanStatus::RecordTooLong;
          break;
        }
        ++pos;
        if (code < 4) {
          m.ShiftInBits(static_cast<char>(code));
          AddMerLocation(m, r, pos, model);
        }
        // an N or X only advances pos: the k-mer keeps its bases and spans it
        continue;
      }
      if (c == '\0') {
        if (reader.Continues()) {
          if (!reader.ReadMore()) {
            status = SourceScanStatus::ReadFailed;
            break;
          }
        } else {
          if (reader.AtEnd()) break;
          if (!reader.ReadLine()) {
            status = SourceScanStatus::ReadFailed;
            break;
          }
        }
        col = 0;
        continue;
      }
      if (c != '>') continue;  // blanks, digits, other letters: skipped

      // A header: its name is the whole line from its second character.
      std::string name;
      if (!reader.LineFrom(1, name)) {
        status = SourceScanStatus::ReadFailed;
        break;
      }
      // Text before the first header is stored under the top index, which
      // then cannot serve a record as well.
      if (r == -1 && pos > 0) maxRecords = LocT::MAXSOURCERECORDS - 1;
      if (r + 1L >= maxRecords) {
        status = SourceScanStatus::TooManyRecords;
        break;
      }
      mSourceNames.push_back(name);
      if (r != -1) mSourceSizes.push_back(pos + k);
      ++r;
      pos = 0;

      // The first k characters of the record's first line give the k-mer at
      // position 0 whatever they are; a shorter line gives it from its own
      // characters only.
      if (!reader.ReadLine()) {
        status = SourceScanStatus::ReadFailed;
        break;
      }
      // A header right after a header: this record has no sequence, and the
      // line starts the next record (not read as this one's bases).
      if (readbuf[0] == '>') {
        col = 0;
        continue;
      }
      if (reader.Length() >= k) {
        m.set(readbuf);
        col = k;
      } else {
        m = Mer();
        for (col = 0; col < reader.Length(); ++col) m.ShiftInBase(readbuf[col]);
      }
      AddMerLocation(m, r, 0, model);
    }
  }
  mSourceSizes.push_back(pos + k);
  return status;
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::AddMerLocation(
    Mer& m, int sourceIdx, int start, MerRepeatModel<RepeatHashF>& model) {
  if (m.isThinned()) return;
  if (!model.isAcceptableFrequency(m)) return;
  LocT loc;
  loc.setSourceIdx(sourceIdx);
  loc.setSourceStart(start);
  auto slot = mLocationLists.try_emplace(m);
  LocationList& list = slot.first->second;
  if (slot.second) {
    list.push_back(loc);
  } else if (static_cast<long long>(list.size()) < mMaxLocations) {
    list.push_back(loc);
    mLocationCount = static_cast<int>(static_cast<unsigned>(mLocationCount) + 1u);
  }
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::FindMerLocations(Mer& m, SearchResultVec& hits) {
  auto found = mLocationLists.find(m);
  if (found == mLocationLists.end()) return;
  AppendHits(found->second, hits);
}

template <class HashF, class LocT, class RepeatHashF>
void Mer2SequenceLocationMap<HashF, LocT, RepeatHashF>::AppendHits(const LocationList& list,
                                                                   SearchResultVec& hits) {
  const long k = Mer::mMerSize;
  for (const LocT& loc : list) {
    const long start = loc.sourceStart();
    const unsigned long i = static_cast<unsigned long>(loc.sourceIdx());
    if (i >= mSourceNames.size()) {
      std::cout << "BUG mSourceNames.size=" << mSourceNames.size() << std::endl;
      for (const std::string& name : mSourceNames) std::cout << name << std::endl;
      std::cout << "BUG M.sourceIdx()=" << i << std::endl;
      continue;  // no record to name the hit after
    }
    hits.add(mSourceNames[i], mSourceSizes[i], start, start + k - 1);
  }
}

#endif
