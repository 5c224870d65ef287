// Input stream over a file that may be gzip-compressed or plain text.
//
// gzstreambuf moves bytes between one fixed 303-byte array and zlib's file
// functions; gzstreambase owns a buffer and attaches it to the stream;
// igzstream is the stream that callers declare. A file that is not in gzip
// format is passed through unchanged by zlib, so plain files read the same.
//
// Telling a clean end of input from a failed read: after the reading loop,
// in.bad() is true when the input failed (the file did not open, the gzip data
// is damaged or truncated, or zlib reported another read error); a clean end
// of input has in.eof() set and in.bad() clear. A read that fails inside zlib
// also ends like end of input (eof, and fail when nothing was taken), so a
// loop that only tests eof() or the stream's truth value still ends, and
// bad() is what tells the two apart.
// A stream that did not open never reaches eof(): test bad() or fail() there.

#ifndef TOOLKIT_GZSTREAM_H
#define TOOLKIT_GZSTREAM_H

#include <zlib.h>
#include <istream>
#include <streambuf>

class gzstreambuf : public std::streambuf {
public:
    gzstreambuf();
    ~gzstreambuf() override;

    int is_open() const { return mIsOpen; }
    gzstreambuf* open(const char* name, int open_mode);
    gzstreambuf* close();

    int underflow() override;
    int overflow(int c = EOF) override;
    int sync() override;
    int flush_buffer();

    // True once a read from zlib failed (error or damaged/truncated data);
    // cleared by the next successful open.
    bool read_failed() const { return mReadFailed != 0; }

    // Stream whose state receives badbit on a failed read; set by gzstreambase.
    void set_owner(std::ios* owner) { mOwner = owner; }

    static const int bufferSize = 303;
    static const int putbackSize = 4;

    gzFile mGzFile;            // the open file; null while closed
    char mBuffer[bufferSize];  // reading: 0-3 put-back, 4-302 data; writing: 0-301
    char mIsOpen;              // 1 while a file is open
    int mMode;                 // openmode bits of the last open

private:
    char mReadFailed;
    std::ios* mOwner;
};

class gzstreambase : virtual public std::ios {
public:
    gzstreambase();
    gzstreambase(const char* name, int open_mode);
    ~gzstreambase() override;

    void open(const char* name, int open_mode);
    void close();
    gzstreambuf* rdbuf() { return &mStreamBuffer; }

    gzstreambuf mStreamBuffer;
};

class igzstream : public gzstreambase, public std::istream {
public:
    igzstream() : gzstreambase(), std::istream(&mStreamBuffer) {}
    void open(const char* name, int open_mode) { gzstreambase::open(name, open_mode); }
    gzstreambuf* rdbuf() { return gzstreambase::rdbuf(); }
};

#endif
