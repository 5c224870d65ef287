#include "toolkit/String2IntMap.h"

uint32_t BasicStringHashF::operator()(const std::string& s) const {
    uint32_t h = 0;
    for (char ch : s)
        h = 5u * h + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(ch)));
    return h;
}

String2IntMap::String2IntMap() : unordered_map(100) {}

String2IntMap::~String2IntMap() {}
