#include "toolkit/MiscUtils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

void StartTiming(long& t) { t = static_cast<long>(std::clock()); }

double EndTiming(long t) {
    long d = static_cast<long>(std::clock()) - t;
    return static_cast<double>(d) / static_cast<double>(CLOCKS_PER_SEC);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// True when access refuses mode on name for a reason that an open for
// writing meets as well (not a passing fault such as EIO or ENOMEM).
static bool WritingRefused(const std::string& name, int mode, int& error) {
    if (access(name.c_str(), mode) == 0) return false;
    if (errno != EACCES && errno != EROFS && errno != ETXTBSY) return false;
    error = errno;
    return true;
}

bool OutputCannotBeCreated(const std::string& name, int& error) {
    if (name.empty()) {
        error = ENOENT;
        return true;
    }
    struct stat st;
    if (stat(name.c_str(), &st) == 0) {
        // An existing file is opened as it is: only its type and mode count.
        if (S_ISDIR(st.st_mode)) {
            error = EISDIR;
            return true;
        }
        return WritingRefused(name, W_OK, error);
    }
    // A trailing slash names a directory: open refuses to create one with an
    // error of its own (EISDIR), left to the open.
    if (name.back() == '/') return false;
    const int statError = errno;
    if (statError == ENOTDIR || statError == EACCES || statError == ELOOP ||
        statError == ENAMETOOLONG) {
        error = statError;  // the open resolves the same path and stops the same way
        return true;
    }
    // Only an absent name is created in its directory; a link to a missing
    // file would create that file, left to the open.
    if (statError != ENOENT || lstat(name.c_str(), &st) == 0) return false;
    const std::size_t slash = name.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : name.substr(0, slash);
    if (stat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT) return false;
        error = ENOENT;  // the directory is missing
        return true;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = ENOTDIR;
        return true;
    }
    return WritingRefused(dir, W_OK | X_OK, error);
}
