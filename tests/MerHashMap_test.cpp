#include "kmer/MerHashMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "tests/TestFixtures.h"

namespace {

class MerHashMapTest : public ::testing::Test {
protected:
    void SetUp() override { Mer::setMerSize(16); }

    MerStaticsGuard mMerGuard;
};

Mer Key(std::uint64_t value) {
    Mer m;
    m.mValue = value;
    return m;
}

// Keys that make probing hard: equal halves, which all hash to 0 under the
// functors' exclusive-or; multiples of 1024 are alike in their low bits
// (as thinned k-mers are); 0 and the all-ones value are the extremes.
std::vector<std::uint64_t> HardKeys(int n, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::vector<std::uint64_t> keys = {0, ~0ULL, 0xFFFFFFFFULL};
    for (int i = 0; (int)keys.size() < n; ++i) {
        const std::uint64_t half = rng() % 3000;
        switch (i % 3) {
            case 0:
                keys.push_back((half << 32) | half);
                break;
            case 1:
                keys.push_back((rng() % 20000) << 10);
                break;
            default:
                keys.push_back(rng() % 50000);
                break;
        }
    }
    return keys;
}

// Inserts keys (repeats included) into map through try_emplace, counting
// each in its value, and checks the map against a reference map.
template <class Map, class Bump>
void CheckAgainstReference(Map& map, const std::vector<std::uint64_t>& keys, Bump bump) {
    std::map<std::uint64_t, int> expected;
    for (std::uint64_t k : keys) {
        auto slot = map.try_emplace(Key(k));
        ASSERT_EQ(slot.second, expected.count(k) == 0) << k;
        ASSERT_EQ(slot.first->first.mValue, k);
        bump(slot.first->second);
        ++expected[k];
    }
    ASSERT_EQ(map.size(), expected.size());
    std::map<std::uint64_t, int> seen;
    const Map& view = map;
    for (const auto& e : view) seen[e.first.mValue] += 1;
    EXPECT_EQ(seen.size(), expected.size()) << "iteration visits each entry once";
    for (const auto& s : seen) EXPECT_EQ(s.second, 1) << s.first;
    for (const auto& e : expected) {
        auto it = view.find(Key(e.first));
        ASSERT_TRUE(it != view.end()) << e.first;
        EXPECT_EQ(it->first.mValue, e.first);
        EXPECT_EQ(view.count(Key(e.first)), 1u);
    }
}

TEST_F(MerHashMapTest, BehavesAsAMapThroughCollisionsAndGrowth) {
    const std::vector<std::uint64_t> keys = HardKeys(30000, 3);

    // A count kept beside its key in the slot.
    MerHashMap<int, MerHashF> counts(100);
    CheckAgainstReference(counts, keys, [](int& c) { ++c; });
    std::map<std::uint64_t, int> want;
    for (std::uint64_t k : keys) ++want[k];
    for (const auto& e : counts) EXPECT_EQ(e.second, want[e.first.mValue]);

    // A list that owns memory, moved through every growth of the table.
    MerHashMap<std::vector<int>, MerHashF> lists(100);
    int n = 0;
    CheckAgainstReference(lists, keys, [&n](std::vector<int>& l) { l.push_back(n++); });
    std::map<std::uint64_t, std::vector<int>> order;
    for (std::size_t i = 0; i < keys.size(); ++i) order[keys[i]].push_back((int)i);
    for (const auto& e : lists) EXPECT_EQ(e.second, order[e.first.mValue]);

    // Absent keys: not found, then inserted with a default value.
    for (std::uint64_t absent : {1ULL << 40, 0x123456789ULL}) {
        EXPECT_EQ(counts.count(Key(absent)), 0u);
        EXPECT_TRUE(counts.find(Key(absent)) == counts.end());
        EXPECT_TRUE(lists.find(Key(absent)) == lists.end());
        EXPECT_EQ(counts[Key(absent)], 0);
        EXPECT_TRUE(lists[Key(absent)].empty());
    }
    EXPECT_EQ(counts.size(), want.size() + 2);
    EXPECT_EQ(lists.size(), want.size() + 2);
}

// Every int is a storable count (a slot's use is not read from its value),
// through growth of a large table, a reserve that rehashes it and a move.
TEST_F(MerHashMapTest, AnyCountSurvivesGrowthReserveAndMove) {
    const int values[] = {0, -1, INT_MIN, INT_MAX, 1};
    const int n = 400000;  // grows a table of several megabytes more than once
    std::mt19937_64 rng(9);
    std::vector<std::uint64_t> keys;
    for (int i = 0; i < n; ++i) keys.push_back(rng());
    MerHashMap<int, MerHashF> grown, reserved;
    for (int i = 0; i < n; ++i) grown[Key(keys[i])] = reserved[Key(keys[i])] = values[i % 5];
    reserved.reserve(3 * n);
    MerHashMap<int, MerHashF> moved(std::move(reserved));
    for (const MerHashMap<int, MerHashF>* map : {&grown, &moved}) {
        ASSERT_EQ(map->size(), std::size_t(n));
        std::size_t visited = 0;
        for (auto it = map->begin(); it != map->end(); ++it) ++visited;
        EXPECT_EQ(visited, std::size_t(n));
        for (int i = 0; i < n; ++i) {
            auto it = map->find(Key(keys[i]));
            ASSERT_TRUE(it != map->end()) << i;
            ASSERT_EQ(it->second, values[i % 5]) << i;
        }
    }
}

TEST_F(MerHashMapTest, LookupIsExactOrStrandBlindByFunctor) {
    // k = 16, keys over the whole 32-bit range; about one in a thousand keys
    // has its reverse complement among the keys as well.
    std::mt19937_64 rng(5);
    std::vector<Mer> keys;
    std::set<std::uint64_t> values, canonical;
    for (int i = 0; i < 5000; ++i) {
        Mer m = Key(rng() & 0xFFFFFFFFULL);
        if (i % 1000 == 999) {  // the reverse complement of an earlier key
            m = keys[i / 2];
            m.Reverse();
        }
        keys.push_back(m);
        values.insert(m.mValue);
        canonical.insert(MerSymmetricHashF::canonicalValue(m).mValue);
    }
    MerHashMap<int, MerSymmetricHashF> blind;
    MerHashMap<std::vector<int>, MerSymmetricHashF> blindLists;
    MerHashMap<int, MerHashF> exact;
    for (const Mer& m : keys) {
        blind[m] += 1;
        blindLists[m].push_back(1);
        exact[m] += 1;
    }
    EXPECT_EQ(exact.size(), values.size());
    EXPECT_EQ(blind.size(), canonical.size());
    EXPECT_EQ(blindLists.size(), canonical.size());
    EXPECT_LT(canonical.size(), values.size());
    for (const Mer& m : keys) {
        Mer rc = m;
        rc.Reverse();
        EXPECT_EQ(exact.count(rc), values.count(rc.mValue)) << m.ToString();
        auto it = blind.find(rc);
        ASSERT_TRUE(it != blind.end()) << m.ToString();
        EXPECT_TRUE(it->first == m || it->first == rc);
        EXPECT_FALSE(blindLists.try_emplace(rc).second);
        blindLists[rc].push_back(2);
    }
    std::size_t stored = 0;
    for (const auto& e : blindLists) stored += e.second.size();
    EXPECT_EQ(stored, 2 * keys.size());
}

// The 32-mers of two equal halves (tandem repeats of period 1 to 16) all
// fold to 0 under the functors' own hash; the table hash must tell them
// apart and spread them over the table as it would random keys, under both
// functors.
TEST_F(MerHashMapTest, TableHashSpreadsKeysOfEqualHalves) {
    Mer::setMerSize(32);
    const int n = 65536;
    const int bits = 17;  // the table a map of n keys grows to
    std::mt19937_64 rng(11);
    std::set<std::uint32_t> halves;
    while ((int)halves.size() < n) halves.insert((std::uint32_t)rng());
    for (bool blind : {false, true}) {
        SCOPED_TRACE(blind ? "MerSymmetricHashF" : "MerHashF");
        std::set<std::uint32_t> hashes;
        std::map<std::uint32_t, int> perHome;
        for (std::uint32_t h : halves) {
            const Mer m = Key((std::uint64_t(h) << 32) | h);
            const std::uint32_t t =
                blind ? MerTableHash<MerSymmetricHashF>(m) : MerTableHash<MerHashF>(m);
            hashes.insert(t);
            ++perHome[t >> (32 - bits)];
        }
        // Random 32-bit values: about half a collision among n, 51,600 homes
        // of 2^17 taken, the fullest holding some 8 keys.
        EXPECT_GE(hashes.size(), std::size_t(n - 8));
        EXPECT_GT(perHome.size(), std::size_t(n * 3 / 4));
        int fullest = 0;
        for (const auto& e : perHome) fullest = std::max(fullest, e.second);
        EXPECT_LE(fullest, 16);
    }
}

// Keys equal under the functor get equal table hashes: a k-mer and its
// reverse complement under the strand-blind one, at every length; the
// exact one tells them apart. A functor of its own, equal on the low byte,
// is placed by its own hash, and the map keeps one entry per class.
TEST_F(MerHashMapTest, EqualKeysShareATableHash) {
    std::mt19937_64 rng(12);
    for (int k : {1, 2, 15, 16, 17, 31, 32}) {
        SCOPED_TRACE(::testing::Message() << "k " << k);
        Mer::setMerSize(k);
        int distinct = 0, differ = 0;
        for (int i = 0; i < 200; ++i) {
            Mer m = Key(k == 32 ? rng() : rng() & ((1ULL << (2 * k)) - 1));
            Mer rc = m;
            rc.Reverse();
            ASSERT_EQ(MerTableHash<MerSymmetricHashF>(m), MerTableHash<MerSymmetricHashF>(rc))
                << m.ToString();
            if (m != rc) {
                ++distinct;
                differ += MerTableHash<MerHashF>(m) != MerTableHash<MerHashF>(rc);
            }
        }
        EXPECT_EQ(differ, distinct);
    }

    struct LowByteF {
        std::size_t operator()(const Mer& m) const { return m.mValue & 0xFF; }
        bool operator()(const Mer& a, const Mer& b) const {
            return (a.mValue & 0xFF) == (b.mValue & 0xFF);
        }
    };
    MerHashMap<int, LowByteF> counts;
    MerHashMap<std::vector<int>, LowByteF> lists;
    for (std::uint64_t v = 0; v < 4096; ++v) {
        counts[Key(v * 0x10001)] += 1;
        lists[Key(v * 0x10001)].push_back(1);
    }
    EXPECT_EQ(counts.size(), 256u);
    EXPECT_EQ(lists.size(), 256u);
    for (const auto& e : counts) EXPECT_EQ(e.second, 16);
}

TEST_F(MerHashMapTest, KeysKeptAsFirstInserted) {
    MerHashMap<int, MerSymmetricHashF> blind;
    blind[Mer("AAAAAAAAAAAAAAAC")] = 4;  // reverse complement GTTTTTTTTTTTTTTT
    blind[Mer("GTTTTTTTTTTTTTTT")] += 1;
    ASSERT_EQ(blind.size(), 1u);
    EXPECT_EQ(blind.begin()->first.ToString(), "AAAAAAAAAAAAAAAC");
    EXPECT_EQ(blind.begin()->second, 5);
}

TEST_F(MerHashMapTest, ClearEmptiesAndTheMapStaysUsable) {
    MerHashMap<std::vector<int>, MerHashF> lists;
    MerHashMap<int, MerHashF> counts;
    for (std::uint64_t k = 0; k < 1000; ++k) {
        lists[Key(k)].push_back(1);
        counts[Key(k)] = 1;
    }
    lists.clear();
    counts.clear();
    EXPECT_TRUE(lists.empty());
    EXPECT_TRUE(counts.empty());
    EXPECT_TRUE(lists.begin() == lists.end());
    EXPECT_TRUE(counts.begin() == counts.end());
    EXPECT_TRUE(counts.find(Key(7)) == counts.end());
    EXPECT_TRUE(lists.try_emplace(Key(7)).second);
    EXPECT_TRUE(lists[Key(7)].empty());
    EXPECT_EQ(counts[Key(7)], 0);
    EXPECT_EQ(lists.size(), 1u);
    EXPECT_EQ(counts.size(), 1u);
}

// The count table as it was first built: a power-of-two array, homes from
// the top bits of the table hash, linear probing, and growth by copying the used slots, in slot
// order, into an array twice the size. Distribution files list their
// k-mers in this order, so the map must keep it exactly.
std::vector<std::uint64_t> CopyingTableOrder(const std::vector<std::uint64_t>& keys,
                                             std::size_t slots) {
    std::vector<std::uint64_t> key(slots);
    std::vector<bool> used(slots);
    std::size_t size = 0;
    auto place = [&](std::vector<std::uint64_t>& k, std::vector<bool>& u, std::uint64_t v) {
        int shift = 32;
        for (std::size_t n = k.size(); n > 1; n >>= 1) --shift;
        std::size_t i = (std::size_t)(MerTableHash<MerHashF>(Key(v)) >> shift);
        while (u[i] && k[i] != v) i = (i + 1) & (k.size() - 1);
        return i;
    };
    for (std::uint64_t v : keys) {
        std::size_t i = place(key, used, v);
        if (used[i]) continue;
        if ((size + 1) * 10 > key.size() * 7) {
            std::vector<std::uint64_t> bigKey(2 * key.size());
            std::vector<bool> bigUsed(2 * key.size());
            for (std::size_t j = 0; j < key.size(); ++j)
                if (used[j]) {
                    const std::size_t to = place(bigKey, bigUsed, key[j]);
                    bigKey[to] = key[j];
                    bigUsed[to] = true;
                }
            key.swap(bigKey);
            used.swap(bigUsed);
            i = place(key, used, v);
        }
        key[i] = v;
        used[i] = true;
        ++size;
    }
    std::vector<std::uint64_t> order;
    for (std::size_t j = 0; j < key.size(); ++j)
        if (used[j]) order.push_back(key[j]);
    return order;
}

TEST_F(MerHashMapTest, CountsIterateInTheOrderOfACopyingTable) {
    // Clustered keys, so that slots move down past the array's end at growth
    // as well as up, and random ones; through many growths.
    for (unsigned seed : {1u, 2u}) {
        std::vector<std::uint64_t> keys = HardKeys(60000, seed);
        std::mt19937_64 rng(seed);
        for (int i = 0; i < 60000; ++i) keys.push_back(rng());
        for (std::size_t hint : {std::size_t(16), std::size_t(100)}) {
            MerHashMap<int, MerHashF> counts(hint);
            for (std::uint64_t k : keys) counts[Key(k)] += 1;
            std::vector<std::uint64_t> order;
            for (const auto& e : counts) order.push_back(e.first.mValue);
            const std::size_t slots = hint == 16 ? 32 : 256;  // the table the hint gives at first
            EXPECT_EQ(order, CopyingTableOrder(keys, slots)) << "seed " << seed << " hint " << hint;
        }
    }
}

TEST_F(MerHashMapTest, ReservedAndGrownListsIterateInInsertionOrder) {
    // Across many chunks of entries, with and without sizing ahead, with a
    // reservation far too small, and with one far too large given back
    // halfway (the rest then grows the shrunk table): the same entries in the
    // same order, each found under its key.
    std::vector<std::uint64_t> keys = HardKeys(40000, 9);
    std::vector<std::uint64_t> firstSeen;
    std::set<std::uint64_t> seen;
    for (std::uint64_t k : keys)
        if (seen.insert(k).second) firstSeen.push_back(k);
    const struct {
        std::size_t reserve;
        std::size_t shrinkAt;  // keys inserted before shrink_to_fit, none when past the end
    } cases[] = {{0, keys.size()},
                 {100, keys.size()},
                 {keys.size(), keys.size()},
                 {keys.size() * 10, keys.size() / 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "reserve " << c.reserve << " shrink at " << c.shrinkAt);
        MerHashMap<std::vector<int>, MerHashF> lists;
        lists.reserve(c.reserve);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (i == c.shrinkAt) lists.shrink_to_fit();
            lists[Key(keys[i])].push_back((int)i);
        }
        ASSERT_EQ(lists.size(), firstSeen.size());
        std::size_t at = 0, stored = 0;
        for (const auto& e : lists) {
            ASSERT_EQ(e.first.mValue, firstSeen[at++]);
            stored += e.second.size();
        }
        EXPECT_EQ(stored, keys.size());
        for (std::uint64_t k : firstSeen) ASSERT_EQ(lists.find(Key(k))->first.mValue, k);
    }
}

