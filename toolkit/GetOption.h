// One-letter command-line option parser. A letter followed by ':' in the
// option string takes the next word as its argument; 'h' and '?' are always
// recognised. Faults are only recorded: NextOption or NextArg reports them
// once, as '?' / "?".
#ifndef TOOLKIT_GETOPTION_H
#define TOOLKIT_GETOPTION_H

#include <string>
#include <vector>

class GetOption {
public:
    GetOption(int argc, char** argv, const char* optString);
    ~GetOption();

    char NextOption();           // next letter; '?' once if invalid; '0' when none left
    std::string NextArg();       // next string; "?" once if invalid; "" when exhausted
    std::string GetFreeArg();    // NextArg
    std::string GetStringArg();  // NextArg
    int GetIntArg();             // atoi of NextArg
    bool ArgsLeft() const;       // a string not yet handed out (an empty word counts)

    int mValid;
    std::vector<char> mOptions;
    std::vector<std::string> mArgs;  // option arguments, then free arguments
    std::string mOptString;
    unsigned int mOptIdx;
    unsigned int mArgIdx;
    std::string mConsumed;
};

#endif
