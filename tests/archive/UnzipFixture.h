#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/Unzip.h"
#include "archive/UnzipResult.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {

// An archive path, a target folder and the option record pointing at them.
class UnzipFixture : public ::testing::Test {
  protected:
    UnzipFixture() {
        options.zipFileName = zip;
        options.extractFolder = out;
    }

    int Unzip(const std::vector<std::string>& include = {},
              const std::vector<std::string>& exclude = {}) {
        return SingleEntryUnzip(include, exclude, options, callbacks);
    }

    TempDir dir;
    std::filesystem::path zip = dir / "test.zip";
    std::filesystem::path out = dir / "out";
    UnzipOptions options;
    UnzipCallbacks callbacks;
};

using Files = std::vector<std::string>;

}  // namespace quillery::test
