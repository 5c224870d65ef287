// The line layer under every reader of FASTA, quality and distribution text.
// (Chain files read back by HitChainer::ReadTabbed go through the other line
// layer, GetLine in toolkit/CLibraryAdditions.h, which keeps at most 299,999
// characters of a line and follows the same carriage-return rule.)
// It reads a line whole, whatever its length, and takes its end off: the
// newline, and one carriage return directly before it or standing as the last
// byte of the input, so that CR LF files read as their LF twins. A carriage
// return anywhere else stays in the text. The readers apply their own rules
// on top of it (header forms, trimming, what makes a record, the longest
// header they keep).

#ifndef TOOLKIT_LINEREADER_H
#define TOOLKIT_LINEREADER_H

#include <cstddef>
#include <cstring>
#include <istream>
#include <string>

// How one read of a line ended.
enum class LineEnd {
    Newline,     // the line ended at a newline
    EndOfInput,  // the line ran to the end of input without a newline
    None,        // nothing was left to read: no line
    Failed       // the stream failed before its end (read error, damaged gzip
                 // data, a stream given already failed); `line` holds what was
                 // read before the failure, its end not taken off
};

// The line-end rule for carriage returns: the length of a line's text of n
// characters once the one CR that ends it (the CR directly before its newline,
// or the input's last byte) is taken off. Every line reader applies it.
inline std::size_t LengthWithoutEndCR(const char* text, std::size_t n) {
    return n > 0 && text[n - 1] == '\r' ? n - 1 : n;
}

// Reads the next line of `in` into `line` (its previous text is replaced).
// Running out of memory while the line grows throws std::bad_alloc (the
// stream is then bad); every other failure while reading is LineEnd::Failed.
LineEnd ReadTextLine(std::istream& in, std::string& line);

// True for Newline and EndOfInput: a line was read.
inline bool GotLine(LineEnd e) { return e == LineEnd::Newline || e == LineEnd::EndOfInput; }

// True when the text holds a NUL byte: damaged text, for every reader.
inline bool HoldsNul(const std::string& text) {
    return !text.empty() && std::memchr(text.data(), '\0', text.size()) != nullptr;
}

// Cuts a header line to the longest a reader keeps; a data line is never cut.
inline void KeepHeader(std::string& line, std::size_t longest) {
    if (line.size() > longest) line.resize(longest);
}

// True when a stream failed for another reason than reaching its end.
inline bool StreamFailed(const std::istream& in) { return in.bad() || (in.fail() && !in.eof()); }

#endif
