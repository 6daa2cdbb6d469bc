#pragma once

#include <QString>
#include <filesystem>

namespace quillery {

// How paths and names are shown and logged. Where the file system ignores case, folders are
// shown in upper case and archive names in lower case; where it respects case, both are
// shown exactly as listed, since another case would name another file. File access always
// uses the names as listed.
bool FileSystemIgnoresCase();
QString ShownFolder(const QString& folder);
QString ShownFileName(const QString& name);

// The path separator of the platform ("\" or "/") and conversions between a path and its
// text. Names that are not valid in the local encoding are shown with replacement
// characters; the path itself is never rebuilt from the shown text.
QChar PathSeparator();
QString PathText(const std::filesystem::path& path);
std::filesystem::path PathFromText(const QString& text);

}  // namespace quillery
