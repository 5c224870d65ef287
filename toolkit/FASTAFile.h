// Reader and writer of FASTA sequence text and of quality files.
//
// Record-at-a-time readers (GetNextSequence) return one record per call from
// a stream of any length; the whole-input readers (Read, Append, Read0) fill a
// SequenceVector. Lines are read whole through the line layer
// (toolkit/LineReader.h): a CR that ends a line goes with its newline, a data
// line of any length is kept whole, and a header line keeps at most 4,899
// characters for Read, Append and ReadQual, size - 1 for the four-argument
// GetNextSequence (zarn's query headers: 4,998) and 299,999 for every other
// reader, and drops the rest. A stream that fails without
// reaching end of input, or a line holding a NUL byte (damaged text), ends
// every reading loop with failure: the records before it stay, the stream
// readers set badbit on the stream for a NUL, and the readers with a result
// return 0. Memory running out, also while a long line is read, throws
// std::bad_alloc to the caller.
//
// The record-at-a-time readers take lines before the first header line as a
// record with an empty name and description.
//
// Header forms: "split" (name = first word after '>', description = the rest
// after the one white-space character that ended the name), "whole-name"
// (name = the whole line after '>') and "description" (description = the
// whole line after '>', name empty).

#ifndef TOOLKIT_FASTAFILE_H
#define TOOLKIT_FASTAFILE_H

#include <cstddef>
#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "toolkit/Sequence.h"

class FASTAFile {
public:
    FASTAFile();
    ~FASTAFile();

    // Next record, split header. Before the first call the caller writes '1'
    // into buffer[0]; afterwards the buffer carries the next record's header
    // line between calls. Returns 0 when a line holds a NUL byte (the record
    // keeps the lines before it, the buffer holds the line) or when the
    // stream failed (badbit, or failbit without end of input); 2 when a data
    // line would make the record longer than `longest` bases (the record keeps
    // the lines before it; the rest of the record is not read, so the caller
    // stops there); else 1. After each call the caller tests in.eof() and
    // stops when it is set.
    int GetNextSequence(std::istream& in, char* buffer, int size, Sequence& record,
                        std::size_t longest = static_cast<std::size_t>(-1));

    // Next record, whole-name header; the next header waits in mPendingHeader.
    // The description is not touched. A line holding a NUL byte ends the
    // record before it and sets badbit on the stream.
    void GetNextSequence(std::istream& in, Sequence& record);
    // The same record read line by line: name as record.mName, and each data
    // line, trailing white space stripped, handed to onLine in turn instead
    // of being gathered (the bases of the record are the lines joined).
    void GetNextSequence(std::istream& in, std::string& name,
                         const std::function<void(const char*, std::size_t)>& onLine);

    // Whole input, split headers, one trailing white-space character of each
    // data line removed. Data lines before the first header form a record with
    // empty name and description (Append: they go to the last record held).
    int Read(std::istream& in, SequenceVector& records);
    int Append(std::istream& in, SequenceVector& records);
    int Read(std::string fileName, SequenceVector& records);
    int Read(std::istream& in, Sequence& record);
    int Read(std::string fileName, Sequence& record);

    // Whole file, description headers; only ACGTNX/acgtnx are kept. 1, or 0
    // when the file does not open or is damaged.
    int Read0(std::string fileName, SequenceVector& records);
    int Read0(std::string fileName, Sequence& record);

    // FASTA text: '>' name ' ' description, then mBasesPerLine bases a line.
    void Write(std::ostream& out, SequenceVector& records);
    void Write(std::ostream& out, Sequence& record);
    void Write(std::string fileName, SequenceVector& records);
    void Write(std::string fileName, Sequence& record);

    // Quality files: header as Write, then mQualsPerLine values a line.
    void WriteQual(std::ostream& out, SequenceQuality& record);
    void WriteQual(std::ostream& out, SequenceQualityVector& records);
    void WriteQual(std::string fileName, SequenceQualityVector& records);
    void WriteQual(std::string fileName, SequenceQuality& record);

    int ReadQual(std::istream& in, SequenceQualityVector& records);
    int ReadQual(std::string fileName, SequenceQualityVector& records);
    int ReadQual(std::string fileName, SequenceQuality& record);
    int ReadQual0(std::string fileName, SequenceQualityVector& records);
    int ReadQualX(std::istream& in, SequenceQualityVector& records);

    int mReserveSize;            // bases (values) reserved per record started
    int mBasesPerLine;           // bases per line written by Write
    int mQualsPerLine;           // values per line written by WriteQual
    std::string mPendingHeader;  // header read ahead by the two-argument reader
};

#endif
