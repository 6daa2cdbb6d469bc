#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/MatchOutput.h"
#include "scan/ReaderProcess.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"

namespace quillery {

// What a command-line run writes while it walks: the path of each matching archive (or what
// matched in it) on standard output as soon as it is decided, and, on a terminal, one status
// line on standard error with the counts and the folder being walked.
class CommandLineOutput : public RunListener {
  public:
    // What is shown of a matching archive beside or instead of its path.
    enum class Detail { None, Matches, Count, Json };
    struct Choice {
        bool list = false;      // matching archives' paths on standard output
        bool nullEnds = false;  // each path ends with a NUL byte instead of a line end
        bool statusLine = false;
        // Instead of the path: the archive read once more for its matching lines.
        Detail detail = Detail::None;
        OutputColors colors;
        // Folders and archives that could not be read, and damaged archives, are this
        // output's to tell, one line each on standard error ...
        bool problems = false;
        // ... or to count without a word.
        bool quiet = false;
    };
    // patternText: the run's pattern text as typed, when the run asks for it.
    CommandLineOutput(ScanContext& ctx, Choice choice, std::function<QString()> patternText = {})
        : ctx_(ctx), state_(ctx.state), choice_(choice), patternText_(std::move(patternText)) {}
    ~CommandLineOutput() override { erase(); }
    CommandLineOutput(const CommandLineOutput&) = delete;
    CommandLineOutput& operator=(const CommandLineOutput&) = delete;

    void folderEntered(const std::filesystem::path& folder) override;
    void archiveDecided(const std::string& archive, bool matched) override;
    bool problem(const std::string& path, const std::string& reason) override;
    std::size_t problems() const { return problems_; }
    // Takes the status line off the terminal (before other text goes there, and at the end).
    void erase();
    // After the run: the counts' JSON object, and which audit strings were found.
    void finish();
    // Why the list could not be written (empty when it could, or when only its reader left).
    const std::string& writeError() const { return writeError_; }

  private:
    void drawWhenDue();
    // Writes to standard output; false once it cannot (the run then stops).
    bool put(std::string_view bytes);
    // Reads a matching archive once more for its lines and shows them as chosen.
    void showDetail(const std::string& archive);

    ScanContext& ctx_;
    RunState& state_;
    Choice choice_;
    std::function<QString()> patternText_;
    std::unique_ptr<ReaderProcess> reader_;
    std::vector<QString> terms_;  // what each term of the run is called
    std::uint64_t checked_ = 0, matched_ = 0, entries_ = 0, lines_ = 0, hits_ = 0;
    std::vector<std::uint64_t> termArchives_;  // for each term, the archives it was found in
    QString folder_;
    QElapsedTimer sinceDraw_;
    bool shown_ = false;
    bool outputClosed_ = false;
    std::size_t problems_ = 0;
    std::string writeError_;
};

}  // namespace quillery
