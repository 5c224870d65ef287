#include "toolkit/Sequence.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <functional>
#include <iostream>
#include <ostream>

#include "toolkit/CLibraryAdditions.h"
#include "toolkit/ParseUtils.h"

namespace {

bool IsPad(char c) { return c == '*' || c == '-'; }

// v + 1 in decimal; LONG_MAX + 1 is written as the unsigned number it is
// instead of overflowing.
std::string OneBased(long v) {
    if (v == LONG_MAX) return std::to_string(static_cast<unsigned long>(v) + 1);
    return std::to_string(v + 1);
}

// "[start+1,end+1]" as appended to the description of a cut record.
std::string RangeSuffix(long start, long end) {
    return "[" + OneBased(start) + "," + OneBased(end) + "]";
}

// Values 0 .. left and right .. size-1 become mask. The back loop compares
// as unsigned numbers, so a negative right bound masks nothing.
template <class T>
void MaskOutside(std::vector<T>& v, long left, long right, T mask) {
    for (long i = 0; i <= left; ++i) v[i] = mask;
    for (unsigned long i = static_cast<unsigned long>(right); i < v.size(); ++i) v[i] = mask;
}

// Appends other's values; index-based so that other may be v itself.
template <class T>
void AppendValues(std::vector<T>& v, const std::vector<T>& other) {
    const size_t m = other.size();
    const size_t old = v.size();
    v.resize(old + m);
    for (size_t i = 0; i < m; ++i) v[old + i] = other[i];
}

// out receives src's values start .. end (inclusive, clamped), src's name and
// src's description followed by the clamped range; an empty range leaves out
// without values and with its own name and description.
template <class Rec, class T>
void CutRange(Rec& src, Rec& out, std::vector<T> Rec::*values, long start, long end) {
    (out.*values).clear();  // when out is src, src is now empty
    if (end < 0) return;
    const std::vector<T>& from = src.*values;
    const long size = static_cast<long>(from.size());
    if (start < 0) start = 0;
    if (end >= size) end = size - 1;
    if (end - start + 1 <= 0) return;
    (out.*values).assign(from.begin() + start, from.begin() + end + 1);
    out.mDescription = src.mDescription + RangeSuffix(start, end);
    out.mName = src.mName;
}

// Grows the collection by one record and returns it. When src is a record of
// the collection, it is found again after the growth may have moved it.
template <class Vec, class Rec>
Rec& GrowFrom(Vec& vec, Rec*& src) {
    const Rec* first = vec.data();
    const std::less<const Rec*> before;  // a total order over any pointers
    const bool own = !vec.empty() && !before(src, first) && before(src, first + vec.size());
    const size_t index = own ? static_cast<size_t>(src - first) : 0;
    vec.GrowVec();
    if (own) src = &vec[index];
    return vec.back();
}

// Appends a copy of src's values, description and name to the collection.
template <class Vec, class Rec, class T>
void AddCopy(Vec& vec, Rec& source, std::vector<T> Rec::*values) {
    Rec* src = &source;
    Rec& last = GrowFrom(vec, src);
    AppendValues(last.*values, (*src).*values);
    last.mDescription = src->mDescription;
    last.mName = src->mName;
}

}  // namespace

// ---------------------------------------------------------------- Sequence

bool Sequence::IsBase(char c) {
    switch (c) {
        case 'A':
        case 'C':
        case 'G':
        case 'T':
        case 'a':
        case 'c':
        case 'g':
        case 't':
            return true;
        default:
            return false;
    }
}

bool Sequence::IsBaseNX(char c) {
    return ::IsBase(c);  // the string helpers' test takes N and X as well
}

char Sequence::ComplementBase(char c) {
    switch (c) {
        case 'A':
            return 'T';
        case 'T':
            return 'A';
        case 'C':
            return 'G';
        case 'G':
            return 'C';
        case 'a':
            return 't';
        case 't':
            return 'a';
        case 'c':
            return 'g';
        case 'g':
            return 'c';
        default:
            return c;
    }
}

bool Sequence::OnlyUpperCaseBases() {
    return OnlyUpperCaseBases(0, static_cast<int>(mBases.size()));
}

bool Sequence::OnlyUpperCaseBases(int start, int length) {
    for (int i = start; i < start + length; ++i)
        if (mBases[i] & 0x28) return false;
    return true;
}

bool Sequence::ContainsOnlyBasesSafe() {
    return ContainsOnlyBasesSafe(0, static_cast<int>(mBases.size()));
}

bool Sequence::ContainsOnlyBasesSafe(int start, int length) {
    for (int i = start; i < start + length; ++i)
        if (!IsBase(mBases[i])) return false;
    return true;
}

