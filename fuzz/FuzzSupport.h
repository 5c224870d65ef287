// Helpers shared by the fuzz harnesses: a stream buffer that hands out its
// bytes a few at a time, the checks' failure report, and a guard that keeps
// the process-wide k-mer settings of one input from leaking into the next.
#ifndef FUZZ_FUZZSUPPORT_H
#define FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>

#include "kmer/Mer.h"

// Serves a fixed text through a get area of at most `chunk` bytes, so that a
// reader meets every refill boundary a file stream could give it. A reader
// must give the same result whatever the chunk size.
class ChunkedStreamBuf : public std::streambuf {
public:
    ChunkedStreamBuf(const std::string& text, std::size_t chunk)
        : mText(text), mChunk(chunk < 1 ? 1 : chunk), mNext(0) {}

protected:
    int_type underflow() override {
        if (gptr() && gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (mNext >= mText.size()) return traits_type::eof();
        std::size_t n = mText.size() - mNext;
        if (n > mChunk) n = mChunk;
        char* base = &mText[mNext];
        setg(&mText[0], base, base + n);
        mNext += n;
        return traits_type::to_int_type(*gptr());
    }

private:
    std::string mText;
    std::size_t mChunk;
    std::size_t mNext;
};

// Reports a broken invariant and aborts, which libFuzzer records as a crash
// with the input that caused it.
[[noreturn]] inline void FuzzFail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

#define FUZZ_CHECK(cond)              \
    do {                              \
        if (!(cond)) FuzzFail(#cond); \
    } while (0)

// Saves the k-mer length and thinning on construction, restores them on
// destruction.
class MerSettingsGuard {
public:
    MerSettingsGuard() : mSize(Mer::mMerSize), mFactor(Mer::mThinFactor), mSlice(Mer::mThinSlice) {}
    ~MerSettingsGuard() {
        Mer::setMerSize(mSize);
        Mer::mThinFactor = mFactor;
        Mer::mThinSlice = mSlice;
    }
    MerSettingsGuard(const MerSettingsGuard&) = delete;
    MerSettingsGuard& operator=(const MerSettingsGuard&) = delete;

private:
    int mSize;
    int mFactor;
    int mSlice;
};

// Reads text twice, whole and handed out `chunk` bytes at a time: the two
// outcomes must be equal. Returns the outcome of the whole read.
template <class Read>
auto ReadWholeAndChunked(const std::string& text, std::size_t chunk, Read read) {
    std::istringstream whole(text);
    auto reference = read(whole);
    ChunkedStreamBuf pieces(text, chunk);
    std::istream chunked(&pieces);
    FUZZ_CHECK(read(chunked) == reference);
    return reference;
}

#endif
