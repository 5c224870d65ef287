// The k-mer distribution file reader: the outcome (status, line, header
// fields, stored counts) must not depend on how the stream delivers its
// bytes; a refused header changes nothing; a file read to its end leaves a
// usable k-mer length and thinning and only counts of at least the minimum.
//
// Input: byte 0 picks the minimum count and byte 1 the stream's chunk size;
// the rest is the file's text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "kmer/Mer.h"
#include "kmer/MerRepeatModel.h"

namespace {

struct Outcome {
    ReadDistStatus status;
    long long line;
    std::string name;
    int distMinCount;
    int k, factor, slice;
    std::vector<std::pair<std::uint64_t, int>> counts;  // sorted by k-mer value

    bool operator==(const Outcome& o) const {
        return status == o.status && line == o.line && name == o.name &&
               distMinCount == o.distMinCount && k == o.k && factor == o.factor &&
               slice == o.slice && counts == o.counts;
    }
};

Outcome Read(std::istream& in, int minCount) {
    MerSettingsGuard guard;
    Mer::setMerSize(12);
    Mer::mThinFactor = 1;
    Mer::mThinSlice = 0;
    MerRepeatModel<MerSymmetricHashF> model;
    const ReadDistResult r = model.ReadDist(in, minCount);
    Outcome out{r.mStatus,     r.mLine,          model.mName,     model.mDistMinCount,
                Mer::mMerSize, Mer::mThinFactor, Mer::mThinSlice, {}};
    for (const auto& entry : model.mCounts)
        out.counts.emplace_back(entry.first.mValue, entry.second);
    std::sort(out.counts.begin(), out.counts.end());
    FUZZ_CHECK(!r.Message().empty());
    if (r.mStatus == ReadDistBadHeader) {
        // Nothing of a refused header is taken over.
        const MerRepeatModel<MerSymmetricHashF> fresh;
        FUZZ_CHECK(out.name == fresh.mName && out.distMinCount == fresh.mDistMinCount);
        FUZZ_CHECK(out.k == 12 && out.factor == 1 && out.slice == 0);
        FUZZ_CHECK(out.counts.empty());
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int minCount = data[0] % 8 - 1;
    const std::size_t chunk = 1 + data[1] % 17;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

    const Outcome reference =
        ReadWholeAndChunked(text, chunk, [&](std::istream& in) { return Read(in, minCount); });

    if (reference.status == ReadDistOK) {
        FUZZ_CHECK(reference.k >= 1 && reference.k <= 32);
        FUZZ_CHECK(reference.factor >= 1);
        const std::size_t lines =
            static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        FUZZ_CHECK(reference.counts.size() <= lines);
        for (const auto& c : reference.counts) {
            FUZZ_CHECK(c.second >= minCount);
            // A stored k-mer fits the file's k.
            FUZZ_CHECK(reference.k == 32 || c.first >> (2 * reference.k) == 0);
        }
    }
    return 0;
}
