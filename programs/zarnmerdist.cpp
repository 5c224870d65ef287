// zarnmerdist: counts the canonical k-mers of FASTA files (plain or gzip) and
// writes the k-mers seen at least minCount times to a distribution file.
//
// Exit status: 0 after a complete run, 1 on a bad command line, 2 when an input
// file cannot be read, the output file cannot be written, or memory runs out;
// on status 2 no distribution file is left behind.

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <new>
#include <string>

#include "kmer/Mer.h"
#include "kmer/MerRepeatModel.h"
#include "toolkit/MiscUtils.h"
#include "toolkit/gzstream.h"

static void Fail(int status, const std::string& message) {
  std::cout.flush();
  std::cerr << "zarnmerdist: " << message << std::endl;
  exit(status);
}

// A numeric argument as atoi reads it (text without digits is 0); a value
// beyond int's range is a bad command line rather than an undefined number.
static int NumericArgument(const char* name, const char* text) {
  errno = 0;
  const long v = strtol(text, nullptr, 10);
  if (errno == ERANGE || v > INT_MAX || v < INT_MIN)
    Fail(1, std::string(name) + " is out of range, got '" + text + "'");
  return (int)v;
}

// Memory ran out while doing task on the file name: one line on standard
// error, exit status 2. Builds no string of its own, as memory is short.
static void OutOfMemory(const char* task, const std::string& name) {
  std::cout << std::endl;
  std::cerr << "zarnmerdist: out of memory while " << task << " " << name << std::endl;
  exit(2);
}

// Removes a cut-short output file; only a regular file, never a device or
// other special file or a link that the output name may stand for.
static void RemoveIfRegular(const std::string& name) {
  struct stat st;
  if (lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(name.c_str());
}

int main(int argc, char** argv) {
  if (argc < 7) {
    std::cout << "\n zarnmerdist merlen thinfactor thinslice minCount outFile file1 [file2 file3 ...]\n";
    std::cout.flush();
    exit(1);
  }
  const int merlen = NumericArgument("merlen", argv[1]);
  const int thinfactor = NumericArgument("thinfactor", argv[2]);
  const int thinslice = NumericArgument("thinslice", argv[3]);
  const int minCount = NumericArgument("minCount", argv[4]);
  const std::string outFile = argv[5];
  if (merlen < 1 || merlen > 32)
    Fail(1, std::string("merlen must be between 1 and 32, got '") + argv[1] + "'");
  if (thinfactor < 1)
    Fail(1, std::string("thinfactor must be at least 1, got '") + argv[2] + "'");

  // Writing the distribution over an input would destroy it: refuse before any work.
  for (int i = 6; i < argc; ++i)
    if (SameFile(outFile, argv[i]))
      Fail(2, "output file '" + outFile + "' is also the input file '" + argv[i] + "'");

  Mer::setMerSize(merlen);
  Mer::mThinFactor = thinfactor;
  Mer::mThinSlice = thinslice;

  MerRepeatModel<MerSymmetricHashF> model;

  for (int i = 6; i < argc; ++i) {
    const std::string name = argv[i];
    igzstream in;
    std::cout << "Add " << name << '\n';
    in.open(name.c_str(), std::ios::in);
    if (!in.good()) Fail(2, "cannot open input file '" + name + "'");
    try {
      model.Add(in);
    } catch (const std::bad_alloc&) {
      // The output file is not opened yet: nothing to remove.
      OutOfMemory("counting", name);
    }
    // A clean end of input has eof set and bad clear (see gzstream.h).
    const bool readFailed = in.bad() || !in.eof();
    in.close();
    if (readFailed || in.bad())
      Fail(2, "read error in input file '" + name + "' (damaged or truncated?); no output written");
  }

  model.mDistMinCount = minCount;
  model.mName = outFile;
  std::cout << "Writing distribution..";
  std::cout.flush();
  // Opened only now, so a failed input leaves an existing output file untouched.
  std::ofstream out(outFile.c_str(), std::ios::out | std::ios::trunc);
  if (!out.is_open()) {
    std::cout << '\n';
    Fail(2, "cannot create output file '" + outFile + "'");
  }
  // A cut-short distribution file would read as a valid one: it is removed
  // after any failure.
  try {
    model.WriteDist(out, minCount);
  } catch (const std::bad_alloc&) {
    out.close();
    RemoveIfRegular(outFile);
    OutOfMemory("writing", outFile);
  }
  if (out.fail()) {
    RemoveIfRegular(outFile);
    std::cout << '\n';
    Fail(2, "write error in output file '" + outFile + "'");
  }
  std::cout << "done." << std::endl;
  exit(0);
}
