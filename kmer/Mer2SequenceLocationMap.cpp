#include "kmer/Mer2SequenceLocationMap.h"

#include <limits>

// One getline into readbuf. A piece that fills the buffer leaves the stream
// failed without reaching its end: that is a long line, not an error, so the
// fail bit is cleared and the line continues in the next piece.
bool SourceLineReader::Read() {
  mIn.getline(readbuf, BUFSIZE);
  mLength = static_cast<int>(std::strlen(readbuf));
  mMore = false;
  if (mIn.bad()) return false;
  if (mIn.fail()) {
    if (mIn.eof()) return true;  // nothing left: an empty piece at the end
    if (mIn.gcount() != BUFSIZE - 1) return false;
    mIn.clear();
    mMore = true;
  }
  if (mMore && mLength < BUFSIZE - 1) {
    // A NUL byte ends the line's text: skip the rest of the line.
    mIn.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    if (mIn.bad()) return false;
    mMore = false;
  }
  return true;
}

bool SourceLineReader::ReadLine() {
  mHead.clear();
  return Read();
}

bool SourceLineReader::ReadMore() {
  mHead.append(readbuf, mLength);
  return Read();
}

bool SourceLineReader::LineFrom(size_t from, std::string& text) {
  std::string line;
  line.swap(mHead);
  line.append(readbuf, mLength);
  while (mMore) {
    if (!Read()) return false;
    line.append(readbuf, mLength);
  }
  if (from < line.size()) text.append(line, from, std::string::npos);
  return true;
}
