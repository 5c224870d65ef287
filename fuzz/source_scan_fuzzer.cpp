// The source scanner that fills the k-mer index: the index must not depend on
// how the stream delivers its bytes, and it must hold its invariants: every
// location names a record (or the top index, kept for text before the first
// header) and lies inside it, there is one size per name, and no list is
// longer than the maximum.
//
// Input: byte 0 picks k, byte 1 the thinning, byte 2 the most locations per
// k-mer, byte 3 the stream's chunk size; the rest is the FASTA text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "kmer/Mer.h"
#include "kmer/Mer2SequenceLocationMap.h"

namespace {

typedef Mer2SequenceLocationMap<MerHashF, BigSequenceLocation, MerSymmetricHashF> Index;

struct Outcome {
    SourceScanStatus status;
    std::vector<std::string> names;
    std::vector<int> sizes;
    // (k-mer, record index, start), in each list's storing order
    std::vector<std::tuple<std::uint64_t, long, long>> locations;

    bool operator==(const Outcome& o) const {
        return status == o.status && names == o.names && sizes == o.sizes &&
               locations == o.locations;
    }
};

Outcome Scan(std::istream& in, int maxLocations) {
    Index index;
    index.mMaxLocations = maxLocations;
    Outcome out;
    out.status = index.Add(in);
    out.names = index.mSourceNames;
    out.sizes = index.mSourceSizes;

    const long k = Mer::mMerSize;
    const long top = BigSequenceLocation::MAXSOURCEIDX;
    FUZZ_CHECK(out.sizes.size() == std::max<std::size_t>(out.names.size(), 1));
    for (const auto& entry : index.mLocationLists) {
        FUZZ_CHECK(!entry.second.empty());
        FUZZ_CHECK(entry.second.size() <= static_cast<std::size_t>(maxLocations));
        for (const BigSequenceLocation& loc : entry.second) {
            const long idx = loc.sourceIdx();
            const long start = loc.sourceStart();
            FUZZ_CHECK(!loc.isReverse());
            FUZZ_CHECK(start >= 0);
            FUZZ_CHECK(idx == top || idx < static_cast<long>(out.names.size()));
            // Text before the first header has a size only when no header follows.
            if (idx != top)
                FUZZ_CHECK(start + k <= out.sizes[static_cast<std::size_t>(idx)]);
            else if (out.names.empty())
                FUZZ_CHECK(start + k <= out.sizes[0]);
            out.locations.emplace_back(entry.first.mValue, idx, start);
        }
    }
    std::stable_sort(out.locations.begin(), out.locations.end(),
                     [](const std::tuple<std::uint64_t, long, long>& a,
                        const std::tuple<std::uint64_t, long, long>& b) {
                         return std::get<0>(a) < std::get<0>(b);
                     });
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    MerSettingsGuard guard;
    Mer::setMerSize(1 + data[0] % 32);
    Mer::mThinFactor = 1 + data[1] % 4;
    Mer::mThinSlice = data[1] / 4 % Mer::mThinFactor;
    const int maxLocations = 1 + data[2] % 8;
    const std::size_t chunk = 1 + data[3] % 17;
    const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);

    ReadWholeAndChunked(text, chunk, [&](std::istream& in) { return Scan(in, maxLocations); });
    return 0;
}
