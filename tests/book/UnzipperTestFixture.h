#pragma once
#include "book/Unzipper.h"
#include "support/TestZip.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

// Every test works in its own folder: the package and a sentinel folder
// "outside" sit beside the destination "dest", so a write that escapes the
// destination shows in a snapshot of everything but "dest".
class UnzipperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dest = root / "dest";
        package = root / "package.mordx";
        fs::create_directories(root / "outside");
        WriteFileBytes(root / "outside" / "target", "original");
    }

    // Path -> content ("<dir>", "<link>target") of everything below root
    // except the destination.
    std::map<std::string, std::string> SnapshotOutside() const
    {
        std::map<std::string, std::string> snapshot;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
            const fs::path relative = it->path().lexically_relative(root);
            if (*relative.begin() == "dest") {
                it.disable_recursion_pending();
                continue;
            }
            if (it->is_symlink())
                snapshot[relative.string()] = "<link>" + fs::read_symlink(it->path()).string();
            else if (it->is_directory())
                snapshot[relative.string()] = "<dir>";
            else
                snapshot[relative.string()] = ReadFileBytes(it->path());
        }
        return snapshot;
    }

    // Relative paths of everything below the destination (symlinks not
    // followed), folders with a trailing "/".
    std::vector<std::string> DestinationListing() const
    {
        std::vector<std::string> listing;
        if (!fs::exists(dest))
            return listing;
        for (auto it = fs::recursive_directory_iterator(dest); it != fs::recursive_directory_iterator(); ++it) {
            std::string name = it->path().lexically_relative(dest).string();
            if (!it->is_symlink() && it->is_directory())
                name += "/";
            listing.push_back(name);
        }
        std::sort(listing.begin(), listing.end());
        return listing;
    }

    // Extracts the package with the given limits, checking that nothing
    // outside the destination changed and no temporary file was left.
    bool Extract(const ExtractionLimits& limits = {})
    {
        const auto before = SnapshotOutside();
        bool result = false;
        {
            CUnzipper unzipper(package, limits);
            result = unzipper.ExtractAll(dest);
            unzipper.Close();
        }
        EXPECT_EQ(SnapshotOutside(), before) << "written outside the destination";
        for (const std::string& name : DestinationListing())
            EXPECT_EQ(name.find(".unzip-"), std::string::npos) << "temporary file left: " << name;
        return result;
    }

    testsupport::ScratchFolder scratch{"unzipper"};
    const fs::path root = scratch.Path();
    fs::path dest, package;
};
