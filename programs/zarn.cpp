// zarn: k-mer comparison of a source FASTA file against a query file,
// writing the chains of shared k-mers along diagonals to a chain file.
//
// Exit status: 0 after a run, 1 on a bad command line or an unusable -s / -F
// value, 2 when a file cannot be opened, created, read or written, when
// memory runs out or an internal limit is passed. Errors and the reading of numeric option
// values follow the rules of toolkit/ProgramError.h, shared with zarnmerdist.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "kmer/Mer.h"
#include "kmer/ZarnEngine.h"
#include "toolkit/CLibraryAdditions.h"
#include "toolkit/GetOption.h"
#include "toolkit/InputFile.h"
#include "toolkit/MiscUtils.h"
#include "toolkit/ParseUtils.h"
#include "toolkit/ProgramError.h"
#include "toolkit/gzstream.h"

int OptMinScore = 500;
int OptMerSize = 32;
int OptThinnedFactor = 1;
int OptThinnedSlice = 1;
int OptMaxKMerCount = 100;
// -W and -L are parsed and kept but never used: the chain window is fixed
// (100 by 500). Kept on purpose, so that command lines that give them still run.
int OptWinWidth = 10;
int OptWinLength = 100;
int OptDebug = 0;
int OptPerformAlignments = 0;

std::string gZarnHelpString =
    "\n"
    "\n"
    "\n"
    "  zarn  {options} sourceFile queryFile OutputFile\n"
    "\n"
    "    Options:  \n"
    "\n"
    "    -M MinScore          [500]          Minimum score to report a chain.\n"
    "    -s SampleSize        [32]           Sample size to use.  1-32.  8-32 practical. [32]\n"
    "\n"
    "    -F Thinning factor f                Only mers which satisfy  ((Mer /% f) == t) are used.\n"
    "    -T Thinning slice  t                Only mers which satisfy  ((Mer /% f) == t) are used.\n"
    "\n"
    "    -K K-mer distribution               File listing k-mer distribution. Overrides -s, -F,  "
    "and -T options \n"
    "                                        which are obtained from the kmner file.\n"
    "    -k K-mer cutoff                     K-mers with counts > K-mer cutoff are ignored. \n"
    "\n"
    "    -W WindowWidth       [10]           A band +/- WindowWidth will be considered for "
    "chaining. \n"
    "    -L WindowLength      [100]          Length of band to consider for chaining. \n"
    "\n"
    "\n"
    "    Performs a k-mer comparison of the source and query files, joining hits together along "
    "diagonals \n"
    "    in order to prodce chains in.  The density of source and query samples can be varied to "
    "reduce RAM \n"
    "    footprint or running time respectively (with associated loss of sensitivity). \n"
    "\n"
    "    The k-mers may be thinned so that only a subset of the k-mer space is examined.  That is, "
    "the \n"
    "    k-mer space itself may be reduced.\n"
    "\n"
    "    1.2alpha         First fully working version with the k-mer encoding. \n"
    "    1.21alpha        Added Mer::ShiftInClean which gives 50% speed up on read processing. \n"
    "    1.24b            Added +/- field for fwd/reverse and made source coordinates reverse on "
    "reverse hit. \n"
    "    1.26             Fixed several bugs in mer encoding. ";

std::string gAllOptions = "";
std::string OptSourceName = "";
std::string OptQueryName = "";
std::string OptOutName = "";
std::string OptKMerFile = "";
// The -s and -F values as given, for the messages that refuse them: the int
// held for a value beyond the int range is not what the user typed.
std::string OptMerSizeText = "32";
std::string OptThinnedFactorText = "1";

// The "hi" line after the echoed command line: kept on purpose, since scripts
// that read standard output may count on it.
void myFn() { std::cout << "hi" << std::endl; }

void PrintHelp() { std::cout << gZarnHelpString << std::endl; }

std::string GetCurrentVersion() {
    std::string::size_type p = gZarnHelpString.find("Current Version:", 0);
    if (p != std::string::npos) p = gZarnHelpString.find(":", p);
    // npos + 1 wraps to 0: without the marker the first word of the help is taken.
    int pos = static_cast<int>(p + 1);
    return SplitNext(gZarnHelpString, pos);
}

void SetupOptions(int argc, char** argv) {
    gAllOptions = "";
    for (int i = 0; i < argc; i++) {
        std::cout << argv[i] << " ";
        gAllOptions += argv[i];
        gAllOptions += "\t";
    }
    std::cout << std::endl;
    myFn();

    GetOption opts(argc, argv, "DAM:s:F:T:K:k:W:L:");
    char c;
    while ((c = opts.NextOption()) != '0') {
        switch (c) {
            case 'M':
                OptMinScore = opts.GetIntArg();
                break;
            case 's':
                OptMerSizeText = opts.GetStringArg();
                OptMerSize = atoi(OptMerSizeText);
                break;
            case 'F':
                OptThinnedFactorText = opts.GetStringArg();
                OptThinnedFactor = atoi(OptThinnedFactorText);
                break;
            case 'T':
                OptThinnedSlice = opts.GetIntArg();
                break;
            case 'k':
                OptMaxKMerCount = opts.GetIntArg();
                break;
            case 'W':
                OptWinWidth = opts.GetIntArg();
                break;
            case 'L':
                OptWinLength = opts.GetIntArg();
                break;
            case 'K':
                OptKMerFile = opts.GetStringArg();
                break;
            case 'D':
                OptDebug = 1;
                break;
            case 'A':
                OptPerformAlignments = 1;
                break;
            default:
                PrintHelp();
                exit(1);
        }
    }
    OptSourceName = opts.GetFreeArg();
    OptQueryName = opts.GetFreeArg();
    OptOutName = opts.GetFreeArg();
    // A fourth name is a mistake (two queries, say), and taking the third as
    // the output would empty a file the user meant as input.
    if (OptSourceName.empty() || OptQueryName.empty() || OptOutName.empty() || opts.ArgsLeft()) {
        PrintHelp();
        exit(1);
    }
}

