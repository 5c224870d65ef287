// Sequence records, quality records and their collections.
//
// A Sequence holds the characters of one nucleotide record by value, with its
// name, description and two lazily built maps between padded positions (every
// character) and depadded base numbers (every character except '*' and '-').
// A SequenceQuality holds one integer quality value per base. SequenceVector
// and SequenceQualityVector are ordered collections of them; the readers and
// writers use them directly as std::vector.
//
// Positions are 0-based; -1 stands for "none". No member checks a position
// against the record: callers keep to the limits documented with each member.

#ifndef TOOLKIT_SEQUENCE_H
#define TOOLKIT_SEQUENCE_H

#include <iosfwd>
#include <string>
#include <vector>

class Sequence {
public:
    std::vector<char> mBases;           // the characters, not NUL-terminated
    std::vector<int> mDepadded2Padded;  // 1-based base number -> padded position
    std::vector<int> mPadded2Depadded;  // padded position -> bases at and before it
    std::string mDescription;           // header text after the name
    std::string mName;                  // first word of the header

    // Copying copies all five fields; the copy shares nothing with its source.

    // Per-character tests; they never look at a record.
    // Strict bases: A C G T a c g t.
    static bool IsBase(char c);
    // A C G T N X a c g t n x.
    static bool IsBaseNX(char c);
    // A<->T, C<->G, a<->t, c<->g; every other byte maps to itself.
    static char ComplementBase(char c);

    // Content tests. A range is start .. start+length-1 and lies inside the
    // record; an empty record or range holds no character.
    // "Upper case" means bits 0x08 and 0x20 both clear: passes A C G T, fails
    // lower case, N and X, but also passes B D E F P Q R S U V W.
    bool OnlyUpperCaseBases();
    bool OnlyUpperCaseBases(int start, int length);
    bool ContainsOnlyBasesSafe();
    bool ContainsOnlyBasesSafe(int start, int length);
    bool ContainsNonBaseSafe(int start, int length);

    // In-place edits of mBases; name, description and maps are not touched.
    void ToUpperCase();
    void ToLowerCase();
    // Every character that is not a strict base becomes 'n'.
    void Nify();
    // Positions 0 .. left and right .. length-1 become 'X' (left < length;
    // a negative left masks nothing; a negative right or one at or beyond the
    // length masks nothing at the back).
    void Trim(long left, long right);
    void Complement();
    void Reverse();
    void ReverseComplement();
    void InitFromCString(char* s);
    void InitFromCString(const char* s);
    // Strips space, tab and newline from s itself, then appends what is left.
    void InitFromString(std::string& s);
    // other may be this record.
    void Concatenate(Sequence& other);
    void ConcatenateString(std::string& s);
    void ConcatenateCString(char* s);
    // Appends s.size() bytes: strict bases as they are, every other byte as 0.
    void ConcatenateStringSafe(std::string& s);
    // Appends every character of s except space, tab and newline.
    void ConcatenateNonWhiteSpace(std::string& s);

    // out must hold at least length + 1 bytes; a NUL ends the copy.
    void CopyToCString(char* out);
    // Appends the characters to out (out is not cleared).
    void CopyToString(std::string& out);

    // "name description" (flushed line), then the characters on one line.
    void Print(std::ostream& os);
    // The characters, then a newline.
    void PrintSeq(std::ostream& os);

    // length = characters, gc = C/G count, cpg = count of "cg" pairs.
    // Leaves the record lower-cased.
    void ComputeGCStats(int& length, int& gc, int& cpg);

    // Coordinate maps. The padded-to-depadded map is rebuilt by the
    // conversions whenever its size differs from the number of characters;
    // the depadded-to-padded map is built by Depadded2Padded only while empty.
    // On a record without characters the conversions give p + 1 and d - 1;
    // results beyond the int range are held at INT_MIN or INT_MAX.
    void ComputePadded2Depadded();
    int Padded2Depadded(int p);
    void ComputeDepadded2Padded();
    int Depadded2Padded(int d);
    // Removes every '*' and '-'; empties both maps.
    void depad();

