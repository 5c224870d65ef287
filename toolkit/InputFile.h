// Opening an input file for reading through the gzip input stream, with the
// checks that both programs make before they read or write anything.
#ifndef TOOLKIT_INPUTFILE_H
#define TOOLKIT_INPUTFILE_H

#include <string>

#include "toolkit/gzstream.h"

// Opens name (plain or gzip) into in and tries its first byte, so that a
// missing or unreadable file, a directory, or damaged gzip data at its start
// is found now. Returns false with the reason in reason ("cannot open: ..."
// or "read error (...)", without the file name); on success the stream
// stands at the file's start, an empty file included.
bool OpenInputFile(igzstream& in, const std::string& name, std::string& reason);

#endif
