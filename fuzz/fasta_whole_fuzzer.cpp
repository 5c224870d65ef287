// The two-argument FASTA reader (whole-name headers, header read ahead): the
// records must not depend on how the stream delivers its bytes, and reading
// must end.
//
// Input: byte 0 picks the stream's chunk size; the rest is the FASTA text.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "toolkit/FASTAFile.h"
#include "toolkit/Sequence.h"

namespace {

struct Record {
    std::string name, bases;
    bool operator==(const Record& o) const { return name == o.name && bases == o.bases; }
};

struct Outcome {
    std::vector<Record> records;
    bool bad;
    bool operator==(const Outcome& o) const { return records == o.records && bad == o.bad; }
};

Outcome ReadAll(std::istream& in, std::size_t limit) {
    FASTAFile reader;
    Outcome out;
    do {
        Sequence s;
        reader.GetNextSequence(in, s);
        out.records.push_back(Record{s.mName, std::string(s.mBases.begin(), s.mBases.end())});
        FUZZ_CHECK(out.records.size() <= limit);
    } while (in.good());
    out.bad = in.bad();
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::size_t chunk = 1 + data[0] % 17;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t limit = text.size() + 2;

    ReadWholeAndChunked(text, chunk, [&](std::istream& in) { return ReadAll(in, limit); });
    return 0;
}
