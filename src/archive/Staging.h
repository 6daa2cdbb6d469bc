#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/Questions.h"
#include "archive/UnzipCallbacks.h"
#include "archive/UnzipOptions.h"

namespace quillery {

// The staging's state, kept between calls as one part of the program's state.
struct StagingState {
    QStringList IncludePatterns;
    int IncludeCount = 0;
    QStringList ExcludePatterns;
    std::filesystem::path ZipFileName;
    std::filesystem::path ExtractFolder;
    UnzipOptions options;      // the fifteen flags; the two paths are set by CallUnzip
    int NoPasswordPrompt = 0;  // 1: the password callback answers "none" at once
    int LastUnzipResult = 0;
    // The run reads every archive type and opens archives inside archives (the "All Archive
    // Types" option, or the command line's switch, as the run started); the viewer opens its
    // results the same way.
    bool allArchives = false;

    // The most bytes one entry may inflate to. A larger entry (a "zip bomb") stops the
    // extraction with kUnzTooLarge: a scan counts the archive as examined and goes on.
    // Scans read in pieces, so their limit only bounds the time an archive takes; the viewer
    // holds its text in memory; whole-archive extraction writes to disk.
    std::uint64_t scanEntryLimit = std::uint64_t{8} << 30;      // 8 GiB
    std::uint64_t viewerEntryLimit = std::uint64_t{256} << 20;  // 256 MiB
    std::uint64_t extractEntryLimit = std::uint64_t{8} << 30;   // 8 GiB
};

// The text the pattern box is given when it is empty at staging time.
inline const QString kDefaultPatternText = QStringLiteral("*.diz *.nfo");

// The include list of a pattern text: the text is split at every "*."; the piece before
// the first one is dropped; each following piece, trimmed of blanks, gives "*." + piece.
// An empty text, or one without "*.", gives no pattern.
QStringList IncludePatternsFromText(const QString& text);

// One call of the extraction layer as StageArchive makes it, complete in itself, so that it
// can be made on another thread.
struct StagingCall {
    std::vector<std::string> include;
    UnzipOptions options;         // the flags with the two paths
    int noPasswordPrompt = 1;     // 1: the password callback answers "none" at once
    bool selectsNothing = false;  // a pattern text without "*.": kUnzNoMatch without a call

    bool operator==(const StagingCall&) const = default;
};

// The call StageArchive would make for zipPath with the state as it is and the given
// pattern text (an effective one: see EffectivePatternText); changes nothing.
StagingCall PlannedStagingCall(const StagingState& state, const QString& patternText,
                               const std::filesystem::path& zipPath,
                               const std::filesystem::path& targetFolder, bool extractAll,
                               bool toSink);

// The pattern text staging works with: the given one, or kDefaultPatternText when it is
// empty (the caller shows that text where the empty one was typed).
QString EffectivePatternText(const QString& patternText);

// "Checking ... " and the archive's path as shown: the status while an archive is staged.
QString CheckingStatus(const std::filesystem::path& archive);

// Everything StageArchive does to the state before the extraction, returning the call to
// make. patternText: the typed pattern text (see EffectivePatternText); unused with
// extractAll.
StagingCall PrepareStaging(StagingState& state, const QString& patternText,
                           const std::filesystem::path& zipPath,
                           const std::filesystem::path& targetFolder, bool extractAll, bool toSink);

// Makes a prepared call. state and questions may be null when no question can come up (the
// password callback then answers "none"); with a state, an empty password answer turns
// further questions off there, as in CallUnzip. Safe on any thread when both are null.
int RunStagingCall(const StagingCall& call, StagingState* state, Questions* questions,
                   EntrySink* sink);

// Stages the entries of one archive into targetFolder through the extraction layer.
// extractAll: every entry with its folders, the password may be asked for. Otherwise the
// entries selected by patternText, flat, never asking; an empty text stands for
// kDefaultPatternText, and a pattern text that yields no pattern selects nothing.
// With a sink the selected entries are handed to it instead of being written.
// Returns 0 on success or the extraction layer's code (also kept in LastUnzipResult).
int StageArchive(StagingState& state, const QString& patternText, Questions& questions,
                 const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
                 bool extractAll, EntrySink* sink = nullptr);

// Calls the extraction layer with the staging state. Returns its result.
int CallUnzip(StagingState& state, Questions& questions, EntrySink* sink = nullptr);

}  // namespace quillery
