// Benchmark of the source k-mer index and the hit chainer.
//
//   bench_index_chain [source.fa [query.fa]] [-k K]
//
// Without arguments a 4 Mb source of four random records is generated. The
// queries are the records of query.fa or, without it, 2,000 reads of 1,000
// bases sampled from the source with 1% substitutions, every other one
// reverse-complemented. Prints the time of each stage, the cost per k-mer and
// the bytes per stored k-mer and per hit; asserts nothing.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kmer/HitChainer.h"
#include "kmer/Mer.h"
#include "kmer/Mer2SequenceLocationMap.h"
#include "kmer/SearchResult.h"
#include "kmer/ZarnEngine.h"
#include "toolkit/FASTAFile.h"
#include "toolkit/Sequence.h"

namespace {

typedef Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF> Index;
typedef std::chrono::steady_clock Clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

SequenceVector ReadFasta(const std::string& path) {
    SequenceVector records;
    FASTAFile reader;
    if (!reader.Read(path, records)) {
        std::cerr << path << ": cannot read" << std::endl;
        std::exit(1);
    }
    return records;
}

std::string Generated(std::mt19937& rng, int records, int length) {
    const char* acgt = "ACGT";
    std::string text;
    for (int r = 0; r < records; ++r) {
        text += ">gen" + std::to_string(r) + " generated\n";
        std::string seq(length, 'A');
        for (char& c : seq) c = acgt[rng() & 3];
        // A few repeats, so that some k-mers have many locations.
        for (int i = 0; i < 200; ++i) {
            size_t from = rng() % (length - 5000), to = rng() % (length - 5000);
            seq.replace(to, 3000, seq, from, 3000);
        }
        for (int i = 0; i < length; i += 60) text += seq.substr(i, 60) + "\n";
    }
    return text;
}

std::string ReverseComplement(const std::string& s) {
    std::string out(s.rbegin(), s.rend());
    for (char& c : out) c = c == 'A' ? 'T' : c == 'C' ? 'G' : c == 'G' ? 'C' : c == 'T' ? 'A' : c;
    return out;
}

// Resident memory of this process (0 where /proc is missing).
long ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

}  // namespace

int main(int argc, char** argv) {
    int k = 20;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "-k" && i + 1 < argc)
            k = std::atoi(argv[++i]);
        else
            files.push_back(a);
    }
    Mer::setMerSize(k);
    Mer::mThinFactor = 1;
    Mer::mThinSlice = 0;
    std::mt19937 rng(2024);

    std::string sourceText;
    if (files.empty()) {
        sourceText = Generated(rng, 4, 1000000);
    } else {
        std::ifstream in(files[0], std::ios::binary);
        if (!in) {
            std::cerr << files[0] << ": cannot open" << std::endl;
            return 1;
        }
        std::stringstream buf;
        buf << in.rdbuf();
        sourceText = buf.str();
    }

    // Indexing, into the engine's own index, so that the lookups below run
    // through the engine's query walk.
    ZarnEngine engine;
    Index& index = engine.mMerLocations;
    const long rssBefore = ResidentBytes();
    Clock::time_point t = Clock::now();
    std::istringstream sourceIn(sourceText);
    SourceScanStatus status = index.Add(sourceIn);
    const double indexTime = Seconds(t);
    const long indexBytes = ResidentBytes() - rssBefore;
    long long locations = 0, basesIndexed = 0;
    for (const auto& entry : index.mLocationLists) locations += entry.second.size();
    for (int size : index.mSourceSizes) basesIndexed += size;
    std::printf("source: %zu records, %lld bases, k=%d, status %d\n", index.mSourceNames.size(),
                basesIndexed, k, static_cast<int>(status));
    std::printf(
        "index:  %.3f s, %zu distinct k-mers, %lld locations (%.1f Mb/s, %.0f ns and %.0f bytes a "
        "k-mer)\n",
        indexTime, index.mLocationLists.size(), locations, basesIndexed / 1e6 / indexTime,
        indexTime * 1e9 / locations, static_cast<double>(indexBytes) / index.mLocationLists.size());

    // Queries.
    SequenceVector queries;
    if (files.size() > 1) {
        queries = ReadFasta(files[1]);
    } else {
        std::string plain;
        if (!files.empty()) {
            for (const Sequence& r : ReadFasta(files[0]))
                plain.append(r.mBases.begin(), r.mBases.end());
        } else {
            std::istringstream again(sourceText);
            std::string line;
            while (std::getline(again, line))
                if (!line.empty() && line[0] != '>') plain += line;
        }
        if (plain.size() <= 1000) {
            std::cerr << "the source is too short to sample reads of 1,000 bases from" << std::endl;
            return 1;
        }
        const char* acgt = "ACGT";
        for (int i = 0; i < 2000; ++i) {
            std::string read = plain.substr(rng() % (plain.size() - 1000), 1000);
            for (char& c : read)
                if (rng() % 100 == 0) c = acgt[rng() & 3];
            if (i & 1) read = ReverseComplement(read);
            queries.emplace_back();
            queries.back().mName = "read" + std::to_string(i);
            queries.back().mBases.assign(read.begin(), read.end());
        }
    }

    double lookupTime = 0, chainTime = 0, writeTime = 0;
    long long hitCount = 0, chainCount = 0, queryBases = 0;
    HitChainer writer;
    writer.mMinScore = 100;
    std::ostringstream out;
    for (Sequence& q : queries) {
        const int n = static_cast<int>(q.mBases.size());
        queryBases += n;
        SearchResultVec fwd, rev;
        t = Clock::now();
        engine.GetHits(q, fwd, rev);
        lookupTime += Seconds(t);
        hitCount += fwd.size() + rev.size();

        t = Clock::now();
        std::vector<Chain> fwdChains, revChains;
        HitChainer chainer;
        chainer.ComputeChains(fwd, fwdChains);
        chainer.ComputeChains(rev, revChains);
        chainTime += Seconds(t);
        chainCount += fwdChains.size() + revChains.size();

        t = Clock::now();
        writer.WriteTabbed(out, q, fwdChains, false);
        writer.WriteTabbed(out, q, revChains, true);
        writeTime += Seconds(t);
    }
    long long lines = 0;
    for (char c : out.str()) lines += c == '\n';
    std::printf("query:  %zu records, %lld bases\n", queries.size(), queryBases);
    std::printf("lookup: %.3f s, %lld hits (%.2f M k-mers/s, %.0f ns a query k-mer)\n", lookupTime,
                hitCount, queryBases / 1e6 / lookupTime, lookupTime * 1e9 / queryBases);
    std::printf("hit:    %zu bytes, plus a heap block for each name of more than 15 characters\n",
                sizeof(SearchResult));
    std::printf("chain:  %.3f s, %lld chains (%.2f M hits/s)\n", chainTime, chainCount,
                hitCount / 1e6 / (chainTime > 0 ? chainTime : 1e-9));
    std::printf("write:  %.3f s, %lld lines of score >= %d\n", writeTime, lines, writer.mMinScore);
    return 0;
}
