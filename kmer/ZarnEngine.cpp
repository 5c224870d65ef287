#include "kmer/ZarnEngine.h"

#include <climits>
#include <cstring>
#include <iostream>

#include "toolkit/FASTAFile.h"
#include "toolkit/InputFile.h"

ZarnEngine::ZarnEngine()
    : mSpareSequences(), mSpareNameMap(), mMerLocations(), mRepeatModel()
{
    mTabbedOutput = 0;
    mMinScore = 0;
    mMinQueryLength = 33;
    mDebug = 0;
    // main always sets it; cleared here so that no caller reads an undefined value.
    mPerformAlignments = 0;
}

bool ZarnEngine::SetupRepeatModel(std::string fileName, int maxCount)
{
    igzstream in;
    if (!OpenInputFile(in, fileName, mError))
        return false;
    ReadDistResult status = mRepeatModel.ReadDist(in, 1);
    in.close();
    if (!status.ok()) {
        mError = status.Message();
        return false;
    }
    mRepeatModel.mMaxCount = maxCount;
    return true;
}

bool ZarnEngine::AddSource(std::string fileName)
{
    igzstream in;
    if (!OpenInputFile(in, fileName, mError))
        return false;
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

void ZarnEngine::GetHits(Sequence& query, SearchResultVec& fwd, SearchResultVec& rev)
{
    const int n = static_cast<int>(query.mBases.size());
    const int k = Mer::mMerSize;
    Mer m;
    int idx = 0;
    while (idx < n) {
        m.ShiftInClean(query, idx);
        if (idx >= n)
            break;  // no window of k clean characters is left
        if (mDebug)
            std::cout << "qIdx=" << idx << "\tMer=" << m.ToString() << std::endl;

        Mer rc = m;
        rc.Reverse();
        if (!m.isThinned(rc) && mRepeatModel.isAcceptableFrequency(m)) {
            const int start = idx - k + 1;

            std::size_t first = fwd.size();
            mMerLocations.FindMerLocations(m, fwd);
            for (std::size_t i = first; i < fwd.size(); i++) {
                fwd[i].setQueryStart(start);
                fwd[i].setQueryEnd(idx);
                fwd[i].setQueryName(query.mName);
                fwd[i].setQuerySize(n);
            }
            if (mDebug) {
                std::cout << "FWD: " << m.ToString() << std::endl;
                fwd.Print(std::cout);
            }

            // Reverse hits count positions on the reverse complement of the query.
            first = rev.size();
            mMerLocations.FindMerLocations(rc, rev);
            const int e = n - start - 1;
            for (std::size_t i = first; i < rev.size(); i++) {
                rev[i].setQueryEnd(e);
                rev[i].setQueryStart(rev[i].queryEnd() - k + 1);
                rev[i].setQueryName(query.mName);
                rev[i].setQuerySize(n);
            }
            if (mDebug) {
                std::cout << "REV: " << rc.ToString() << std::endl;
                rev.Print(std::cout);
                std::cout << std::endl;
            }
        }
        idx++;
    }
}

void ZarnEngine::Compare(Sequence& query, std::vector<Chain>& fwdChains, std::vector<Chain>& revChains)
{
    SearchResultVec fwd;
    SearchResultVec rev;
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
}

bool ZarnEngine::Compare(std::istream& in, std::ostream& out)
{
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
        if (in.eof())
            break;
    }

    if (mTabbedOutput == 0)
        writer.WriteLVFooter(out);
    if (!out) {
        mError = "write error";
        return false;
    }
    return true;
}
