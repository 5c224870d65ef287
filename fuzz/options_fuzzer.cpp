// The command-line option parser: whatever the words, it hands out each word
// at most once (an option's letter, an argument or a free argument), reports
// a fault at most once, and then keeps answering "none left". On a command
// line it accepts, it hands out every word.
//
// Input: words separated by NUL bytes. Byte 0 picks the option string (the
// two programs' own, or the first word).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "toolkit/GetOption.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    std::vector<std::string> words(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    std::string optString;
    switch (data[0] % 3) {
        case 0:
            optString = "s:q:o:K:M:m:T:D:A:W:L:Pk:";
            break;
        case 1:
            optString = "k:t:f:m:";
            break;
        default:
            optString = words[0];
            words.erase(words.begin());
            break;
    }

    std::vector<std::string> argvText;
    argvText.push_back("prog");
    argvText.insert(argvText.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& w : argvText) argv.push_back(&w[0]);
    argv.push_back(nullptr);

    // What may be handed out, and how often: the letter of every word led by
    // '-', and every other word (or the text after an option's letter).
    std::map<char, int> letters;
    std::map<std::string, int> args;
    int dashWords = 0, otherWords = 0, attached = 0;
    // "-?", "-0" and the word "?" hand out what also means a fault or none left.
    bool ambiguous = false;
    for (const std::string& w : words) {
        if (!w.empty() && w[0] == '-') {
            ++dashWords;
            if (w.size() > 1 && (w[1] == '?' || w[1] == '0')) ambiguous = true;
            if (w.size() > 1) ++letters[w[1]];
            if (w.size() > 2) {
                ++attached;
                ++args[w.substr(2)];
            }
        } else {
            if (w == "?") ambiguous = true;
            ++otherWords;
            ++args[w];
        }
    }

    GetOption options(static_cast<int>(argvText.size()), argv.data(), optString.c_str());
    const bool accepted = options.mValid != 0;
    int faults = 0, lettersOut = 0, argsOut = 0;
    // One call more than there are words must reach "none left".
    const int calls = static_cast<int>(words.size()) + 2;
    for (int i = 0; i < calls; ++i) {
        const char c = options.NextOption();
        if (c == '0') continue;
        if (c == '?') {
            ++faults;
            continue;
        }
        if (!ambiguous) FUZZ_CHECK(--letters[c] >= 0);
        ++lettersOut;
    }
    // Arguments: every other one through GetIntArg, which converts any text.
    // At most the other words and the texts after option letters exist.
    const int mostArgs = otherWords + attached;
    for (int i = 0; i < calls; ++i) {
        if (i % 2 == 1 && argsOut < otherWords) {
            options.GetIntArg();
            ++argsOut;
            continue;
        }
        const std::string a = options.NextArg();
        if (a == "?") {
            ++faults;
            continue;
        }
        if (argsOut >= mostArgs) {
            FUZZ_CHECK(a.empty());  // none left, and it stays so
            continue;
        }
        if (a.empty() && args[""] == 0) continue;  // none left
        if (!ambiguous) FUZZ_CHECK(--args[a] >= 0);
        ++argsOut;
    }
    FUZZ_CHECK(options.NextOption() == '0');
    FUZZ_CHECK(options.NextArg().empty());
    if (!ambiguous) FUZZ_CHECK(faults <= 1);
    if (accepted && !ambiguous) {
        FUZZ_CHECK(faults == 0);
        FUZZ_CHECK(lettersOut == dashWords);
        FUZZ_CHECK(argsOut >= otherWords && argsOut <= mostArgs);
    }
    return 0;
}