bool Sequence::ContainsNonBaseSafe(int start, int length) {
    return !ContainsOnlyBasesSafe(start, length);
}

void Sequence::ToUpperCase() {
    for (char& c : mBases) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void Sequence::ToLowerCase() {
    for (char& c : mBases) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void Sequence::Nify() {
    for (char& c : mBases)
        if (!IsBase(c)) c = 'n';
}

void Sequence::Trim(long left, long right) { MaskOutside(mBases, left, right, 'X'); }

void Sequence::Complement() {
    for (char& c : mBases) c = ComplementBase(c);
}

void Sequence::Reverse() { std::reverse(mBases.begin(), mBases.end()); }

void Sequence::ReverseComplement() {
    Reverse();
    Complement();
}

void Sequence::InitFromCString(char* s) { InitFromCString(static_cast<const char*>(s)); }

void Sequence::InitFromCString(const char* s) { mBases.assign(s, s + std::strlen(s)); }

void Sequence::InitFromString(std::string& s) {
    StripWhiteSpace(s);
    mBases.insert(mBases.end(), s.begin(), s.end());
}

void Sequence::Concatenate(Sequence& other) { AppendValues(mBases, other.mBases); }

void Sequence::ConcatenateString(std::string& s) {
    mBases.insert(mBases.end(), s.begin(), s.end());
}

void Sequence::ConcatenateCString(char* s) { mBases.insert(mBases.end(), s, s + std::strlen(s)); }

void Sequence::ConcatenateStringSafe(std::string& s) {
    const size_t old = mBases.size();
    mBases.resize(old + s.size());
    for (size_t i = 0; i < s.size(); ++i) mBases[old + i] = IsBase(s[i]) ? s[i] : '\0';
}

void Sequence::ConcatenateNonWhiteSpace(std::string& s) {
    for (char c : s)
        if (!IsWS(c)) mBases.push_back(c);
}

void Sequence::CopyToCString(char* out) {
    if (!mBases.empty()) std::memcpy(out, mBases.data(), mBases.size());
    out[mBases.size()] = '\0';
}

void Sequence::CopyToString(std::string& out) { out.append(mBases.begin(), mBases.end()); }

void Sequence::Print(std::ostream& os) {
    os << mName << " " << mDescription << std::endl;
    os.write(mBases.data(), static_cast<std::streamsize>(mBases.size()));
    os << "\n";
}

void Sequence::PrintSeq(std::ostream& os) {
    os.write(mBases.data(), static_cast<std::streamsize>(mBases.size()));
    os << "\n";
}

std::ostream& operator<<(std::ostream& os, const Sequence& s) {
    os.write(s.mBases.data(), static_cast<std::streamsize>(s.mBases.size()));
    return os;
}

void Sequence::ComputeGCStats(int& length, int& gc, int& cpg) {
    length = static_cast<int>(mBases.size());
    gc = 0;
    cpg = 0;
    ToLowerCase();
    for (int i = 0; i < length; ++i) {
        const char c = mBases[i];
        if (c == 'c' || c == 'g') ++gc;
        if (c == 'c' && i <= length - 2 && mBases[i + 1] == 'g') ++cpg;
    }
}

// ------------------------------------------------------ coordinate maps

void Sequence::ComputePadded2Depadded() {
    mPadded2Depadded.resize(mBases.size());
    int count = 0;
    for (size_t i = 0; i < mBases.size(); ++i) {
        if (!IsPad(mBases[i])) ++count;
        mPadded2Depadded[i] = count;
    }
}

int Sequence::Padded2Depadded(int p) {
    if (mPadded2Depadded.size() != mBases.size()) ComputePadded2Depadded();
    if (p < 0 || mPadded2Depadded.empty()) return ClampToInt(static_cast<long long>(p) + 1);
    const int count = static_cast<int>(mPadded2Depadded.size());
    if (p >= count)
        return ClampToInt(static_cast<long long>(mPadded2Depadded.back()) + p - (count - 1));
    return mPadded2Depadded[p];
}

void Sequence::ComputeDepadded2Padded() {
    if (mPadded2Depadded.size() != mBases.size()) ComputePadded2Depadded();
    if (mPadded2Depadded.empty()) {
        mDepadded2Padded.assign(1, 0);
        return;
    }
    // The map is monotonic and ends at the base count, so every entry read
    // below indexes inside the new map, even when the map is stale.
    const int n = mPadded2Depadded.back();
    mDepadded2Padded.assign(static_cast<size_t>(n) + 1, 0);
    int previous = -1;
    for (size_t i = 0; i < mPadded2Depadded.size(); ++i) {
        const int v = mPadded2Depadded[i];
        if (v != previous) mDepadded2Padded[v] = static_cast<int>(i);
        previous = v;
    }
}

int Sequence::Depadded2Padded(int d) {
    if (mDepadded2Padded.empty()) ComputeDepadded2Padded();
    if (d <= 0 || mBases.empty()) return ClampToInt(static_cast<long long>(d) - 1);
    const int n = static_cast<int>(mDepadded2Padded.size()) - 1;
    if (d >= n) return ClampToInt(static_cast<long long>(mDepadded2Padded[n]) + d - n);
    return mDepadded2Padded[d];
}

void Sequence::depad() {
    mBases.erase(std::remove_if(mBases.begin(), mBases.end(), IsPad), mBases.end());
    mDepadded2Padded.clear();
    mPadded2Depadded.clear();
}

// ------------------------------------------------ sub-sequences, searches

void Sequence::GetSubSequence(Sequence& out, long start, long end) {
    CutRange(*this, out, &Sequence::mBases, start, end);
}

int Sequence::Find(Sequence& pattern) { return Find(pattern.mBases.begin(), pattern.mBases.end()); }

int Sequence::Find(Sequence& pattern, long& from) {
    const auto first = mBases.begin() + from;
    const auto it = std::search(first, mBases.end(), pattern.mBases.begin(), pattern.mBases.end());
    // An empty searched range matches nothing, not even an empty pattern.
    if (it == mBases.end()) return -1;
    const int p = static_cast<int>(it - mBases.begin());
    from = p + 1;
    return p;
}

int Sequence::Find(std::vector<char>::iterator first, std::vector<char>::iterator last) {
    const auto it = std::search(mBases.begin(), mBases.end(), first, last);
    if (it == mBases.end()) return -1;
    return static_cast<int>(it - mBases.begin());
}

int Sequence::FindEndOf(Sequence tag, bool& reversed) {
    tag.ToLowerCase();
    ToLowerCase();
    const int len = static_cast<int>(tag.mBases.size());
    int p = Find(tag);
    if (p >= 0) {
        reversed = false;
        const int r = p + len - 1;
        if (r >= 0) return r;
    }
    tag.ReverseComplement();
    p = Find(tag);
    if (p >= 0) {
        reversed = true;
        return p + len - 1;
    }
    return -1;
}

void Sequence::FindEndOfTag(Sequence& tag, int start, int end, long& pos, bool& reversed) {
    reversed = false;
    const int len = static_cast<int>(tag.mBases.size());
    if (start > len || end > len) return;
    tag.ToLowerCase();
    ToLowerCase();
    const int width = end - start;
    int p = Find(tag.mBases.begin() + start, tag.mBases.begin() + end);
    if (p >= 0) {
        pos = p + width;
        return;
    }
    // The reverse strand: the mirror image of the forward piece inside the
    // reverse-complemented tag, reported like the forward case.
    tag.ReverseComplement();
    p = Find(tag.mBases.begin() + (len - end), tag.mBases.begin() + (len - start));
    pos = p >= 0 ? p + width : -1;
    reversed = true;
    tag.ReverseComplement();
}

// --------------------------------------------------------- SequenceQuality

int SequenceQuality::FindPhred20(long from) {
    const unsigned long n = mQuality.size();
    for (unsigned long i = static_cast<unsigned long>(from); i < n; ++i)
        if (mQuality[i] > 19) return static_cast<int>(i);
    return static_cast<int>(n) - 1;
}

int SequenceQuality::RFindPhred20(long from) {
    for (long i = from; i >= 0; --i)
        if (mQuality[i] > 19) return static_cast<int>(i);
    return 0;
}

int SequenceQuality::RFindPhred20() { return RFindPhred20(static_cast<long>(mQuality.size()) - 1); }

int SequenceQuality::CountPhred20() {
    int count = 0;
    for (int v : mQuality)
        if (v > 19) ++count;
    return count;
}

void SequenceQuality::Trim(long left, long right) { MaskOutside(mQuality, left, right, 0); }

void SequenceQuality::Reverse() { std::reverse(mQuality.begin(), mQuality.end()); }

void SequenceQuality::Concatenate(SequenceQuality& other) {
    AppendValues(mQuality, other.mQuality);
}

void SequenceQuality::GetSubSequence(SequenceQuality& out, long start, long end) {
    CutRange(*this, out, &SequenceQuality::mQuality, start, end);
}

void SequenceQuality::Print(std::ostream& os) {
    os << ">" << mName << " " << mDescription << "\n";
    const size_t n = mQuality.size();
    for (size_t i = 0; i < n; ++i) {
        os << mQuality[i] << " ";
        if (i > 0 && i % 50 == 0) os << "\n";
    }
    const size_t last = n - 1;
    if (n == 0 || last == 0 || last % 50 != 0) os << "\n";
}

void SequenceQuality::Print() { Print(std::cout); }

bool lt_myint(int a, int b) { return a > b; }

// ---------------------------------------------------------- SequenceVector

void SequenceVector::GrowVec() {
    push_back(Sequence());
    back().mDescription = "Empty";
}

void SequenceVector::AddSequence(Sequence& s) { AddCopy(*this, s, &Sequence::mBases); }

void SequenceVector::AddSubSequence(Sequence& s, long start, long end) {
    Sequence* src = &s;
    Sequence& last = GrowFrom(*this, src);
    src->GetSubSequence(last, start, end);
    // The range as the caller gave it, before clamping.
    last.mDescription = src->mDescription + RangeSuffix(start, end);
    last.mName = src->mName;
}

int SequenceVector::MaxSize() {
    size_t best = 0;
    for (const Sequence& s : *this) best = std::max(best, s.mBases.size());
    return static_cast<int>(best);
}

int SequenceVector::TotalBases() {
    // Unsigned sum: wraps instead of overflowing a signed int.
    unsigned int total = 0;
    for (const Sequence& s : *this) total += static_cast<unsigned int>(s.mBases.size());
    return static_cast<int>(total);
}

void SequenceVector::GetSortedSizes(std::vector<int>& sizes) {
    for (const Sequence& s : *this) sizes.push_back(static_cast<int>(s.mBases.size()));
    std::sort(sizes.begin(), sizes.end(), lt_myint);
}

int SequenceVector::N50() {
    std::vector<int> sizes;
    GetSortedSizes(sizes);
    const int total = TotalBases();
    // Halved in single precision, truncated toward zero.
    const float halfF = static_cast<float>(total) * 0.5f;
    const int half = static_cast<int>(halfF);
    long long running = 0;
    for (int size : sizes) {
        running += size;
        if (running >= half) return size;
    }
    return -1;
}

void SequenceVector::SizeStats(float& mean, float& variance) {
    const int n = static_cast<int>(size());
    double sum = 0.0;
    for (const Sequence& s : *this) sum += static_cast<double>(s.mBases.size());
    mean = static_cast<float>(sum / n);
    double squares = 0.0;
    for (const Sequence& s : *this) {
        const double d = static_cast<double>(s.mBases.size()) - static_cast<double>(mean);
        squares += d * d;
    }
    // Fewer than two records are not guarded: one gives NaN, none gives -0.0.
    variance = static_cast<float>((1.0 / (n - 1)) * squares);
}

void SequenceVector::Print(std::ostream& os) {
    for (Sequence& s : *this) {
        os << s.mName << " " << s.mDescription << std::endl;
        s.Print(os);
    }
}

void SequenceVector::FindEndOf(Sequence& tag, int& recordIndex, long& pos, bool& reversed) {
    const int n = static_cast<int>(size());
    if (n == 0) {
        pos = -1;
        recordIndex = -1;
        return;
    }
    int i = 0;
    int r;
    do {
        r = (*this)[i].FindEndOf(tag, reversed);
        ++i;
    } while (r < 0 && i < n);
    pos = r;
    recordIndex = i - 1;
}

// --------------------------------------------------- SequenceQualityVector

void SequenceQualityVector::GrowVec() { push_back(SequenceQuality()); }

void SequenceQualityVector::AddQuality(SequenceQuality& q) {
    AddCopy(*this, q, &SequenceQuality::mQuality);
}

int SequenceQualityVector::Phred20Total() {
    int total = 0;
    for (SequenceQuality& q : *this) total += q.CountPhred20();
    return total;
}

void SequenceQualityVector::Phred20Stats(float& mean, float& variance) {
    const int n = static_cast<int>(size());
    std::vector<float> counts;
    counts.reserve(size());
    for (SequenceQuality& q : *this) counts.push_back(static_cast<float>(q.CountPhred20()));
    double sum = 0.0;
    for (float c : counts) sum += c;
    mean = static_cast<float>(sum / n);
    double squares = 0.0;
    for (float c : counts) {
        const float d = c - mean;  // single precision difference
        squares += static_cast<double>(d) * static_cast<double>(d);
    }
    variance = static_cast<float>((1.0 / (n - 1)) * squares);
}

void SequenceQualityVector::Print(std::ostream& os) {
    for (SequenceQuality& q : *this) q.Print(os);
}
