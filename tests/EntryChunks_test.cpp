#include "toolkit/EntryChunks.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

int gLive = 0;  // entries constructed and not yet destroyed

struct Counted {
    Counted() : mValue(-1) { ++gLive; }
    ~Counted() { --gLive; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    long mValue;
    char mPad[24];
};

// Entries never move as chunks are added, through blocks growing from one
// chunk up to huge pages; each is constructed once when its chunk is added
// and destroyed once with the array, a moved array included.
TEST(EntryChunksTest, EntriesNeverMoveAndLiveAsLongAsTheArray) {
    typedef EntryChunks<Counted, 4> Chunks;  // 16 entries, 512 bytes a chunk
    const std::size_t chunks = 10000;        // past 4,096 chunks, a huge page's worth
    {
        Chunks a;
        std::vector<Counted*> where;
        for (std::size_t c = 0; c < chunks; ++c) {
            a.Add();
            ASSERT_EQ(gLive, static_cast<int>((c + 1) * Chunks::kChunkEntries));
            for (std::size_t e = 0; e < Chunks::kChunkEntries; ++e) {
                const std::size_t i = c * Chunks::kChunkEntries + e;
                Counted& entry = a.At(i);
                ASSERT_EQ(&entry, a[c] + e);
                ASSERT_EQ(entry.mValue, -1) << i;
                entry.mValue = static_cast<long>(i);
                where.push_back(&entry);
            }
        }
        Chunks moved(std::move(a));
        ASSERT_EQ(moved.Chunks(), chunks);
        for (std::size_t i = 0; i < where.size(); ++i) {
            ASSERT_EQ(&moved.At(i), where[i]) << i;
            ASSERT_EQ(where[i]->mValue, static_cast<long>(i)) << i;
        }
    }
    EXPECT_EQ(gLive, 0);
}

}  // namespace
