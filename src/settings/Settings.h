#pragma once

#include <QString>
#include <optional>

#include "settings/SettingsStore.h"

namespace quillery {

// The remembered search and options: the three boxes of the main window and the check boxes
// of the options dialog (0 clear, 1 ticked).
struct SettingsValues {
    QString searchString;
    QString searchPath;
    QString fileExtensions;
    int audit = 0;
    int internalView = 0;
    int subFolders = 0;
    int showSize = 0;
    int allArchives = 0;
    // How the search string is read: as an expression, letter case as written, whole words.
    int expressions = 0;
    int matchCase = 0;
    int wholeWords = 0;
    // The persistent search index: 1 switches it off; the most megabytes it may take (0:
    // the default).
    int noIndex = 0;
    int indexLimitMB = 0;

    bool operator==(const SettingsValues&) const = default;
};

// The pattern text as it is stored: "*.diz *.nfo" for an empty text; otherwise "*." + each
// piece after a "*." trimmed of blanks + one blank, text before the first "*." dropped.
// A non-empty text without "*." has no stored form (nullopt). Any number of patterns.
std::optional<QString> NormalisePatternText(const QString& text);

// Reads the stored values; whatever is missing (or not a number where one is expected) is
// empty text or 0.
SettingsValues LoadSettings(const SettingsKey& key = DefaultSettingsKey());

// Replaces the stored settings: the key is deleted and written anew (Version "0.67 ", the
// texts and the numbers). Returns false, changing nothing, when the pattern text has no
// stored form.
bool SaveSettings(const SettingsValues& values, const SettingsKey& key = DefaultSettingsKey());

}  // namespace quillery
