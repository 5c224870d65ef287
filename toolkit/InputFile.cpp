#include "toolkit/InputFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

bool OpenInputFile(igzstream& in, const std::string& name, std::string& reason) {
    struct stat st;
    if (stat(name.c_str(), &st) != 0) {
        reason = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    // zlib opens a directory without complaint; only its reads would fail.
    if (S_ISDIR(st.st_mode)) {
        reason = "cannot open: Is a directory";
        return false;
    }
    errno = 0;
    in.open(name.c_str(), std::ios::in);
    if (in.fail()) {
        reason = std::string("cannot open: ") + (errno ? std::strerror(errno) : "open failed");
        return false;
    }
    // The first read finds unreadable files and damaged gzip headers now,
    // before the caller writes anything.
    in.peek();
    if (in.bad()) {
        reason = "read error (unreadable file or damaged gzip data)";
        return false;
    }
    in.clear();  // an empty file: the end found by peek is found again by the reader
    return true;
}
