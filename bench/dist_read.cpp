// Benchmark of writing and reading back a k-mer distribution file.
//
//   bench_dist_read [entries [k]]
//
// Counts `entries` random distinct k-mers (default 4,000,000, k 16) into a
// model, writes it with WriteDist (so its lines come in the table's order, as
// zarnmerdist writes them) and reads it back with ReadDist. Prints the time
// of each stage; asserts nothing. Reading back must stay linear in the file.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "kmer/Mer.h"
#include "kmer/MerRepeatModel.h"

int main(int argc, char** argv) {
    const long entries = argc > 1 ? std::atol(argv[1]) : 4000000;
    const int k = argc > 2 ? std::atoi(argv[2]) : 16;
    Mer::setMerSize(k);
    Mer::mThinFactor = 1;
    Mer::mThinSlice = 0;
    typedef std::chrono::steady_clock Clock;
    auto seconds = [](Clock::time_point since) {
        return std::chrono::duration<double>(Clock::now() - since).count();
    };

    MerRepeatModel<MerSymmetricHashF> model;
    model.mName = "bench.dist";
    std::mt19937_64 rng(3);
    Clock::time_point t = Clock::now();
    while ((long)model.mCounts.size() < entries) {
        Mer m;
        m.mValue = k == 32 ? rng() : rng() & ((1ULL << (2 * k)) - 1);
        model.mCounts[MerSymmetricHashF::canonicalValue(m)] = 1 + (int)(rng() % 1000);
    }
    std::cout << "fill " << entries << " k-mers: " << seconds(t) << " s" << std::endl;

    const std::string path = "bench_dist_read.dist";
    t = Clock::now();
    {
        std::ostringstream quiet;
        std::streambuf* old = std::cout.rdbuf(quiet.rdbuf());
        model.WriteDist(path, 1);
        std::cout.rdbuf(old);
    }
    std::cout << "WriteDist: " << seconds(t) << " s" << std::endl;

    MerRepeatModel<MerSymmetricHashF> back;
    t = Clock::now();
    std::ostringstream progress;
    std::streambuf* old = std::cerr.rdbuf(progress.rdbuf());
    ReadDistResult r = back.ReadDist(path, 1);
    std::cerr.rdbuf(old);
    std::cout << "ReadDist: " << seconds(t) << " s, " << back.mCounts.size() << " k-mers, "
              << r.Message() << std::endl;
    std::remove(path.c_str());
    return r.ok() ? 0 : 1;
}
