#include "toolkit/gzstream.h"

#include <cstring>

gzstreambuf::gzstreambuf()
    : mGzFile(nullptr), mIsOpen(0), mMode(0), mReadFailed(0), mOwner(nullptr) {
    std::memset(mBuffer, 0, sizeof mBuffer);
    setp(mBuffer, mBuffer + (bufferSize - 1));
    setg(mBuffer + putbackSize, mBuffer + putbackSize, mBuffer + putbackSize);
}

gzstreambuf::~gzstreambuf() { close(); }

gzstreambuf* gzstreambuf::open(const char* name, int open_mode) {
    if (mIsOpen) return nullptr;
    mMode = open_mode;
    if ((open_mode & std::ios::ate) || (open_mode & std::ios::app)) return nullptr;
    if ((open_mode & std::ios::in) && (open_mode & std::ios::out)) return nullptr;
    char fmode[3];
    char* p = fmode;
    if (open_mode & std::ios::in)
        *p++ = 'r';
    else if (open_mode & std::ios::out)
        *p++ = 'w';
    *p++ = 'b';
    *p = '\0';
    mGzFile = gzopen(name, fmode);
    if (mGzFile == nullptr) return nullptr;
    mIsOpen = 1;
    mReadFailed = 0;
    // A new file starts with empty get and put areas: nothing left unread or
    // unwritten from an earlier file reaches this one.
    setg(mBuffer + putbackSize, mBuffer + putbackSize, mBuffer + putbackSize);
    setp(mBuffer, mBuffer + (bufferSize - 1));
    return this;
}

gzstreambuf* gzstreambuf::close() {
    if (!mIsOpen) return nullptr;
    sync();
    mIsOpen = 0;
    // The handle is gone after gzclose; a later sync of output that could not
    // be written must not reach it.
    gzFile f = mGzFile;
    mGzFile = nullptr;
    if (gzclose(f) == Z_OK) return this;
    return nullptr;
}

int gzstreambuf::underflow() {
    if (gptr() && gptr() < egptr()) return static_cast<unsigned char>(*gptr());
    if (!(mMode & std::ios::in) || !mIsOpen) return EOF;

    // Keep the last n characters read for put-back; they move to bytes 4-n..3
    // only after a successful refill, so a failed one leaves the get area whole.
    int n = static_cast<int>(gptr() - eback());
    if (n > putbackSize) n = putbackSize;
    char kept[putbackSize];
    std::memcpy(kept, gptr() - n, static_cast<size_t>(n));

    int r = gzread(mGzFile, mBuffer + putbackSize, bufferSize - putbackSize);
    if (r <= 0) {
        // gzread gives -1 on damaged data, and 0 with an error recorded when
        // the compressed data end early; neither is a clean end of input.
        int errnum = Z_OK;
        gzerror(mGzFile, &errnum);
        if (r < 0 || (errnum != Z_OK && errnum != Z_STREAM_END)) {
            mReadFailed = 1;
            if (mOwner) mOwner->setstate(std::ios::badbit);
        }
        return EOF;
    }
    std::memcpy(mBuffer + (putbackSize - n), kept, static_cast<size_t>(n));
    setg(mBuffer + (putbackSize - n), mBuffer + putbackSize, mBuffer + putbackSize + r);
    return static_cast<unsigned char>(*gptr());
}

int gzstreambuf::flush_buffer() {
    int w = static_cast<int>(pptr() - pbase());
    if (gzwrite(mGzFile, pbase(), static_cast<unsigned>(w)) != w) return EOF;
    pbump(-w);
    return w;
}

int gzstreambuf::overflow(int c) {
    if (!(mMode & std::ios::out) || !mIsOpen) return EOF;
    if (c != EOF) {
        // The last byte of the array takes the character that did not fit;
        // after a failed write it is taken already and c is refused.
        if (pptr() >= mBuffer + bufferSize) return EOF;
        *pptr() = static_cast<char>(c);
        pbump(1);
    }
    if (flush_buffer() == EOF) return EOF;
    return c;
}

int gzstreambuf::sync() {
    if (pptr() && pptr() > pbase()) {
        if (flush_buffer() == EOF) return -1;
    }
    return 0;
}

gzstreambase::gzstreambase() {
    mStreamBuffer.set_owner(this);
    init(&mStreamBuffer);
}

gzstreambase::gzstreambase(const char* name, int open_mode) {
    mStreamBuffer.set_owner(this);
    init(&mStreamBuffer);
    open(name, open_mode);
}

gzstreambase::~gzstreambase() { mStreamBuffer.close(); }

void gzstreambase::open(const char* name, int open_mode) {
    if (!mStreamBuffer.open(name, open_mode)) clear(rdstate() | std::ios::badbit);
}

void gzstreambase::close() {
    if (mStreamBuffer.is_open()) {
        if (!mStreamBuffer.close()) clear(rdstate() | std::ios::badbit);
    }
}