    // out receives characters start .. end (inclusive, clamped), this
    // record's name, and its description followed by "[start+1,end+1]" of the
    // range actually copied. An empty range leaves out without characters and
    // with its own name and description.
    void GetSubSequence(Sequence& out, long start, long end);

    // Exact (case-sensitive) searches; the first match wins; -1 when absent.
    int Find(Sequence& pattern);
    // Searches from `from` (0 <= from <= length); on success from = match + 1.
    int Find(Sequence& pattern, long& from);
    int Find(std::vector<char>::iterator first, std::vector<char>::iterator last);

    // Lower-cases this record; returns the position of the last character of
    // the tag's occurrence, forward first, then as reverse complement.
    int FindEndOf(Sequence tag, bool& reversed);
    // Searches the piece start .. end-1 of the tag (0 <= start <= end); on
    // the forward strand pos is the position just after the occurrence. If
    // the forward piece is absent, the mirror piece of the reverse complement
    // is searched with reversed = true and pos reported the same way (-1 when
    // absent). Lower-cases the tag and this record.
    void FindEndOfTag(Sequence& tag, int start, int end, long& pos, bool& reversed);
};

// Writes the characters of s and nothing else.
std::ostream& operator<<(std::ostream& os, const Sequence& s);

class SequenceQuality {
public:
    std::vector<int> mQuality;  // one value per base; above 19 is Phred 20
    std::string mDescription;
    std::string mName;

    // First Phred 20 position at or after from; size - 1 when none.
    int FindPhred20(long from);
    // Last Phred 20 position at or before from (from < size); 0 when none.
    int RFindPhred20(long from);
    int RFindPhred20();
    int CountPhred20();
    // Sequence::Trim with 0 in place of 'X'.
    void Trim(long left, long right);
    void Reverse();
    // other may be this record.
    void Concatenate(SequenceQuality& other);
    void GetSubSequence(SequenceQuality& out, long start, long end);
    // ">name description", then the values, 51 on the first line, 50 on
    // each further one, each followed by a space.
    void Print(std::ostream& os);
    void Print();
};

// True when a > b: sorting with it gives descending order.
bool lt_myint(int a, int b);

class SequenceVector : public std::vector<Sequence> {
public:
    std::string mName;  // kept for the record; no member uses it

    // Appends a default record whose description is "Empty".
    void GrowVec();
    // s may be a record of this collection.
    void AddSequence(Sequence& s);
    // Appends s's characters start .. end (clamped); the description gets
    // "[start+1,end+1]" of the range as given, before clamping. s may be a
    // record of this collection.
    void AddSubSequence(Sequence& s, long start, long end);
    int MaxSize();
    int TotalBases();
    // Appends the sizes to sizes, then sorts all of sizes in descending order.
    void GetSortedSizes(std::vector<int>& sizes);
    // -1 for an empty collection.
    int N50();
    // Mean and sample variance (divisor n - 1) of the record sizes.
    void SizeStats(float& mean, float& variance);
    // Each record: its header line, then the record's own Print.
    void Print(std::ostream& os);
    // First record holding the tag on either strand; pos is the position of
    // the occurrence's last character. Searched records are lower-cased.
    // Not found: pos -1, recordIndex size - 1 (-1 for an empty collection).
    void FindEndOf(Sequence& tag, int& recordIndex, long& pos, bool& reversed);
};

class SequenceQualityVector : public std::vector<SequenceQuality> {
public:
    void GrowVec();
    // q may be a record of this collection.
    void AddQuality(SequenceQuality& q);
    int Phred20Total();
    // Mean and sample variance of the per-record Phred 20 counts.
    void Phred20Stats(float& mean, float& variance);
    void Print(std::ostream& os);
};

#endif
