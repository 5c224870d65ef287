#include "toolkit/LineReader.h"

#include <exception>
#include <new>

namespace {

// Sets badbit in the exception mask of a stream that had none and clears the
// mask again when it goes out of scope. A stream whose caller set a mask of
// its own is left as it is.
class BadbitThrows {
public:
    explicit BadbitThrows(std::istream& in) : mIn(in), mSet(in.exceptions() == std::ios::goodbit) {
        if (mSet) mIn.exceptions(std::ios::badbit);
    }
    ~BadbitThrows() {
        if (mSet) mIn.exceptions(std::ios::goodbit);  // an empty mask never throws
    }
    BadbitThrows(const BadbitThrows&) = delete;
    BadbitThrows& operator=(const BadbitThrows&) = delete;

private:
    std::istream& mIn;
    bool mSet;
};

}  // namespace

LineEnd ReadTextLine(std::istream& in, std::string& line) {
    line.clear();
    if (!in.good()) {
        // Nothing can be read; a stream at its end after a clean last line
        // has no further line, any other state is a failure.
        return StreamFailed(in) ? LineEnd::Failed : LineEnd::None;
    }
    // getline catches whatever is thrown while it reads and only marks the
    // stream bad, unless badbit is in the exception mask: then it throws it
    // on. Memory running out while a long line grows must reach the caller as
    // std::bad_alloc, not pass for a damaged file; any other failure (a read
    // error, which may itself throw through the mask) stays a failed read.
    try {
        BadbitThrows mask(in);
        std::getline(in, line);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return LineEnd::Failed;
    }
    if (in.bad()) return LineEnd::Failed;
    if (in.fail())
        // getline fails without a character taken only at the end of input;
        // any other failure (a line beyond what a string can hold) is an error.
        return in.eof() && line.empty() ? LineEnd::None : LineEnd::Failed;
    // A line that ran to the end of input leaves eof set; one ended by a
    // newline does not, even when the newline was the input's last byte.
    const LineEnd end = in.eof() ? LineEnd::EndOfInput : LineEnd::Newline;
    line.resize(LengthWithoutEndCR(line.data(), line.size()));
    return end;
}
