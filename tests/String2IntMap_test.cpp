#include "toolkit/String2IntMap.h"

#include <gtest/gtest.h>

TEST(BasicStringHashF, FiveTimesPlusSignedCharacter) {
    BasicStringHashF h;
    EXPECT_EQ(h(""), 0u);
    EXPECT_EQ(h("a"), 97u);
    EXPECT_EQ(h("ab"), 5u * 97u + 98u);
    EXPECT_EQ(h("abc"), (5u * 97u + 98u) * 5u + 99u);
    // Bytes above 127 count as negative 8-bit values.
    EXPECT_EQ(h(std::string("\xff", 1)), 0xFFFFFFFFu);
    EXPECT_EQ(h(std::string("\x80"
                            "a",
                            2)),
              5u * static_cast<uint32_t>(-128) + 97u);
    // 32-bit wrap-around on long keys.
    EXPECT_EQ(h(std::string(40, 'z')), 4121410544u);
}

TEST(String2IntMap, StartsEmptyAndWorksAsAMap) {
    String2IntMap m;
    EXPECT_TRUE(m.empty());
    EXPECT_GE(m.bucket_count(), 100u);
    m["chr1"] = 1;
    m["chr2"] = 2;
    m["chr1"] = 3;
    EXPECT_EQ(m.size(), 2u);
    EXPECT_EQ(m.at("chr1"), 3);
    EXPECT_EQ(m.count("chr3"), 0u);
}
