// The gzip input stream: what igzstream yields from a file must equal what
// zlib's own gzread yields from the same bytes, and the stream must report a
// failed read (bad()) exactly when zlib reports an error. zlib is read in the
// stream's own refill size: on damaged data gzread drops what it decoded in
// the failing call, so only equal request sizes give equal bytes. Plain text
// passes through both unchanged.
//
// Input: byte 0 picks the size of the reads made through the stream; the
// rest is the file's content (gzip data, damaged or not, or plain text).
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "toolkit/gzstream.h"

namespace {

// One scratch file per process, rewritten for every input and removed when
// the process ends normally.
struct ScratchFileName {
    std::string path;
    ScratchFileName() {
        char name[] = "/tmp/zarn-fuzz-gzXXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) FuzzFail("cannot create the scratch file");
        close(fd);
        path = name;
    }
    ~ScratchFileName() { unlink(path.c_str()); }
};

const std::string& ScratchFile() {
    static const ScratchFileName scratch;
    return scratch.path;
}

struct Reading {
    std::string bytes;
    bool failed;
};

Reading ReadWithZlib(const std::string& path) {
    Reading r{std::string(), false};
    gzFile f = gzopen(path.c_str(), "rb");
    if (f == nullptr) FuzzFail("gzopen failed on the scratch file");
    const unsigned request = gzstreambuf::bufferSize - gzstreambuf::putbackSize;
    char buf[gzstreambuf::bufferSize];
    for (;;) {
        const int n = gzread(f, buf, request);
        if (n > 0) {
            r.bytes.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        int errnum = Z_OK;
        gzerror(f, &errnum);
        r.failed = n < 0 || (errnum != Z_OK && errnum != Z_STREAM_END);
        break;
    }
    gzclose(f);
    return r;
}

Reading ReadWithStream(const std::string& path, std::size_t chunk, std::size_t limit) {
    Reading r{std::string(), false};
    igzstream in;
    in.open(path.c_str(), std::ios::in);
    FUZZ_CHECK(in.good());
    std::vector<char> buf(chunk);
    while (in.good()) {
        in.read(buf.data(), static_cast<std::streamsize>(chunk));
        const std::streamsize got = in.gcount();
        FUZZ_CHECK(got >= 0 && static_cast<std::size_t>(got) <= chunk);
        r.bytes.append(buf.data(), static_cast<std::size_t>(got));
        FUZZ_CHECK(r.bytes.size() <= limit);
    }
    r.failed = in.bad();
    // A clean end of input is end of file without badbit.
    if (!r.failed) FUZZ_CHECK(in.eof());
    in.close();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::size_t chunk = 1 + data[0] % 700;  // below and above the stream's 299-byte refill
    const std::string& path = ScratchFile();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) FuzzFail("cannot write the scratch file");
    if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1) FuzzFail("short write");
    std::fclose(f);

    const Reading expected = ReadWithZlib(path);
    // The bound only stops a runaway reader.
    const std::size_t limit = expected.bytes.size() + 1;
    const Reading got = ReadWithStream(path, chunk, limit);
    FUZZ_CHECK(got.bytes == expected.bytes);
    FUZZ_CHECK(got.failed == expected.failed);
    return 0;
}
