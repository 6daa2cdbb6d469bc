#pragma once

#include <QString>
#include <filesystem>

#include "scan/ScanContext.h"

namespace quillery {

inline const QString kPickTargetFolderPrompt = QStringLiteral("Please Select A Folder.");

enum class WholeArchiveOutcome {
    NoFolder,       // the folder question was cancelled
    AlreadyExists,  // the new folder's name is taken; nothing written
    NotCreated,     // the new folder could not be made (reported)
    Extracted,      // every entry written
    Failed,         // the extraction reported a problem (the folder keeps what was written)
};

// The folder an archive is unpacked into: the chosen folder + the archive's name up to its
// last ".".
std::filesystem::path WholeArchiveFolder(const QString& chosenFolder,
                                         const std::filesystem::path& archive);

// Unpacks the whole archive, folders and all, into a new folder named after it inside
// chosenFolder, asking for passwords as needed, and tells the user how it went.
// A chosen folder shorter than two characters means the question was cancelled.
WholeArchiveOutcome ExtractWholeArchive(ScanContext& ctx, const std::filesystem::path& archive,
                                        const QString& chosenFolder);

}  // namespace quillery
