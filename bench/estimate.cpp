// How close the source file pass's count of distinct k-mers comes, and
// whether the table sized from it stays within the one the same k-mers grow
// to through a pipe.
//
//   bench_estimate [-k K,K,...] [-F MAXFACTOR] [-v] source.fa ... [debruijn:M] [random:N]
//
// For every source, every k (default 12,16,20,24,28,32), every thinning
// factor f from 1 to MAXFACTOR (default 17) and every slice of it, the
// distinct k-mers that the scan stores are counted exactly and estimated as
// the pass estimates them; only the configurations with more than
// DistinctCounter::kCapacity of them, where the pass samples, are shown.
// `debruijn:M` is a de Bruijn sequence of order M (every M-mer once, 4^M
// bases), `random:N` N random bases. Prints one line per configuration with
// -v, and a summary per source and over all: the RMS and extreme errors, the
// configurations whose reservation exceeds the pipe's table, and those whose
// table grows during the scan. Asserts nothing.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "kmer/Mer.h"
#include "kmer/Mer2SequenceLocationMap.h"
#include "toolkit/DistinctCounter.h"
#include "toolkit/gzstream.h"

namespace {

typedef Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF> Index;

// The k-mers of text by the scan's rules: a '>' starts a record whose name is
// the rest of the line; A, C, G, T (either case) shift in; others count
// nothing.
void AddKmers(const std::string& text, int k, std::vector<std::uint64_t>& keys) {
    const std::uint64_t mask = k >= 32 ? ~std::uint64_t(0) : (std::uint64_t(1) << (2 * k)) - 1;
    std::uint64_t last = 0;
    int bases = 0;
    bool inName = false;
    for (const char c : text) {
        if (inName) {
            inName = c != '\n';
            continue;
        }
        const unsigned char code = gMerCodes.mCode[static_cast<unsigned char>(c)];
        if (code < 4) {
            last = (last << 2) | code;
            if (bases < k) ++bases;
            if (bases == k) keys.push_back(last & mask);
        } else if (c == '>') {
            inName = true;
            bases = 0;
        }
    }
}

std::string ReadAll(const std::string& path) {
    igzstream in;
    in.open(path.c_str(), std::ios::in);
    if (!in.good()) {
        std::fprintf(stderr, "%s: cannot open\n", path.c_str());
        std::exit(1);
    }
    std::string text;
    std::vector<char> block(1 << 16);
    for (;;) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        text.append(block.data(), static_cast<std::size_t>(in.gcount()));
        if (in.gcount() < static_cast<std::streamsize>(block.size())) break;
    }
    if (in.bad()) {
        std::fprintf(stderr, "%s: read error\n", path.c_str());
        std::exit(1);
    }
    return text;
}

// A de Bruijn sequence of order m over ACGT, made linear by its first m - 1
// bases, so that every m-mer occurs once.
std::string DeBruijn(int m) {
    std::vector<int> a(static_cast<std::size_t>(m) + 1, 0);
    std::string seq;
    // The Lyndon words of length dividing m, in order.
    const auto step = [&](auto&& self, int t, int p) -> void {
        if (t > m) {
            if (m % p == 0)
                for (int i = 1; i <= p; ++i) seq += "ACGT"[a[i]];
            return;
        }
        a[t] = a[t - p];
        self(self, t + 1, p);
        for (int j = a[t - p] + 1; j < 4; ++j) {
            a[t] = j;
            self(self, t + 1, t);
        }
    };
    step(step, 1, 1);
    return ">debruijn\n" + seq + seq.substr(0, static_cast<std::size_t>(m - 1)) + "\n";
}

std::string Random(std::size_t n) {
    std::mt19937_64 rng(7);
    std::string seq(n, 'A');
    for (char& c : seq) c = "ACGT"[rng() & 3];
    return ">random\n" + seq + "\n";
}

