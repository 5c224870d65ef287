#ifndef TESTS_TESTFIXTURES_H
#define TESTS_TESTFIXTURES_H

// Support shared by the unit tests: a temporary folder that goes away with
// everything in it, and a guard over the process-wide k-mer settings.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "kmer/Mer.h"

// A fresh folder under the test temporary directory, made when constructed
// and removed with all its contents when destroyed. A folder that cannot be
// made throws, which fails the test that asked for it.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "zarn_test") {
        std::string base = ::testing::TempDir();
        if (base.empty() || base.back() != '/') base += '/';
        std::string tmpl = base + prefix + ".XXXXXX";
        if (mkdtemp(&tmpl[0]) == nullptr)
            throw std::runtime_error("cannot make a temporary folder " + tmpl + ": " +
                                     std::strerror(errno));
        mDir = tmpl;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(mDir, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Dir() const { return mDir; }
    std::string Path(const std::string& name) const { return mDir + "/" + name; }

private:
    std::string mDir;
};

// Sets the process-wide k-mer length (and what derives from it) and thinning.
inline void SetMers(int k, int factor, int slice) {
    Mer::setMerSize(k);
    Mer::mThinFactor = factor;
    Mer::mThinSlice = slice;
}

// Saves the k-mer length and thinning when constructed and puts them back
// when destroyed, so that a test may change them freely. As a member of a
// fixture it spans the test's SetUp, body and TearDown.
class MerStaticsGuard {
public:
    MerStaticsGuard()
        : mMerSize(Mer::mMerSize), mThinFactor(Mer::mThinFactor), mThinSlice(Mer::mThinSlice) {}
    ~MerStaticsGuard() { SetMers(mMerSize, mThinFactor, mThinSlice); }
    MerStaticsGuard(const MerStaticsGuard&) = delete;
    MerStaticsGuard& operator=(const MerStaticsGuard&) = delete;

private:
    int mMerSize;
    int mThinFactor;
    int mThinSlice;
};

#endif
