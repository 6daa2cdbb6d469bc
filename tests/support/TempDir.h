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

// A fresh folder made the working folder for the object's life, where the program writes
// its log and reads its audit file.
class WorkingFolder : public TempDir {
  public:
    WorkingFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(path());
    }
    ~WorkingFolder() { std::filesystem::current_path(previous_); }

  private:
    std::filesystem::path previous_;
};

}  // namespace quillery::test
