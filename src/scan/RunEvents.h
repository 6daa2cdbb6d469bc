#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>

namespace quillery {

// An archive that matched, with what a result list shows of it.
struct FoundArchive {
    QString fileName;               // as shown: the archive's name
    QString filePath;               // as shown: its folder, ending with the separator
    std::filesystem::path archive;  // the archive itself, for opening it
};

// The stages of a run, in the order they come.
enum class RunPhase {
    Preparing,  // inputs locked, counters and results cleared, before the request is checked
    Walking,    // the request holds: the walk starts (the start button now stops)
    Walked,     // the walk returned, finished or stopped; the log and summary follow
    Finished,   // the summary is out: inputs free again, the list may sort
};

// What a run tells whoever shows it, as it happens and in order. Every method has a default
// that ignores it, so a consumer implements only what it shows.
class RunEvents {
  public:
    virtual ~RunEvents() = default;
    virtual void phase(RunPhase phase) { (void)phase; }
    virtual void status(const QString& text) { (void)text; }
    // The status while archive is examined: "Checking ... " and its path as shown. A consumer
    // that shows the status only now and then may make the text only when it shows it.
    virtual void checking(const std::string& archive) { (void)archive; }
    virtual void counts(std::int64_t checked, std::int64_t found) {
        (void)checked;
        (void)found;
    }
    virtual void archiveFound(const FoundArchive& found) { (void)found; }
    // Frame 0 to 3 of the progress animation; 0 is also the resting frame.
    virtual void busyFrame(int frame) { (void)frame; }
    // Lets pending events run (a stop click, a close, ...): the run's yield points.
    virtual void yieldToEvents() {}
    // The run waits for an archive that takes long to read: pending events may run as at a
    // yield (a stop then ends the wait), but no yield point is passed.
    virtual void waiting() { yieldToEvents(); }
    // The run filled in an empty pattern text with this default, as the pattern box should.
    virtual void patternTextSet(const QString& text) { (void)text; }
    // Something the user should know that is not a result: an index rebuilt, a setting that
    // was not understood, an archive that could not be read.
    virtual void notice(const QString& text) { (void)text; }
};

}  // namespace quillery
