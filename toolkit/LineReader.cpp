#include "toolkit/LineReader.h"

LineEnd ReadTextLine(std::istream& in, std::string& line) {
    line.clear();
    if (!in.good()) {
        // Nothing can be read; a stream at its end after a clean last line
        // has no further line, any other state is a failure.
        return StreamFailed(in) ? LineEnd::Failed : LineEnd::None;
    }
    std::getline(in, line);
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
