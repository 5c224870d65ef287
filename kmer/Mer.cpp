#include "kmer/Mer.h"

#include <iostream>

#include "toolkit/Sequence.h"
#include "toolkit/Sequence3Bit.h"

int Mer::mMerSize = 32;
int Mer::mThinFactor = 1;
int Mer::mThinSlice = 1;
int Mer::BITSUNUSED = 0;
int Mer::BASESUNUSED = 0;
std::uint64_t Mer::mValueMask = ~0ULL;

void Mer::setMerSize(int k) {
    mMerSize = k;
    BASESUNUSED = 32 - k;
    BITSUNUSED = 2 * (32 - k);
    // Out-of-range k is rejected by the callers; keep the mask defined anyway.
    if (BITSUNUSED <= 0)
        mValueMask = ~0ULL;
    else if (BITSUNUSED >= 64)
        mValueMask = 0;
    else
        mValueMask = ~0ULL >> BITSUNUSED;
}

void Mer::set(const char* s) {
    mValue = 0;
    for (int i = 0; i < mMerSize; ++i) ShiftInBase(s[i]);
}

namespace {

// Shifts in the bases of the window start .. start+k-1, read through at(p);
// every other character is skipped and handed to onOther.
template <class At, class OnOther>
void BuildWindow(Mer& m, At at, int start, OnOther onOther) {
    m.mValue = 0;
    for (int p = start; p < start + Mer::mMerSize; ++p) {
        const char c = at(p);
        const unsigned char code = gMerCodes.mCode[(unsigned char)c];
        if (code < 4)
            m.ShiftInBits((char)code);
        else
            onOther(c);
    }
}

}  // namespace

Mer::Mer(Sequence& seq, int start, bool& bad) {
    bad = false;
    const char* b = seq.mBases.data();
    BuildWindow(
        *this, [b](int p) { return b[p]; }, start, [&bad](char) { bad = true; });
}

Mer::Mer(Sequence& seq, int start) {
    const char* b = seq.mBases.data();
    BuildWindow(
        *this, [b](int p) { return b[p]; }, start,
        [&seq, b](char c) {
            std::cerr << "Mer(Seq,int) ILLEGAL CHARACTER: " << c << " from: ";
            std::cerr.write(b, (std::streamsize)seq.mBases.size());
            std::cerr << '\n';
        });
}

Mer::Mer(Sequence3Bit& seq, int start, bool& bad) {
    bad = false;
    BuildWindow(
        *this, [&seq](int p) { return seq[p]; }, start, [&bad](char) { bad = true; });
}

std::string Mer::ToString() const {
    static const char kLetters[4] = {'A', 'C', 'G', 'T'};
    std::string s((std::size_t)mMerSize, 'A');
    for (int i = 0; i < mMerSize; ++i) s[i] = kLetters[(mValue >> (2 * (mMerSize - 1 - i))) & 3];
    return s;
}

void Mer::InitWithFirstCleanMer(Sequence& seq, int& idx) {
    // Window ends are counted in 64 bits: near the end of a record of almost
    // INT_MAX bases, idx + k passes the int range.
    const long long n = static_cast<long long>(seq.mBases.size());
    const char* b = seq.mBases.data();
    long long i = idx;
    long long end = i + mMerSize;
    while (i < end) {
        // The record ends before a full window: the walk is over (idx ends at or past n).
        if (i >= n) break;
        char c = b[i];
        if (IsUnclean(c)) {
            // Restart the window after c; give up when it no longer fits.
            end = i + mMerSize + 1;
            if (end > n) break;
        } else {
            ShiftInBase(c);
        }
        ++i;
    }
    // Past the end, idx stops at n, which a record of at most INT_MAX bases
    // keeps within int.
    idx = static_cast<int>(end - 1 < n ? end - 1 : n);
}

void Mer::ShiftInClean(Sequence& seq, int& idx) {
    if (idx == 0 || IsUnclean(seq.mBases[idx])) {
        InitWithFirstCleanMer(seq, idx);
        return;
    }
    ShiftInBase(seq.mBases[idx]);
}