int main(int argc, char** argv) {
    SetProgramName("zarn");
    std::cout << "ZARN" << std::endl;
    SetupOptions(argc, argv);

    ZarnEngine engine;
    engine.mTabbedOutput = 1;
    engine.mMinScore = OptMinScore;
    engine.mDebug = OptDebug;
    engine.mPerformAlignments = OptPerformAlignments;

    if (!OptKMerFile.empty()) {
        std::cout << "Reading repeat model " << OptKMerFile << " ..." << std::flush;
        const bool modelRead = RunPhase("reading the repeat model", OptKMerFile, [&] {
            return engine.SetupRepeatModel(OptKMerFile, OptMaxKMerCount);
        });
        if (!modelRead) {
            std::cout << std::endl;
            Fail(OptKMerFile + ": " + engine.mError, 2);
        }
        std::cout << "done." << std::endl;
        std::cout << "MerSize: " << Mer::mMerSize << "\tThinFactor: " << Mer::mThinFactor
                  << "\tThinSlice: " << Mer::mThinSlice << std::endl;
    } else {
        // These values would make the k-mer code meaningless: stop before any k-mer is built.
        if (OptMerSize < 1 || OptMerSize > 32)
            Fail("-s " + OptMerSizeText + ": the k-mer length must lie between 1 and 32", 1);
        if (OptThinnedFactor < 1)
            Fail("-F " + OptThinnedFactorText + ": the thinning factor must be at least 1", 1);
        Mer::setMerSize(OptMerSize);
        Mer::mThinFactor = OptThinnedFactor;
        Mer::mThinSlice = OptThinnedSlice;
        std::cout << "Size,Factor,Slice= " << OptMerSize << "," << OptThinnedFactor << ","
                  << OptThinnedSlice << std::endl;
    }

    // The query and the output name are checked before the source is indexed,
    // which may take long, and before the output file is touched, so a bad
    // query never creates or empties the output file.
    igzstream query;
    std::string reason;
    if (!OpenInputFile(query, OptQueryName, reason)) Fail(OptQueryName + ": " + reason, 2);
    // Truncating the output file must never destroy an input.
    if (SameFile(OptOutName, OptSourceName) || SameFile(OptOutName, OptQueryName) ||
        (!OptKMerFile.empty() && SameFile(OptOutName, OptKMerFile)))
        Fail(OptOutName + ": the output file is also an input file", 2);
    // An output that cannot be created is refused here too, before the
    // indexing; the check creates nothing and leaves an existing file as it is.
    int createError = 0;
    if (OutputCannotBeCreated(OptOutName, createError))
        Fail(OptOutName + ": cannot create: " + std::strerror(createError), 2);

    long t;
    StartTiming(t);
    std::cout << "Adding " << OptSourceName << " to hash..." << std::endl;
    const bool indexed =
        RunPhase("indexing", OptSourceName, [&] { return engine.AddSource(OptSourceName); });
    if (!indexed) Fail(OptSourceName + ": " + engine.mError, 2);
    std::cout << EndTiming(t) << " seconds. Hash size="
              << static_cast<unsigned long>(engine.mMerLocations.mLocationLists.size())
              << std::endl;

    if (engine.mPerformAlignments)
        std::cout << "Alignments not yet implemented (but almost there...)" << std::endl;

    std::ofstream out(OptOutName.c_str(), std::ios::out | std::ios::trunc);
    if (!out) Fail(OptOutName + ": cannot create: " + std::strerror(errno), 2);

    out << gAllOptions << "\tVersion: " << GetCurrentVersion() << std::endl;

    StartTiming(t);
    std::cout << "Comparing query " << OptQueryName << "..." << std::flush;
    // On a failure the chain lines written so far stay in the file.
    const bool compared = RunPhase(
        "comparing", OptQueryName, [&] { return engine.Compare(query, out); },
        [&] { out.close(); });
    if (!compared) {
        const bool writeFailed = out.fail();
        out.close();
        std::cout << std::endl;
        if (writeFailed) Fail(OptOutName + ": write error", 2);
        Fail(OptQueryName + ": " + engine.mError, 2);
    }
    std::cout << "done." << std::endl;
    std::cout << EndTiming(t) << " seconds." << std::endl;

    query.close();
    out.close();
    if (out.fail()) Fail(OptOutName + ": write error", 2);
    exit(0);
}
