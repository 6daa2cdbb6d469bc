#pragma once

#include <string>
#include <vector>

#include "archive/UnzipCallbacks.h"
#include "archive/UnzipOptions.h"

namespace quillery {

// Extracts from options.zipFileName the entries selected by the name lists:
// an entry is selected when the include list is empty or one of its patterns matches the
// entry's whole name, and no pattern of the exclude list matches. Patterns use '*' (any run
// of characters, '/' included) and '?' (one character); with caseInsensitiveNames they are
// compared without regard to case.
//
// Flat mode writes each selected file entry under its last name component; with
// recreateFolders the entry's folders are made below the target. Names are cleaned first:
// '\' counts as a separator, drive letters, leading separators, "." and ".." components
// are dropped, so nothing is ever written outside options.extractFolder. Symbolic-link
// entries are written as ordinary files holding the link text; no link is ever created or
// followed. A file that fails its check is removed again.
//
// The modes, first match wins: listContents hands each selected entry, folders included, to
// the message callback and extracts nothing; testOnly inflates and checks; writeToStdout
// hands the bytes to callbacks.output (or to print without one); otherwise files are
// written, which needs extractFolder (created when missing). Folder entries are never
// selected files: with recreateFolders a selected one makes its folder, else it is ignored.
//
// An existing target is replaced with overwriteExisting; else, with promptToOverwrite, as
// the replace callback answers; else it is kept. extractOnlyNewer keeps targets whose time
// is not older than the entry's; freshenExisting writes only targets that exist already.
// A target kept for any of these reasons is not a problem. Replacing a folder, or finding
// anything but a real folder where a folder belongs, fails with kUnzWriteFailed.
//
// An encrypted entry is tried with the password that last worked in this call, then with
// up to three answers of the password callback. A password counts as right only once the
// entry inflates with a correct CRC, so an encrypted entry whose data is damaged ends as
// skipped (kUnzEncryptedSkipped) rather than corrupt.
//
// A file whose name ends with the suffix of another archive type (IsOtherArchiveName) is
// read with libarchive, in one pass, under the same contract; a zip entry in a compression
// method libzip lacks is read through libarchive too, or with liblzma when it is LZMA. With
// allArchives, entries that are archives themselves are searched in turn when streaming or
// extracting flat (see NestedArchives.h): an inner archive that cannot be read counts as a damaged
// entry.
//
// Returns kUnzOk when every selected file entry was extracted completely or deliberately
// kept; kUnzNoMatch when the include list is not empty and selects no file entry; otherwise
// one of the codes of UnzipResult (see there for which stop the call and which wins).
int SingleEntryUnzip(const std::vector<std::string>& include,
                     const std::vector<std::string>& exclude, const UnzipOptions& options,
                     const UnzipCallbacks& callbacks);

}  // namespace quillery
