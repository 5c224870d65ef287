// Benchmark of the stable hit sort (SearchResultVec::sortBySourceStart).
//
//   bench_hit_sort [total]
//
// For each list length from 2^10 to 2^22 hits, sorts enough lists of that
// length to make up about total hits (default 2^23), from keys drawn at
// random over a range four times the length (some repeats, as on a real
// source), and prints the time per hit. Asserts nothing.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "kmer/SearchResult.h"

int main(int argc, char** argv) {
    const std::size_t total =
        argc > 1 ? std::strtoull(argv[1], nullptr, 10) : (std::size_t(1) << 23);
    std::mt19937_64 rng(1);
    double all = 0;
    for (int bits = 10; bits <= 22; bits += 2) {
        const std::size_t n = std::size_t(1) << bits;
        const std::size_t lists = total / n > 0 ? total / n : 1;
        double seconds = 0;
        for (std::size_t l = 0; l < lists; ++l) {
            SearchResultVec v;
            v.resize(n);
            for (std::size_t i = 0; i < n; ++i) {
                v[i].mSourceStart = static_cast<uint32_t>(rng() % (4 * n));
                v[i].mQueryStart = static_cast<uint32_t>(i);
            }
            const auto start = std::chrono::steady_clock::now();
            v.sortBySourceStart();
            seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        all += seconds;
        std::printf("%8zu hits: %6.1f ns per hit\n", n, 1e9 * seconds / double(lists * n));
    }
    std::printf("total %.3f s\n", all);
    return 0;
}