struct Summary {
    int configs = 0, over = 0, grows = 0;
    double sumSquares = 0, low = 0, high = 0;
    void Add(double error, bool overPipe, bool grown) {
        ++configs;
        sumSquares += error * error;
        low = std::min(low, error);
        high = std::max(high, error);
        over += overPipe;
        grows += grown;
    }
    void Print(const char* what) const {
        if (configs == 0) {
            std::printf("%-24s no sampled configuration\n", what);
            return;
        }
        std::printf(
            "%-24s %5d configurations  RMS %.2f%%  from %+.2f%% to %+.2f%%  "
            "over the pipe's table %d  grown in the scan %d\n",
            what, configs, 100 * std::sqrt(sumSquares / configs), 100 * low, 100 * high, over,
            grows);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> ks = {12, 16, 20, 24, 28, 32};
    int maxFactor = 17;
    bool verbose = false;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-k" && i + 1 < argc) {
            ks.clear();
            for (const char* p = argv[++i]; *p;) {
                char* end;
                ks.push_back(static_cast<int>(std::strtol(p, &end, 10)));
                p = *end == ',' ? end + 1 : end;
                if (ks.back() < 1 || ks.back() > 32) {
                    std::fprintf(stderr, "k must lie in 1 to 32\n");
                    return 1;
                }
            }
        } else if (arg == "-F" && i + 1 < argc) {
            maxFactor = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "-v") {
            verbose = true;
        } else {
            sources.push_back(arg);
        }
    }
    if (sources.empty()) {
        std::fprintf(stderr,
                     "usage: bench_estimate [-k K,K,...] [-F MAXFACTOR] [-v] source.fa ... "
                     "[debruijn:M] [random:N]\n");
        return 1;
    }
    Summary all;
    for (const std::string& source : sources) {
        std::string text;
        if (source.rfind("debruijn:", 0) == 0)
            text = DeBruijn(std::atoi(source.c_str() + 9));
        else if (source.rfind("random:", 0) == 0)
            text = Random(static_cast<std::size_t>(std::atoll(source.c_str() + 7)));
        else
            text = ReadAll(source);
        Summary own;
        for (const int k : ks) {
            Mer::setMerSize(k);
            // The slices are told apart here; the index is only sized.
            Mer::mThinFactor = 1;
            Mer::mThinSlice = 0;
            std::vector<std::uint64_t> keys;
            AddKmers(text, k, keys);
            const long long read = static_cast<long long>(keys.size());
            std::sort(keys.begin(), keys.end());
            keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
            // The thinning value of each key: its canonical form.
            std::vector<std::uint64_t> canonical(keys.size());
            for (std::size_t i = 0; i < keys.size(); ++i) {
                Mer m;
                m.mValue = keys[i];
                canonical[i] = MerSymmetricHashF::canonicalValue(m).mValue;
            }
            std::vector<unsigned char> slice(keys.size());
            for (int f = 1; f <= maxFactor; ++f) {
                for (std::size_t i = 0; i < keys.size(); ++i)
                    slice[i] = static_cast<unsigned char>(canonical[i] % static_cast<unsigned>(f));
                for (int t = 0; t < f; ++t) {
                    // The counter sees each distinct key once: what it keeps
                    // does not depend on repeats or order.
                    DistinctCounter counter;
                    long long exact = 0;
                    for (std::size_t i = 0; i < keys.size(); ++i) {
                        if (slice[i] != t) continue;
                        ++exact;
                        counter.Add(keys[i]);
                    }
                    if (counter.Exact()) continue;
                    const double estimate = counter.Estimate();
                    const double error = estimate / static_cast<double>(exact) - 1;
                    // The reservation as the file pass makes it, against the
                    // table that growth from the index's first size reaches.
                    Index reserved;
                    reserved.ReserveForEstimate(estimate, false, read);
                    const std::size_t pipeSlots = [&] {
                        std::size_t slots = Index().mLocationLists.bucket_count();
                        while (static_cast<std::size_t>(exact) * 10 > slots * 7) slots *= 2;
                        return slots;
                    }();
                    const std::size_t slots = reserved.mLocationLists.bucket_count();
                    const bool overPipe = slots > pipeSlots;
                    const bool grows = static_cast<std::size_t>(exact) * 10 > slots * 7;
                    own.Add(error, overPipe, grows);
                    all.Add(error, overPipe, grows);
                    if (verbose)
                        std::printf(
                            "%s k %d -F %d -T %d: %lld distinct, estimate %.0f (%+.2f%%), "
                            "%zu slots against the pipe's %zu%s%s\n",
                            source.c_str(), k, f, t, exact, estimate, 100 * error, slots, pipeSlots,
                            overPipe ? " OVER" : "", grows ? " (grows)" : "");
                }
            }
        }
        own.Print(source.substr(source.find_last_of('/') + 1).c_str());
    }
    all.Print("all");
    return 0;
}
