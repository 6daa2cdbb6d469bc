#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>

namespace quillery {

// Everything a run needs from whoever starts it, read once before it starts: plain values,
// never a window's boxes.
struct RunRequest {
    QString folder;  // the folder text, as typed or given
    // The folder itself, where its text may not name it exactly (bytes given that are not
    // UTF-8); empty: the folder text names it.
    std::filesystem::path folderPath;
    QString searchText;   // the search string (empty in an audit run)
    QString patternText;  // the entry patterns, as typed (empty: the default pattern text)
    bool audit = false;   // the audit option: the caller loads the strings into the state
    bool subFolders = true;
    bool allArchives = false;
    bool useIndex = true;
};

}  // namespace quillery
