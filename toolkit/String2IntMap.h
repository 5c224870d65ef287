// Hash map from text to int over its own string hash.
#ifndef TOOLKIT_STRING2INTMAP_H
#define TOOLKIT_STRING2INTMAP_H

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

// h = 5 * h + c over the characters taken as signed 8-bit values, in 32 bits.
struct BasicStringHashF {
    uint32_t operator()(const std::string& s) const;
};

class String2IntMap
    : public std::unordered_map<std::string, int, BasicStringHashF, std::equal_to<std::string>> {
public:
    String2IntMap();
    ~String2IntMap();
};

#endif
