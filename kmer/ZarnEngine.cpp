#include "kmer/ZarnEngine.h"

#include <climits>
#include <cstring>
#include <iostream>
#include <utility>

#include "toolkit/FASTAFile.h"
#include "toolkit/InputFile.h"

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
        mError = "more than " + std::to_string(BigSequenceLocation::MAXSOURCERECORDS) +
                 " records: the index cannot number them";
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

}  // namespace

void ZarnEngine::GetHits(Sequence& query, SearchResultVec& fwd, SearchResultVec& rev) {
    typedef decltype(mMerLocations)::LocationList LocationList;
    const int n = static_cast<int>(query.mBases.size());
    const int k = Mer::mMerSize;
    // The walk looks every k-mer up once and keeps the lists it finds, so
    // that both hit lists can be given their exact size before they are
    // filled: growing them would copy every hit and touch fresh memory.
    std::vector<std::pair<int, const LocationList*>> foundFwd;
    std::vector<std::pair<int, const LocationList*>> foundRev;
    std::size_t fwdCount = 0;
    std::size_t revCount = 0;
    const auto none = mMerLocations.mLocationLists.end();
    // Keeps the list of one strand's k-mer, found once, with the end of the
    // k-mer's window on the query.
    int idx = 0;
    auto collect = [&](const Mer& key, std::vector<std::pair<int, const LocationList*>>& found,
                       std::size_t& count) {
        auto it = mMerLocations.mLocationLists.find(key);
        if (it == none) return;
        found.emplace_back(idx, &it->second);
        count += it->second.size();
    };
    // Appends the hits of the lists found for one strand; firstOf gives the
    // hit's query start from its window's end.
    auto fill = [&](const std::vector<std::pair<int, const LocationList*>>& found,
                    std::size_t count, SearchResultVec& hits, auto firstOf) {
        hits.reserve(hits.size() + count);
        for (const auto& f : found) {
            const std::size_t first = hits.size();
            mMerLocations.AppendHits(*f.second, hits);
            const int start = firstOf(f.first);
            SetQuerySide(hits, first, start, start + k - 1, query.mName, n);
        }
    };
    Mer m;
    while (idx < n) {
        m.ShiftInClean(query, idx);
        if (idx >= n) break;  // no window of k clean characters is left
        if (mDebug) std::cout << "qIdx=" << idx << "\tMer=" << m.ToString() << std::endl;

        Mer rc = m;
        rc.Reverse();
        if (!m.isThinned(rc) && mRepeatModel.isAcceptableFrequency(m)) {
            const int start = idx - k + 1;
            // Reverse hits count positions on the reverse complement of the query.
            const int e = n - start - 1;
            if (mDebug) {
                // The dumps show each list as it grows, so it is filled here.
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
            } else {
                collect(m, foundFwd, fwdCount);
                collect(rc, foundRev, revCount);
            }
        }
        idx++;
    }

    // Forward hits start at the k-mer's first base; reverse hits count
    // positions on the reverse complement of the query.
    fill(foundFwd, fwdCount, fwd, [k](int end) { return end - k + 1; });
    fill(foundRev, revCount, rev, [k, n](int end) { return n - (end - k + 1) - 1 - k + 1; });
}

void ZarnEngine::Compare(Sequence& query, std::vector<Chain>& fwdChains,
                         std::vector<Chain>& revChains) {
    // The two lists keep their capacity from record to record: only their
    // hits are freed.
    SearchResultVec& fwd = mFwdHits;
    SearchResultVec& rev = mRevHits;
    fwd.clear();
    rev.clear();
    GetHits(query, fwd, rev);
    if (mDebug) {
        std::cout << std::endl << std::endl << "\nFwdHits:" << std::endl;
        fwd.Print(std::cout);
        std::cout << "RevHits:" << std::endl;
        rev.Print(std::cout);
    }
    HitChainer chainer;
    chainer.mMinScore = mMinScore;
    chainer.ComputeChains(fwd, fwdChains);
    chainer.ComputeChains(rev, revChains);
    fwd.clear();
    rev.clear();
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
    // a full disk or a closed pipe stops the run at once instead of after the
    // whole query file.
    if (!out) {
        mError = "write error";
        return false;
    }

    for (;;) {
        Sequence s;
        int result = reader.GetNextSequence(in, buffer, 5000, s);
        if (in.bad() || (in.fail() && !in.eof())) {
            mError = "read error (damaged gzip data or failed read)";
            return false;
        }
        if (result == 0) {
            mError = "a query line holds a NUL byte";
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