// A table reserved for a count between fewest and entries is never larger
// than the one growth reaches with the count that comes, when it comes to
// at least fewest: it fits (fewer than the size at which the grown table
// doubles), or grows once to the size for entries (more than that), or on to
// the grown table's size (more than entries). The entries come through
// every growth whole and in insertion order.
TEST_F(MerHashMapTest, ReservedBetweenTwoCountsNeverOutgrowsAGrownTable) {
    std::mt19937_64 rng(4);
    std::vector<std::uint64_t> keys(30000);
    for (std::uint64_t& k : keys) k = rng();
    // 24,000 and 21,000 lie on both sides of 22,937, the most entries of a
    // table of 32,768 slots.
    const std::size_t entries = 24000, fewest = 21000;
    for (const std::size_t n : {std::size_t(21000), std::size_t(22900), std::size_t(23500),
                                std::size_t(24000), std::size_t(30000)}) {
        SCOPED_TRACE(::testing::Message() << n << " entries");
        MerHashMap<std::vector<int>, MerHashF> reserved, grown;
        reserved.reserve(entries, fewest);
        std::size_t reservedPeak = 0, grownPeak = 0;
        for (std::size_t i = 0; i < n; ++i) {
            reserved[Key(keys[i])].push_back(static_cast<int>(i));
            grown[Key(keys[i])].push_back(static_cast<int>(i));
            reservedPeak = std::max(reservedPeak, reserved.bucket_count());
            grownPeak = std::max(grownPeak, grown.bucket_count());
        }
        EXPECT_LE(reservedPeak, grownPeak);
        // Only a count past entries grows the table beyond the size for them
        // (10/7 of them, and a slot).
        if (n <= entries) {
            EXPECT_LE(reservedPeak, entries * 10 / 7 + 2);
        }
        std::size_t at = 0;
        for (const auto& e : reserved) {
            ASSERT_EQ(e.first.mValue, keys[at]);
            ASSERT_EQ(e.second, std::vector<int>{static_cast<int>(at)});
            ++at;
        }
        ASSERT_EQ(at, n);
        for (std::size_t i = 0; i < n; ++i) ASSERT_TRUE(reserved.count(Key(keys[i]))) << i;
    }
}

}  // namespace
