#include "kmer/BigSequenceLocation.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

TEST(BigSequenceLocationTest, PacksIndexIntoNineteenBits) {
    BigSequenceLocation loc;
    EXPECT_EQ(loc.sourceIdx(), 0);
    EXPECT_EQ(loc.sourceStart(), 0);
    EXPECT_FALSE(loc.isReverse());
    const long cases[][2] = {{5, 5}, {524287, 524287}, {524288, 0}, {-1, 524287}};
    for (const auto& c : cases) {
        loc.setSourceIdx(c[0]);
        EXPECT_EQ(loc.sourceIdx(), c[1]) << c[0];
    }
    loc.setIsReverse();
    loc.setSourceIdx(3);
    loc.setSourceStart(-7);
    EXPECT_TRUE(loc.isReverse());
    EXPECT_EQ(loc.sourceIdx(), 3);
    EXPECT_EQ(loc.sourceStart(), -7);
    EXPECT_EQ(loc.mZeroBits, 0u);
}

TEST(LocationListTest, ListsOfOneShareCellsWithoutMixingUp) {
    // Lists of one location take pooled cells; growing, copying and freeing
    // them hands cells back and out again, and no list sees another's data.
    typedef SequenceLocationVecT<BigSequenceLocation> List;
    auto loc = [](long idx, long start) {
        BigSequenceLocation l;
        l.setSourceIdx(idx);
        l.setSourceStart(start);
        return l;
    };
    std::vector<List> lists(3000);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < lists.size(); ++i) {
            if ((i + round) % 3 == 0) List().swap(lists[i]);  // frees its cells
            lists[i].push_back(loc((long)i, round));
        }
        std::vector<List> copies(lists.begin(), lists.begin() + 500);
        for (std::size_t i = 0; i < lists.size(); ++i) {
            const List& l = lists[i];
            ASSERT_FALSE(l.empty());
            for (std::size_t j = 0; j < l.size(); ++j) {
                EXPECT_EQ(l[j].sourceIdx(), (long)i);
                EXPECT_EQ(l[j].sourceStart(), round - (long)(l.size() - 1 - j)) << i;
            }
            if (i < copies.size()) {
                EXPECT_EQ(copies[i].back().sourceStart(), round);
            }
        }
    }
}

}  // namespace
