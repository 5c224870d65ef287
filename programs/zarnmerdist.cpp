// zarnmerdist: counts the canonical k-mers of FASTA files (plain or gzip) and
// writes the k-mers seen at least minCount times to a distribution file.
//
// Exit status: 0 after a complete run, 1 on a bad command line, 2 when an input
// file cannot be read, the output file cannot be written, or memory runs out;
// on status 2 no distribution file is left behind. Errors and the reading of
// the numeric arguments follow the rules of toolkit/ProgramError.h, shared
// with zarn.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "kmer/Mer.h"
#include "kmer/MerRepeatModel.h"
#include "toolkit/CLibraryAdditions.h"
#include "toolkit/InputFile.h"
#include "toolkit/MiscUtils.h"
#include "toolkit/ProgramError.h"
#include "toolkit/gzstream.h"

// Removes a cut-short output file; only a regular file, never a device or
// other special file or a link that the output name may stand for.
static void RemoveIfRegular(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(name.c_str());
}

int main(int argc, char** argv) {
    SetProgramName("zarnmerdist");
    if (argc < 7) {
        std::cout << "\n zarnmerdist merlen thinfactor thinslice minCount outFile file1 [file2 "
                     "file3 ...]\n";
        std::cout.flush();
        exit(1);
    }
    const int merlen = AtoiClamped(argv[1]);
    const int thinfactor = AtoiClamped(argv[2]);
    const int thinslice = AtoiClamped(argv[3]);
    const int minCount = AtoiClamped(argv[4]);
    const std::string outFile = argv[5];
    if (merlen < 1 || merlen > 32)
        Fail(std::string("merlen ") + argv[1] + ": the k-mer length must lie between 1 and 32", 1);
    if (thinfactor < 1)
        Fail(std::string("thinfactor ") + argv[2] + ": the thinning factor must be at least 1", 1);

    // Writing the distribution over an input would destroy it: refuse before any work.
    for (int i = 6; i < argc; ++i)
        if (SameFile(outFile, argv[i]))
            Fail(outFile + ": the output file is also an input file", 2);
    // An output that cannot be created is refused before the counting, which
    // may take long; the check creates nothing and leaves an existing file
    // as it is. The open after the counting still reports what it missed.
    int createError = 0;
    if (OutputCannotBeCreated(outFile, createError))
        Fail(outFile + ": cannot create: " + std::strerror(createError), 2);

    Mer::setMerSize(merlen);
    Mer::mThinFactor = thinfactor;
    Mer::mThinSlice = thinslice;

    MerRepeatModel<MerSymmetricHashF> model;

    for (int i = 6; i < argc; ++i) {
        const std::string name = argv[i];
        igzstream in;
        std::cout << "Add " << name << '\n';
        std::string reason;
        if (!OpenInputFile(in, name, reason)) Fail(name + ": " + reason, 2);
        // The output file is not opened yet: nothing to remove.
        RunPhase("counting", name, [&] { model.Add(in); });
        // A clean end of input has eof set and bad clear (see gzstream.h).
        const bool readFailed = in.bad() || !in.eof();
        in.close();
        if (readFailed || in.bad())
            Fail(name + ": read error (damaged or truncated input); no output written", 2);
    }

    model.mDistMinCount = minCount;
    model.mName = outFile;
    std::cout << "Writing distribution..";
    std::cout.flush();
    // Opened only now, so a failed input leaves an existing output file untouched.
    std::ofstream out(outFile.c_str(), std::ios::out | std::ios::trunc);
    if (!out.is_open()) {
        std::cout << '\n';
        Fail(outFile + ": cannot create: " + std::strerror(errno), 2);
    }
    // A cut-short distribution file would read as a valid one: it is removed
    // after any failure.
    RunPhase(
        "writing", outFile, [&] { model.WriteDist(out, minCount); },
        [&] {
            out.close();
            RemoveIfRegular(outFile);
        });
    if (out.fail()) {
        RemoveIfRegular(outFile);
        std::cout << '\n';
        Fail(outFile + ": write error", 2);
    }
    std::cout << "done." << std::endl;
    exit(0);
}
