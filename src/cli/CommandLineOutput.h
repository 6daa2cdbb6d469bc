#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstddef>
#include <filesystem>
#include <string>

#include "scan/RunState.h"
#include "scan/ScanContext.h"

namespace quillery {

// What a command-line run writes while it walks: the path of each matching archive on
// standard output as soon as it is decided, and, on a terminal, one status line on standard
// error with the counts and the folder being walked.
class CommandLineOutput : public RunListener {
  public:
    struct Choice {
        bool list = false;      // matching archives' paths on standard output
        bool nullEnds = false;  // each path ends with a NUL byte instead of a line end
        bool statusLine = false;
        // Folders and archives that could not be read, and damaged archives, are this
        // output's to tell, one line each on standard error ...
        bool problems = false;
        // ... or to count without a word.
        bool quiet = false;
    };
    CommandLineOutput(RunState& state, Choice choice) : state_(state), choice_(choice) {}
    ~CommandLineOutput() override { erase(); }
    CommandLineOutput(const CommandLineOutput&) = delete;
    CommandLineOutput& operator=(const CommandLineOutput&) = delete;

    void folderEntered(const std::filesystem::path& folder) override;
    void archiveDecided(const std::string& archive, bool matched) override;
    bool problem(const std::string& path, const std::string& reason) override;
    std::size_t problems() const { return problems_; }
    // Takes the status line off the terminal (before other text goes there, and at the end).
    void erase();
    // Why the list could not be written (empty when it could, or when only its reader left).
    const std::string& writeError() const { return writeError_; }

  private:
    void drawWhenDue();

    RunState& state_;
    Choice choice_;
    QString folder_;
    QElapsedTimer sinceDraw_;
    bool shown_ = false;
    bool outputClosed_ = false;
    std::size_t problems_ = 0;
    std::string writeError_;
};

}  // namespace quillery
