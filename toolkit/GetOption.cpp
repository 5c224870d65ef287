#include "toolkit/GetOption.h"

#include "toolkit/CLibraryAdditions.h"

GetOption::GetOption(int argc, char** argv, const char* optString)
    : mValid(1), mOptString(optString ? optString : ""), mOptIdx(0), mArgIdx(0) {
    mOptString += 'h';
    mOptString += '?';
    std::vector<std::string> freeArgs;

    for (int i = 1; i < argc; ++i) {
        const char* w = argv[i];
        if (w[0] != '-') {
            freeArgs.push_back(w);
            continue;
        }
        char letter = w[1];  // NUL for a lone '-'
        size_t j = mOptString.find(letter);
        if (letter == '\0' || j == std::string::npos) {
            mValid = 0;
            continue;
        }
        mOptions.push_back(letter);
        bool takesArg = j + 1 < mOptString.size() && mOptString[j + 1] == ':';
        if (!takesArg) continue;  // characters after the letter are ignored
        if (w[2] != '\0') {
            mValid = 0;  // value written against the letter
        } else if (i + 1 >= argc) {
            mValid = 0;  // no word left for the argument
        } else if (argv[i + 1][0] == '-') {
            mValid = 0;  // the next word is parsed in its own turn
        } else {
            mArgs.push_back(argv[i + 1]);
            ++i;
        }
    }
    mArgs.insert(mArgs.end(), freeArgs.begin(), freeArgs.end());
}

GetOption::~GetOption() {}

char GetOption::NextOption() {
    if (mValid == 0) {
        mValid = 1;
        mOptIdx = static_cast<unsigned int>(mOptions.size());
        return '?';
    }
    if (mOptIdx < mOptions.size()) {
        char c = mOptions[mOptIdx++];
        mConsumed += c;
        return c;
    }
    return '0';
}

std::string GetOption::NextArg() {
    if (mValid == 0) {
        mValid = 1;
        mArgIdx = static_cast<unsigned int>(mArgs.size());
        return "?";
    }
    if (mArgIdx < mArgs.size()) {
        const std::string& a = mArgs[mArgIdx++];
        mConsumed += a;
        return a;
    }
    return "";
}

bool GetOption::ArgsLeft() const { return mArgIdx < mArgs.size(); }

std::string GetOption::GetFreeArg() { return NextArg(); }

std::string GetOption::GetStringArg() { return NextArg(); }

int GetOption::GetIntArg() { return atoi(NextArg()); }
