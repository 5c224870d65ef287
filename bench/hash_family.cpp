// Benchmark of one hard family of keys for the k-mer tables: 32-mers whose
// two 32-bit halves are equal (tandem repeats of period 1, 2, 4, 8 or 16),
// against random 32-mers as the control.
//
//   bench_hash_family [indexed [counted [runs]]]
//
// Indexes `indexed` distinct k-mers of each kind (default 200,000) through
// the source scanner (Mer2SequenceLocationMap::Add, a FASTA text of one
// 32-base record per k-mer) and counts `counted` (default 100,000) through
// Mer2IntMap::Add the same way, `runs` times (default 3, the kinds taking
// turns). Prints the median seconds of each; asserts nothing.
// The family should cost about what the control does.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kmer/BigSequenceLocation.h"
#include "kmer/Mer.h"
#include "kmer/Mer2IntMap.h"
#include "kmer/Mer2SequenceLocationMap.h"

namespace {

typedef Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF> Index;
typedef std::chrono::steady_clock Clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// n distinct 32-mer values: of two equal halves, or random.
std::vector<std::uint64_t> Keys(long n, bool equalHalves, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::set<std::uint64_t> seen;
    std::vector<std::uint64_t> keys;
    while ((long)keys.size() < n) {
        std::uint64_t v = rng();
        if (equalHalves) v = (v << 32) | (v & 0xFFFFFFFFULL);
        if (seen.insert(v).second) keys.push_back(v);
    }
    return keys;
}

// A FASTA text of one record per key, holding the key's 32 bases.
std::string Fasta(const std::vector<std::uint64_t>& keys) {
    static const char kLetters[4] = {'A', 'C', 'G', 'T'};
    std::string text;
    text.reserve(keys.size() * 40);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        text += ">r" + std::to_string(i) + '\n';
        for (int b = 31; b >= 0; --b) text += kLetters[(keys[i] >> (2 * b)) & 3];
        text += '\n';
    }
    return text;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const long indexed = argc > 1 ? std::atol(argv[1]) : 200000;
    const long counted = argc > 2 ? std::atol(argv[2]) : 100000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    Mer::setMerSize(32);
    Mer::mThinFactor = 1;
    Mer::mThinSlice = 0;

    const std::string families[2] = {Fasta(Keys(indexed, true, 1)), Fasta(Keys(indexed, false, 1))};
    const std::string controls[2] = {Fasta(Keys(counted, true, 2)), Fasta(Keys(counted, false, 2))};
    std::vector<double> indexTimes[2], countTimes[2];
    std::size_t indexSizes[2] = {0, 0}, countSizes[2] = {0, 0};
    for (int run = 0; run < runs; ++run) {
        for (int kind = 0; kind < 2; ++kind) {
            std::istringstream in(families[kind]);
            Index index;
            const Clock::time_point t = Clock::now();
            index.Add(in);
            indexTimes[kind].push_back(Seconds(t));
            indexSizes[kind] = index.mLocationLists.size();
        }
        for (int kind = 0; kind < 2; ++kind) {
            std::istringstream in(controls[kind]);
            Mer2IntMap<MerSymmetricHashF> counts;
            const Clock::time_point t = Clock::now();
            counts.Add(in);
            countTimes[kind].push_back(Seconds(t));
            countSizes[kind] = counts.mCounts.size();
        }
    }
    const char* what[2] = {"equal halves", "random"};
    for (int kind = 0; kind < 2; ++kind)
        std::cout << "index " << indexed << ' ' << what[kind] << ": " << Median(indexTimes[kind])
                  << " s, " << indexSizes[kind] << " k-mers" << std::endl;
    for (int kind = 0; kind < 2; ++kind)
        std::cout << "count " << counted << ' ' << what[kind] << ": " << Median(countTimes[kind])
                  << " s, " << countSizes[kind] << " k-mers" << std::endl;
    return 0;
}
