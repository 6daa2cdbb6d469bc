#pragma once

#include <filesystem>

namespace quillery::test {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& rel) const { return path_ / rel; }

  private:
    std::filesystem::path path_;
};

}  // namespace quillery::test
