#include "kmer/ZarnEngine.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <utility>

#include "toolkit/FASTAFile.h"
#include "toolkit/HugePages.h"
#include "toolkit/InputFile.h"
#include "toolkit/SlotArray.h"

ZarnEngine::ZarnEngine() : mSpareSequences(), mSpareNameMap(), mMerLocations(), mRepeatModel() {
    mTabbedOutput = 0;
    mMinScore = 0;
    mMinQueryLength = 33;
    mDebug = 0;
    // main always sets it; cleared here so that no caller reads an undefined value.
    mPerformAlignments = 0;
}

bool ZarnEngine::SetupRepeatModel(std::string fileName, int maxCount) {
    igzstream in;
    if (!OpenInputFile(in, fileName, mError)) return false;
    ReadDistResult status = mRepeatModel.ReadDist(in, 1);
    in.close();
    if (!status.ok()) {
        mError = status.Message();
        return false;
    }
    mRepeatModel.mMaxCount = maxCount;
    return true;
}

bool ZarnEngine::AddSource(std::string fileName) {
    igzstream in;
    if (!OpenInputFile(in, fileName, mError)) return false;
    mMerLocations.ReserveForFile(fileName);
    SourceScanStatus status = mMerLocations.Add(in);
    bool failed = in.bad();
    in.close();
    if (status == SourceScanStatus::TooManyRecords) {
        // Text before the first header takes one record index itself.
        const long limit = mMerLocations.mRecordLimit;
        mError =
            "more than " + std::to_string(limit) + " records" +
            (limit < BigSequenceLocation::MAXSOURCERECORDS ? " after text before the first header"
                                                           : "") +
            ": the index cannot number them";
        return false;
    }
    if (status == SourceScanStatus::RecordTooLong) {
        mError = "a record longer than " + std::to_string(INT_MAX) +
                 " bases: its positions cannot be counted";
        return false;
    }
    if (status == SourceScanStatus::NulByte) {
        mError = "line " + std::to_string(mMerLocations.mStopLine) + ": a NUL byte (damaged text)";
        return false;
    }
    if (failed || status != SourceScanStatus::Ok) {
        mError = "read error (damaged gzip data or failed read)";
        return false;
    }

    if (mDebug) {
        std::cout << "ENTIRE HASH: " << std::endl;
        for (const auto& entry : mMerLocations.mLocationLists) {
            std::cout << entry.first.ToString() << std::endl;
            for (const auto& loc : entry.second)
                std::cout << "\t" << loc.sourceStart() << std::endl;
        }
        std::cout << std::endl << std::endl;
    }
    return true;
}

