// String parsing helpers: white space, words, fields, number scanners and
// keyword / line searches. Positions are 0-based ints; -1 stands for none.
#ifndef TOOLKIT_PARSEUTILS_H
#define TOOLKIT_PARSEUTILS_H

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

// Character sets: white space is space, tab and newline (not carriage return).
extern const std::string gWS;         // " \t\n"
extern const std::string gNumbers;    // "1234567890"
extern const std::string gLetters;    // "a".."z"
extern const std::string gUCLetters;  // "A".."Z"

// The one white-space test of the toolkit: a character of gWS.
inline bool IsWS(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Editing in place.
void StripLeadingSpaces(std::string& s);
void StripTrailingSpace(std::string& s);
void StripWhiteSpace(std::string& s);
void ToLowerCase(std::string& s);
void ToUpperCase(std::string& s);

// One line per character: "index:char", with SPACE, TAB and NEWLINE spelled out.
void ShowHidden(const std::string& s, std::ostream& os);

// Tests.
bool StartsWith(const std::string& s, const std::string& t);
bool StartsWith(const std::string& s, const char* t);
bool Contains(const std::string& s, const std::string& t);
bool Contains(const std::string& s, const char* t);
bool ContainsOnlyWS(const std::string& s);
bool ContainsOnlyDigits(const std::string& s, int from, int to);
bool IsBase(char c);  // ACGTNX in either case

// Words and fields.
std::string GetNextWSDelimitedString(const std::string& s, int from, int& next);
std::string SplitNext(const std::string& s, int& pos);
std::string NextString(const std::string& s, int& pos);
int GetAllWSStrings(const std::string& s, std::vector<std::string>& out);
int Split(const std::string& s, std::vector<std::string>& out);
void Split(const std::string& s, std::vector<std::string>& out, std::string delim);
int CutString(const std::string& s, std::string& out, int n, char delim);
int Cut(const std::string& s, std::string& out, int n, char delim);

// Numbers.
int FindNextInteger(const std::string& s, int from, int& start, int& end);
int FindNextDouble(const std::string& s, int from, int& start, int& end);
int GetNextInteger(const std::string& s, int from, int& next);
long GetNextLong(const std::string& s, int from, int& next);
uint64_t GetNextUInt64(const std::string& s, int from, int& next);
double GetNextDouble(const std::string& s, int from, int& next);
int NextInt(const std::string& s, int& pos);
long NextLong(const std::string& s, int& pos);
double NextDouble(const std::string& s, int& pos);
float NextFloat(const std::string& s, int& pos);
int GetAllIntegers(const std::string& s, std::vector<int>& out);
int GetAllDoubles(const std::string& s, std::vector<double>& out);
void GetIntsFromLine(std::string line, std::vector<int>& out);
void GetIntsFromLine(char* line, std::vector<int>& out);  // cuts line in place

// Keyword and line search. The stream readers read whole lines through the
// line layer (toolkit/LineReader.h); a failed stream or a line holding a NUL
// byte (badbit is then set) ends the search with false.
int FindNextOf(const std::vector<std::string>& keys, const std::string& line, int from, int& start,
               int& end);
bool GetNextKeyword(const std::vector<std::string>& keys, const std::string& line, int from,
                    int& next, std::string& keyword);
void GetRemainderAfter(const char* key, const std::string& line, std::string& out);
bool GetNextLineContaining(std::istream& in, const std::string& key, std::string& line);
bool GetNextLineContaining(std::istream& in, const char* key, std::string& line);
bool GetNextLineContaining(std::istream& in, const char* key1, const char* key2, std::string& line);
bool GetNextLineContaining(std::istream& in, const std::vector<std::string>& keys,
                           std::string& line, int& which);
bool FindTokenPlusWS(std::istream& in, std::string token, std::string& line);

#endif
