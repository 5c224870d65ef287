#ifndef KMER_MER_H
#define KMER_MER_H

#include <cstddef>
#include <cstdint>
#include <string>

class Sequence;
class Sequence3Bit;

// 2-bit code of every byte: A 0, C 1, G 2, T 3 in either case, 4 for anything else.
struct MerCodeTable {
    unsigned char mCode[256];
    constexpr MerCodeTable() : mCode() {
        for (int i = 0; i < 256; ++i) mCode[i] = 4;
        mCode[(unsigned char)'A'] = mCode[(unsigned char)'a'] = 0;
        mCode[(unsigned char)'C'] = mCode[(unsigned char)'c'] = 1;
        mCode[(unsigned char)'G'] = mCode[(unsigned char)'g'] = 2;
        mCode[(unsigned char)'T'] = mCode[(unsigned char)'t'] = 3;
    }
};
inline constexpr MerCodeTable gMerCodes{};

// A k-mer of up to 32 bases, two bits per base, the newest base in bits 0-1.
// The length k and the thinning rule are process-wide: set them once per run,
// before the first k-mer is built (setMerSize, mThinFactor, mThinSlice).
class Mer {
public:
    std::uint64_t mValue;

    static int mMerSize;     // k, 1 to 32
    static int mThinFactor;  // a k-mer is used when its canonical value % mThinFactor == mThinSlice
    static int mThinSlice;
    static int BITSUNUSED;   // 64 - 2k
    static int BASESUNUSED;  // 32 - k

    Mer() : mValue(0) {}
    Mer(const char* s) { set(s); }
    // Window start .. start+k-1 of seq; bad is set when it holds anything but A, C, G, T.
    Mer(Sequence& seq, int start, bool& bad);
    // The same, reporting every non-base character on standard error.
    Mer(Sequence& seq, int start);
    // Window start .. start+k-1 of a packed record, read through its letters;
    // bad is set when it holds anything but A, C, G, T (X, N or codes 5 and 6).
    Mer(Sequence3Bit& seq, int start, bool& bad);

    // Reads exactly k characters of s (NULs included); only bases are shifted in.
    void set(const char* s);

    void ShiftInBits(char code) {
        mValue = ((mValue << 2) | (std::uint64_t)(unsigned char)code) & mValueMask;
    }
    void ShiftInBase(char c) {
        unsigned char code = gMerCodes.mCode[(unsigned char)c];
        if (code < 4) ShiftInBits((char)code);
    }

    std::string ToString() const;

    // In place: the reverse complement of this k-mer.
    void Reverse() {
        std::uint64_t x = ~mValue;
        x = ((x >> 2) & 0x3333333333333333ULL) | ((x & 0x3333333333333333ULL) << 2);
        x = ((x >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((x & 0x0F0F0F0F0F0F0F0FULL) << 4);
        x = __builtin_bswap64(x);
        mValue = x >> BITSUNUSED;
    }

    // Builds the first window of k clean characters at or after idx; on return idx is
    // the window's last position, or a position at or past the record's end when no
    // such window is left.
    void InitWithFirstCleanMer(Sequence& seq, int& idx);
    // One step of the walk along a record: afterwards the k-mer is the window ending at idx.
    void ShiftInClean(Sequence& seq, int& idx);

    // True when the thinning rule excludes this k-mer.
    bool isThinned() const {
        Mer rc = *this;
        rc.Reverse();
        return isThinned(rc);
    }
    // The same, with the reverse complement supplied by the caller.
    bool isThinned(const Mer& rc) const {
        std::uint64_t c = rc.mValue < mValue ? rc.mValue : mValue;
        std::uint64_t f = (std::uint64_t)(std::int64_t)mThinFactor;
        std::uint64_t t = (std::uint64_t)(std::int64_t)mThinSlice;
        if (f == 0) return true;  // no usable modulus: exclude rather than divide by zero
        return c % f != t;
    }

    static void setMerSize(int k);

    // Characters with bit 0x08 set break a clean window (N, X, digits 8-9, tab, ...).
    static bool IsUnclean(char c) { return ((unsigned char)c & 0x08) != 0; }

    bool operator==(const Mer& o) const { return mValue == o.mValue; }
    bool operator!=(const Mer& o) const { return mValue != o.mValue; }

private:
    static std::uint64_t mValueMask;  // the low 2k bits
};

// Hash and equality of exact k-mers.
struct MerHashF {
    std::size_t operator()(const Mer& m) const {
        return (std::uint32_t)(m.mValue >> 32) ^ (std::uint32_t)m.mValue;
    }
    bool operator()(const Mer& a, const Mer& b) const { return a.mValue == b.mValue; }
};

// Hash and equality under which a k-mer and its reverse complement are one key.
struct MerSymmetricHashF {
    std::size_t operator()(const Mer& m) const {
        Mer c = canonicalValue(m);
        return (std::uint32_t)(c.mValue >> 32) ^ (std::uint32_t)c.mValue;
    }
    bool operator()(Mer a, Mer b) const {
        if (a.mValue == b.mValue) return true;
        a.Reverse();
        return a.mValue == b.mValue;
    }
    // The smaller of m and its reverse complement.
    static Mer canonicalValue(const Mer& m) {
        Mer r = m;
        r.Reverse();
        return r.mValue < m.mValue ? r : m;
    }
};

#endif
