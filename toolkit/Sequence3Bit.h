#ifndef TOOLKIT_SEQUENCE3BIT_H
#define TOOLKIT_SEQUENCE3BIT_H

#include <iosfwd>
#include <string>
#include <vector>

class Sequence;

// A nucleotide record packed at three bits per base, ten bases to a 32-bit
// word. Base i sits in bits 3*(i%10) .. 3*(i%10)+2 of word i/10; bits 30 and
// 31 of every word stay 0. A character is stored as (c & 0x0E) >> 1, which
// gives A 0, C 1, T 2, G 3, X 4, N 7 in either case; codes read back as the
// letters "ACTGX??N".
//
// Invariants kept by every member except a direct Set:
//   mBaseSize == 10 * mWordIndex + mWordSlot;
//   unused slots of the current word and all later words are 0;
//   mWords may hold spare zero words behind the current one.
// Positions are not checked against the record.
class Sequence3Bit {
public:
    std::vector<int> mWords;
    std::string mName;
    std::string mDescription;
    int mBaseSize;
    int mWordSlot;   // bases in the current word, 0..10 (10: word full)
    int mWordIndex;  // index of the word that holds the last base

    Sequence3Bit();
    // Re-encodes other's letters through Concatenate, so codes 5 and 6
    // (read back as '?') become code 7 ('N') in the copy.
    Sequence3Bit(const Sequence3Bit& other);
    // Member-wise copy: codes and spare words are kept as they are.
    Sequence3Bit& operator=(const Sequence3Bit& other);
    ~Sequence3Bit();

    // Letter of base i.
    char operator[](int i) const;

    // Stores c's code in slot `slot` of word `word`, appending one zero word
    // first when word equals the number of words. Counts are not changed.
    void Set(int word, int slot, char c);

    int NumBases();

    // The appends. One that would take mBaseSize past INT_MAX throws
    // std::length_error before it changes anything.
    void ConcatenateCString(const char* s);
    // Appends s up to its first NUL character.
    void ConcatenateString(std::string& s);
    void ConcatenateSequence(Sequence& seq);
    // Appends other's letters; other may be this record.
    void Concatenate(const Sequence3Bit& other);
    // Appends the characters of s that come before its first low-quality
    // character (any byte with bit 0x20 set).
    void ConcatenateCStringTrimLowQual(const char* s);

    // Writes "You've found a bug n=<n> mBaseSize=<size>" to standard output.
    void Bug(int n);

    // Read the next FASTA record from is, lines read whole (a CR that ends a
    // line goes with its newline); the caller's line buffer buf of bsize bytes
    // carries the next header between calls, cut to bsize - 1 characters; set
    // buf[0] = '1' before the first call. Both return 1 when a record was read
    // (also at end of input) and 0 when reading failed: on a NUL in a line
    // that holds anything else (reported on standard error; a line of nothing
    // but NULs counts as empty), when the stream fails before end of input,
    // and GetNextReadTrimLowQual when buf holds neither '1' nor a header.
    int GetNextRead(std::istream& is, char* buf, int bsize);
    // Skips the low-quality start of the record and cuts each line at its
    // first low-quality character.
    int GetNextReadTrimLowQual(std::istream& is, char* buf, int bsize);

    // Empties out and fills it with bases start..end (clamped, inclusive),
    // dropping codes 5 and 6; out's description gets "[start,end]" appended.
    void GetSubSequence(Sequence3Bit& out, int start, int end);
    // Empties out and fills it with this record's bases in reverse order.
    void Reverse(Sequence3Bit& out);
    // Appends this record's reverse complement to out (out is not emptied).
    void ReverseComplement(Sequence3Bit& out);
    // Writes the letters to os, an end of line after every position that is a
    // nonzero multiple of 50; an empty record writes "No sequence" to stdout.
    void Print(std::ostream& os);
    // Whether positions start..start+length-1 (cut at the last base) hold
    // only codes 0 to 3 / some code of 4 to 7.
    bool OnlyBases(int start, int length);
    bool ContainsNX(int start, int length);
};

#endif