namespace {

// The query's length as the int that its positions are counted in. The
// stream form of Compare refuses longer records as it reads them; a record
// handed in directly that is longer still must not wrap to a negative size.
int QueryLength(const Sequence& query) {
    if (query.mBases.size() > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("a query record longer than " + std::to_string(INT_MAX) +
                                " bases: its positions cannot be counted");
    return static_cast<int>(query.mBases.size());
}

// Completes the query side of the hits from first on.
void SetQuerySide(SearchResultVec& hits, std::size_t first, int start, int end,
                  const std::string& name, int size) {
    for (std::size_t i = first; i < hits.size(); i++) {
        SearchResult& hit = hits[i];
        hit.mQueryStart = static_cast<uint32_t>(start);
        hit.mQueryEnd = static_cast<uint32_t>(end);
        hit.mQueryName = name;
        hit.mQuerySize = static_cast<uint32_t>(size);
    }
}

// The found lists of one strand, in query order: pointers appended to a
// SlotArray, whose room doubles in place (a mapped array's pages are moved
// or extended by the kernel, nothing is copied). A long record often finds
// lists in only a fraction of its windows (a 48 Mbp record against one
// genome), so the room follows what is found, not the record's length: at
// most twice what it holds, beyond a first room of kFirstFoundLists.
template <class Item>
class FoundListArray {
public:
    // Empties the array, with room for room items.
    void Reset(std::size_t room) {
        SlotArray<Item>(std::max(room, kLeastRoom)).Swap(mAt);
        mSize = 0;
    }
    void push_back(Item item) {
        if (mSize == mAt.Size()) mAt.Double();
        mAt[mSize++] = item;
    }
    std::size_t size() const { return mSize; }
    Item operator[](std::size_t i) const { return mAt[i]; }

private:
    static constexpr std::size_t kLeastRoom = 16;
    SlotArray<Item> mAt{kLeastRoom};
    std::size_t mSize = 0;
};

// The first room of a record's found lists: a record of no more windows gets
// one list per window at once (4 MiB per strand at most), as many as it can
// find, so that ordinary records never grow their lists.
const std::size_t kFirstFoundLists = std::size_t(1) << 19;

// Empties the found lists of one strand and sizes them for a query of the
// given bitmap words and windows.
template <class Found>
void ResetFound(Found& found, std::size_t words, std::size_t windows) {
    found.mEnds.assign(words, 0);
    found.mLists.Reset(std::min(windows, kFirstFoundLists));
    found.mHits = 0;
}

// Adds up the sizes of the found lists into mHits. The sizes are read apart
// from the look-ups, each list fetched ahead, so that no look-up waits for a
// list it does not need yet.
template <class Found>
void CountFoundHits(Found& found) {
    const auto& v = found.mLists;
    std::size_t total = 0;
    for (std::size_t j = 0; j < v.size(); ++j) {
        // 16 ahead: 4 or 64 ran MG1655 vs DH1 within the noise (best of 3, +-5%).
        if (j + 16 < v.size()) __builtin_prefetch(v[j + 16]);
        total += v[j]->size();
    }
    found.mHits = total;
}

// True when every location of the list lies on a named record.
template <class List>
bool AllNamed(const List& list, std::size_t names) {
    bool named = true;
    for (const BigSequenceLocation& loc : list)
        named = named && static_cast<std::size_t>(loc.sourceIdx()) < names;
    return named;
}

// Appends one hit per location of the list, each written whole at once, as
// the index's AppendHits and SetQuerySide together would leave it. Every
// location lies on a named record.
template <class List>
void AppendWholeHits(const List& list, const std::vector<std::string>& names,
                     const std::vector<int>& sizes, int start, int k, const Sequence& query, int n,
                     SearchResultVec& hits) {
    for (const BigSequenceLocation& loc : list) {
        const std::size_t i = static_cast<std::size_t>(loc.sourceIdx());
        const long sourceStart = loc.sourceStart();
        hits.emplace_back();
        SearchResult& hit = hits.back();
        hit.mSourceStart = static_cast<uint32_t>(sourceStart);
        hit.mSourceEnd = static_cast<uint32_t>(sourceStart + k - 1);
        hit.mSourceName = names[i];
        hit.mSourceSize = static_cast<uint32_t>(sizes[i]);
        hit.mQueryStart = static_cast<uint32_t>(start);
        hit.mQueryEnd = static_cast<uint32_t>(start + k - 1);
        hit.mQueryName = query.mName;
        hit.mQuerySize = static_cast<uint32_t>(n);
    }
}

}  // namespace

struct ZarnEngine::FoundLists {
    FoundListArray<const LocationList*> mLists;
    std::vector<std::uint64_t> mEnds;
    std::size_t mHits = 0;
};

void ZarnEngine::FindLists(Sequence& query, FoundLists& fwd, FoundLists& rev) {
    const int n = QueryLength(query);
    const int k = Mer::mMerSize;
    const auto& lists = mMerLocations.mLocationLists;
    const auto none = lists.end();
    const std::size_t words = (static_cast<std::size_t>(n) + 63) / 64;
    const std::size_t windows = n >= k ? static_cast<std::size_t>(n - k + 1) : 0;
    ResetFound(fwd, words, windows);
    ResetFound(rev, words, windows);
    // The k-mers wait in a short ring between the prefetch of their table
    // slots and their look-ups, so that the look-ups do not stall one by one.
    // Each k-mer's table hash is worked out once, for the prefetch and the look-up.
    struct Pending {
        Mer mFwd;
        Mer mRev;
        std::uint32_t mFwdHash;
        std::uint32_t mRevHash;
        int mEnd;
    };
    // 16 in flight: 8 or 32 ran MG1655 vs DH1 within the noise (best of 3, +-5%).
    const int kDepth = 16;
    Pending ring[kDepth];
    int head = 0, pending = 0;
    auto keep = [&](const Mer& key, std::uint32_t hash, int end, FoundLists& found) {
        auto it = lists.find(key, hash);
        if (it == none) return;
        found.mLists.push_back(&it->second);
        found.mEnds[static_cast<std::size_t>(end) >> 6] |= std::uint64_t(1) << (end & 63);
    };
    auto lookUpOldest = [&]() {
        const Pending& p = ring[head];
        keep(p.mFwd, p.mFwdHash, p.mEnd, fwd);
        keep(p.mRev, p.mRevHash, p.mEnd, rev);
        head = (head + 1) % kDepth;
        --pending;
    };
    int idx = 0;
    Mer m;
    while (idx < n) {
        m.ShiftInClean(query, idx);
        if (idx >= n) break;  // no window of k clean characters is left
        Mer rc = m;
        rc.Reverse();
        if (!m.isThinned(rc) && mRepeatModel.isAcceptableFrequency(m)) {
            if (pending == kDepth) lookUpOldest();
            Pending& p = ring[(head + pending) % kDepth];
            p.mFwd = m;
            p.mRev = rc;
            p.mFwdHash = lists.TableHash(m);
            p.mRevHash = lists.TableHash(rc);
            p.mEnd = idx;
            ++pending;
            lists.prefetch(p.mFwdHash);
            lists.prefetch(p.mRevHash);
        }
        idx++;
    }
    while (pending > 0) lookUpOldest();
    CountFoundHits(fwd);
    CountFoundHits(rev);
}

void ZarnEngine::FillHits(const Sequence& query, FoundLists& found, bool reverse,
                          SearchResultVec& hits) {
    const int n = QueryLength(query);
    const int k = Mer::mMerSize;
    // A whole genome's list is hundreds of megabytes: huge pages save most
    // of the page faults of filling it.
    ReserveHuge(hits, hits.size() + found.mHits);
    const std::size_t count = found.mLists.size();
    const std::vector<std::string>& names = mMerLocations.mSourceNames;
    const std::vector<int>& sizes = mMerLocations.mSourceSizes;
    std::size_t next = 0;
    for (std::size_t w = 0; w < found.mEnds.size(); ++w) {
        for (std::uint64_t bits = found.mEnds[w]; bits != 0; bits &= bits - 1) {
            const int end = static_cast<int>(w * 64 + static_cast<unsigned>(__builtin_ctzll(bits)));
            // The lists read a few steps later are fetched now.
            // 16 and 8 ahead: 8/4 or 32/16 ran MG1655 vs DH1 within the noise.
            if (next + 16 < count) __builtin_prefetch(found.mLists[next + 16]);
            if (next + 8 < count) __builtin_prefetch(found.mLists[next + 8]->data());
            const LocationList& list = *found.mLists[next++];
            // Forward hits start at the k-mer's first base; reverse hits
            // count positions on the reverse complement of the query.
            const int start = reverse ? n - end - 1 : end - k + 1;
            if (AllNamed(list, names.size())) {
                AppendWholeHits(list, names, sizes, start, k, query, n, hits);
            } else {
                // The index's own path reports a location without a record.
                const std::size_t first = hits.size();
                mMerLocations.AppendHits(list, hits);
                SetQuerySide(hits, first, start, start + k - 1, query.mName, n);
            }
        }
    }
    found.mLists.Reset(0);
    std::vector<std::uint64_t>().swap(found.mEnds);
    found.mHits = 0;
}

void ZarnEngine::GetHits(Sequence& query, SearchResultVec& fwd, SearchResultVec& rev) {
    if (!mDebug) {
        FoundLists fwdFound, revFound;
        FindLists(query, fwdFound, revFound);
        FillHits(query, fwdFound, false, fwd);
        FillHits(query, revFound, true, rev);
        return;
    }
    // The dumps show each list as it grows, so both are filled during the walk.
    const int n = QueryLength(query);
    const int k = Mer::mMerSize;
    int idx = 0;
    Mer m;
    while (idx < n) {
        m.ShiftInClean(query, idx);
        if (idx >= n) break;  // no window of k clean characters is left
        std::cout << "qIdx=" << idx << "\tMer=" << m.ToString() << std::endl;

        Mer rc = m;
        rc.Reverse();
        if (!m.isThinned(rc) && mRepeatModel.isAcceptableFrequency(m)) {
            const int start = idx - k + 1;
            // Reverse hits count positions on the reverse complement of the query.
            const int e = n - start - 1;
            std::size_t first = fwd.size();
            mMerLocations.FindMerLocations(m, fwd);
            SetQuerySide(fwd, first, start, idx, query.mName, n);
            std::cout << "FWD: " << m.ToString() << std::endl;
            fwd.Print(std::cout);
            first = rev.size();
            mMerLocations.FindMerLocations(rc, rev);
            SetQuerySide(rev, first, e - k + 1, e, query.mName, n);
            std::cout << "REV: " << rc.ToString() << std::endl;
            rev.Print(std::cout);
            std::cout << std::endl;
        }
        idx++;
    }
}

void ZarnEngine::Compare(Sequence& query, std::vector<Chain>& fwdChains,
                         std::vector<Chain>& revChains) {
    HitChainer chainer;
    chainer.mMinScore = mMinScore;
    if (mDebug) {
        SearchResultVec fwd, rev;
        GetHits(query, fwd, rev);
        std::cout << std::endl << std::endl << "\nFwdHits:" << std::endl;
        fwd.Print(std::cout);
        std::cout << "RevHits:" << std::endl;
        rev.Print(std::cout);
        chainer.ComputeChains(fwd, fwdChains);
        chainer.ComputeChains(rev, revChains);
        return;
    }
    // One strand at a time: its list is filled, chained and emptied before
    // the other strand's is filled, so the two never coexist. The list keeps
    // its capacity for the next strand and record unless that is more than
    // twice what they need.
    FoundLists fwdFound, revFound;
    FindLists(query, fwdFound, revFound);
    auto chain = [&](FoundLists& found, bool reverse, std::vector<Chain>& chains) {
        mHits.clear();
        if (mHits.capacity() / 2 > found.mHits) SearchResultVec().swap(mHits);
        FillHits(query, found, reverse, mHits);
        chainer.ComputeChains(mHits, chains);
        mHits.clear();
    };
    chain(fwdFound, false, fwdChains);
    chain(revFound, true, revChains);
}

bool ZarnEngine::Compare(std::istream& in, std::ostream& out) {
    FASTAFile reader;
    char buffer[5000];
    buffer[0] = '1';  // nothing read yet
    HitChainer writer;
    writer.mMinScore = mMinScore;

    if (mTabbedOutput == 0)
        writer.WriteLVHeader(out);
    else
        writer.WriteTabbedHeader(out);
    // The output is tested after the header and after each record's lines, so
    // a failed write (a full disk, say) stops the run at once instead of after
    // the whole query file. A pipe whose reader has gone ends the process by
    // SIGPIPE, as in any pipeline; only where SIGPIPE is ignored does the write
    // fail and come here.
    if (!out) {
        mError = "write error";
        return false;
    }

    for (;;) {
        Sequence s;
        // Query positions are counted in int: a longer record is refused as
        // soon as it grows past that, before the rest of it is held.
        int result = reader.GetNextSequence(in, buffer, 5000, s, static_cast<std::size_t>(INT_MAX));
        if (in.bad() || (in.fail() && !in.eof())) {
            mError = "read error (damaged gzip data or failed read)";
            return false;
        }
        if (result == 0) {
            mError = "a query line holds a NUL byte";
            return false;
        }
        if (result == 2) {
            mError = "a record longer than " + std::to_string(INT_MAX) +
                     " bases: its positions cannot be counted";
            return false;
        }
        // Records shorter than the least query length are skipped; the
        // records after them are still compared.
        if (s.mBases.size() >= static_cast<std::size_t>(mMinQueryLength)) {
            std::vector<Chain> fwdChains;
            std::vector<Chain> revChains;
            Compare(s, fwdChains, revChains);
            if (mPerformAlignments == 0) {
                writer.WriteTabbed(out, s, fwdChains, false);
                writer.WriteTabbed(out, s, revChains, true);
                if (!out) {
                    mError = "write error";
                    return false;
                }
            }
        }
        if (in.eof()) break;
    }

    if (mTabbedOutput == 0) writer.WriteLVFooter(out);
    if (!out) {
        mError = "write error";
        return false;
    }
    return true;
}
