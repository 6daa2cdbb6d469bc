#pragma once

#include <QElapsedTimer>
#include <QString>
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
    };
    CommandLineOutput(RunState& state, Choice choice) : state_(state), choice_(choice) {}
    ~CommandLineOutput() override { erase(); }
    CommandLineOutput(const CommandLineOutput&) = delete;
    CommandLineOutput& operator=(const CommandLineOutput&) = delete;

    void folderEntered(const std::filesystem::path& folder) override;
    void archiveDecided(const std::string& archive, bool matched) override;
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
    std::string writeError_;
};

}  // namespace quillery
