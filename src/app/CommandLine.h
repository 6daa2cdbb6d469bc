#pragma once

#include <QString>
#include <optional>

#include "settings/Settings.h"

namespace quillery {

class Application;

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
    bool noIndex = false;  // "-noindex": this run goes without the search index

    bool operator==(const CommandLineSwitches&) const = default;
};
CommandLineSwitches ParseCommandLine(const QString& line);

// Puts the stored index settings into the options dialog's box and the state: a command-line
// run happens before the stored settings are loaded, yet an index switched off stays off.
void ApplyIndexSettings(const SettingsValues& values, Application& app);

// Puts the switches of the argument text into the windows and runs one search when they
// name a folder and a search string (or a folder and "-audit"). Returns true when a run took
// place (or was refused); the program then ends.
bool ProcessCommandLine(Application& app, const QString& argumentText);

}  // namespace quillery
