// The four-argument FASTA reader (split headers, caller's line buffer): the
// records must not depend on the caller's buffer size nor on how the stream
// delivers its bytes, as long as every header line fits the buffer (a longer
// header keeps only what fits, by design).
//
// Input: byte 0 picks the small buffer size and byte 1 the stream's chunk
// size; the rest is the FASTA text.
#include <algorithm>
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
    std::string name, description, bases;
    int result;
    bool operator==(const Record& o) const {
        return name == o.name && description == o.description && bases == o.bases &&
               result == o.result;
    }
};

std::vector<Record> ReadAll(std::istream& in, int size, std::size_t limit) {
    FASTAFile reader;
    std::vector<char> buffer(static_cast<std::size_t>(size), '\0');
    buffer[0] = '1';
    std::vector<Record> records;
    for (;;) {
        Sequence s;
        const int result = reader.GetNextSequence(in, buffer.data(), size, s);
        records.push_back(
            Record{s.mName, s.mDescription, std::string(s.mBases.begin(), s.mBases.end()), result});
        // Every call takes at least one line, so there are no more records
        // than lines: more means the reader no longer moves forward.
        FUZZ_CHECK(records.size() <= limit);
        if (result == 0 || in.eof() || in.bad() || in.fail()) break;
    }
    return records;
}

// Longest line of the text that the reader takes as a header: the first
// line and every line that begins with '>'.
std::size_t LongestHeader(const std::string& text) {
    std::size_t longest = 0, start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (start == 0 || text[start] == '>') longest = std::max(longest, end - start);
        start = end + 1;
    }
    return longest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int small = 8 + data[0] % 120;
    const std::size_t chunk = 1 + data[1] % 17;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::size_t limit = text.size() + 2;

    const std::vector<Record> reference = ReadWholeAndChunked(text, chunk, [&](std::istream& in) {
        return ReadAll(in, static_cast<int>(text.size()) + 2, limit);
    });

    if (LongestHeader(text) + 1 < static_cast<std::size_t>(small)) {
        std::istringstream again(text);
        FUZZ_CHECK(ReadAll(again, small, limit) == reference);
    }
    return 0;
}
