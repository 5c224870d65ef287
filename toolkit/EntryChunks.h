// A growing array of entries, in chunks of 2^ChunkBits entries that never
// move once added: a reference to an entry stays valid as long as the
// array, so a table over them can grow without touching them. The chunks
// are carved from blocks of memory that double from one chunk up to a huge
// page (a small array stays small, a large one gets huge pages). Every entry
// of a chunk is default-constructed when the chunk is added, and destroyed
// with the array.

#ifndef TOOLKIT_ENTRYCHUNKS_H
#define TOOLKIT_ENTRYCHUNKS_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "toolkit/HugePages.h"

template <class Entry, unsigned ChunkBits>
class EntryChunks {
public:
    static constexpr std::size_t kChunkEntries = std::size_t(1) << ChunkBits;

    EntryChunks() {}
    EntryChunks(const EntryChunks&) = delete;
    EntryChunks& operator=(const EntryChunks&) = delete;
    EntryChunks(EntryChunks&& o) noexcept { Swap(o); }
    EntryChunks& operator=(EntryChunks&& o) noexcept {
        EntryChunks(std::move(o)).Swap(*this);
        return *this;
    }
    ~EntryChunks() {
        for (Entry* c : mChunks) std::destroy_n(c, kChunkEntries);
    }
    void Swap(EntryChunks& o) noexcept {
        mBlocks.swap(o.mBlocks);
        mChunks.swap(o.mChunks);
        std::swap(mLeft, o.mLeft);
    }
    // Room in the chunk list for chunks chunks (the chunks themselves are
    // allocated as they are added).
    void reserve(std::size_t chunks) { mChunks.reserve(chunks); }
    // Appends a chunk of kChunkEntries default-constructed entries.
    void Add() {
        // Room first, so that a chunk whose entries are constructed is counted.
        if (mChunks.size() == mChunks.capacity()) mChunks.reserve(2 * mChunks.size() + 16);
        if (mLeft == 0) {
            const std::size_t chunks = BlockChunks(mBlocks.size());
            mBlocks.push_back(AllocateHugeBlock(chunks * kChunkBytes));
            mLeft = chunks;
        }
        Entry* c = static_cast<Entry*>(mBlocks.back().get()) +
                   (kChunkEntries * (BlockChunks(mBlocks.size() - 1) - mLeft));
        std::uninitialized_default_construct_n(c, kChunkEntries);
        mChunks.push_back(c);
        --mLeft;
    }
    // Chunks added so far.
    std::size_t Chunks() const { return mChunks.size(); }
    // The first entry of chunk c.
    Entry* operator[](std::size_t c) const { return mChunks[c]; }
    // Entry i, counting from the first entry of the first chunk.
    Entry& At(std::size_t i) const { return mChunks[i >> ChunkBits][i & (kChunkEntries - 1)]; }

private:
    static constexpr std::size_t kChunkBytes = sizeof(Entry) * kChunkEntries;
    static constexpr std::size_t kChunksPerHugePage =
        kChunkBytes < kHugePageBytes ? kHugePageBytes / kChunkBytes : 1;
    // Chunks in the block-th block: 1, 2, 4 ... up to a huge page's worth.
    static std::size_t BlockChunks(std::size_t block) {
        return block < 30 ? std::min<std::size_t>(std::size_t(1) << block, kChunksPerHugePage)
                          : kChunksPerHugePage;
    }
    std::vector<HugeBlock> mBlocks;
    std::vector<Entry*> mChunks;
    std::size_t mLeft = 0;  // chunks not yet handed out in the last block
};

#endif
