#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "cli/FormBoxes.h"
#include "scan/ScanContext.h"
#include "settings/Settings.h"

namespace quillery {

// The pattern text of a run started from the command line without "-extensions=".
inline const QString kCommandLinePatterns = QStringLiteral("*.nfo *.diz *.txt *.doc");

// The switches found in an argument text. Each is found as a case-sensitive substring (only
// its first occurrence counts); its value runs from behind the "=" to the next "-", or to the
// end of the text. The folder value is trimmed of blanks, the others are kept as they are.
struct CommandLineSwitches {
    std::optional<QString> extensions;
    std::optional<QString> search;
    std::optional<QString> folder;
    bool audit = false;
    bool allArchives = false;  // every archive type, for this run only
    bool noIndex = false;      // "-noindex": this run goes without the search index
    // The search string is an expression ("-expressions"); letter case counts
    // ("-matchcase"); terms match whole words only ("-wholewords").
    bool expressions = false;
    bool matchCase = false;
    bool wholeWords = false;

    bool operator==(const CommandLineSwitches&) const = default;
};
CommandLineSwitches ParseCommandLine(const QString& line);

struct CommandLineRequest;
// The request of a switch text: its switches, and "-list" found like "-audit".
CommandLineRequest ReadSwitchLine(const QString& line);

// When matches are marked with colours.
enum class ColorChoice { Never, Auto, Always };

// Everything a command line asks for: the search values and how a run reports its matches.
struct CommandLineRequest {
    CommandLineSwitches switches;
    bool list = false;                 // each matching archive's path on standard output
    bool nullEnds = false;             // those paths end with a NUL byte instead of a line end
    std::optional<QString> auditFile;  // audit strings from this file instead of audit.txt
    std::optional<QString> logFile;    // the log entry appended here instead of the usual log
    bool noLog = false;                // no log entry at all
    bool noMessages = false;           // no line for a folder or archive that cannot be read
    bool saveSettings = false;         // the run's values stored as the window's
    // What matched, on standard output instead of the list: each matching line, the count of
    // matching lines of each archive, or JSON Lines (the first of these given wins: json,
    // count, matches).
    bool matches = false;
    bool count = false;
    bool json = false;
    ColorChoice color = ColorChoice::Never;
    bool separateWords = false;  // given as options and values, not as one switch text
    // The folder's value as the bytes given (separate words only), which its text may not
    // hold exactly (a name that is not UTF-8); empty when none was given.
    std::string folderBytes;

    bool operator==(const CommandLineRequest&) const = default;
};

// What the program's arguments ask it to do.
enum class ArgumentAction { Start, Help, Version, Error };
struct ParsedArguments {
    ArgumentAction action = ArgumentAction::Start;
    CommandLineRequest request;
    QString error;  // one line, for ArgumentAction::Error
};

// Reads the program's arguments (without the program name). "--help", "-h" and "--version"
// alone ask for the usage or version text. A first argument starting with "--" makes them
// options and values, every value taken exactly as given; otherwise they are joined by
// blanks into a switch text (ParseCommandLine, plus "-list" found like "-audit").
ParsedArguments ParseArguments(const QStringList& arguments);

// The bytes of the folder's value among the program's arguments (without the program name)
// in the form of separate words, the first --folder as ParseArguments finds it; empty when
// there is none.
std::string FolderArgumentBytes(const std::vector<std::string>& arguments);

// The long option names that ParseArguments accepts, without their leading "--".
QStringList LongOptionNames();

// Puts the stored index settings into the options dialog's box and the state: a command-line
// run happens before the stored settings are loaded, yet an index switched off stays off.
void ApplyIndexSettings(const SettingsValues& values, RunState& state, FormBoxes& form);

// Puts the requested values into the form and runs one search when they name a folder and a
// search string (or a folder and audit mode). argumentText is the program's argument text,
// shown in the log of the run. Returns true when a run took place (or was refused); the
// program then ends.
bool ProcessCommandLine(ScanContext& ctx, FormBoxes& form, const QString& argumentText,
                        const CommandLineRequest& request);

}  // namespace quillery
