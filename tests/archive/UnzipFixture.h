#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/Unzip.h"
#include "archive/UnzipResult.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery {

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

    // The regular files below a folder, as sorted relative paths.
    static std::vector<std::string> FilesBelow(const std::filesystem::path& root) {
        std::vector<std::string> files;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_regular_file() && !it->is_symlink()) {
                files.push_back(std::filesystem::relative(it->path(), root).generic_string());
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    test::TempDir dir;
    std::filesystem::path zip = dir / "test.zip";
    std::filesystem::path out = dir / "out";
    UnzipOptions options;
    UnzipCallbacks callbacks;
};

using Files = std::vector<std::string>;

// Entries for MakeZip.
inline test::ZipEntry File(std::string name, std::string data, bool deflate = true) {
    test::ZipEntry entry;
    entry.name = std::move(name);
    entry.data = std::move(data);
    entry.deflate = deflate;
    return entry;
}
inline test::ZipEntry Stored(std::string name, std::string data) {
    return File(std::move(name), std::move(data), false);
}
inline test::ZipEntry Folder(std::string name) {
    test::ZipEntry entry;
    entry.name = std::move(name);
    entry.directory = true;
    return entry;
}
inline test::ZipEntry Locked(std::string name, std::string data, std::string password,
                             bool deflate = true) {
    test::ZipEntry entry = File(std::move(name), std::move(data), deflate);
    entry.password = std::move(password);
    return entry;
}
inline test::ZipEntry Link(std::string name, std::string target) {
    test::ZipEntry entry = Stored(std::move(name), std::move(target));
    entry.symlink = true;
    return entry;
}

}  // namespace quillery
