#pragma once

#include <QString>
#include <filesystem>

#include "archive/Questions.h"
#include "scan/RunState.h"

namespace quillery {

// The work folder's name below the temporary folder (the product name, trailing blank kept).
inline const QString kWorkFolderName = QStringLiteral("Quillery ");

// Sets state.WorkFolder to <temporary folder>/Quillery /, created when missing with access
// for the user alone. A path that exists but is no folder of the user's own (a file, a link,
// another user's folder) is not used: a fresh private folder beside it is made instead.
// A folder that cannot be created is reported through the "Can't create folder" message
// and leaves state.WorkFolder empty.
void SetUpWorkFolder(RunState& state, Questions& questions);

// With a trailing separator: whether the folder exists. Without: whether a file or a folder
// of that name exists.
bool FolderExists(const QString& path);

// Creates one folder level. True when it made the folder; false when it existed already or
// could not be made (then the "Can't create folder" message is shown).
bool MakeFolder(const QString& path, Questions& questions);

// Adds the separator when missing (addSlash) or removes one trailing separator.
void FixTrailingSlash(QString& path, bool addSlash);

// Deletes every file directly inside folder, read-only ones included, silently; folders
// inside are left alone.
void ShellDelete(const std::filesystem::path& folder);

// Makes a file deletable and deletes it; every error is ignored.
void KillFileQuiet(const std::filesystem::path& path);

// Deletes the work folder's files (EmptyWorkFolder), then removes the folder when empty.
void EmptyWorkFolder(const RunState& state);
void RemoveWorkFolder(RunState& state);

}  // namespace quillery
