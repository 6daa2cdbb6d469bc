#pragma once

#include <string>

namespace quillery {

// Why an archive with this examination result could not be searched, in the words of one
// line on standard error ("damaged archive"); empty when the result is no fault of the
// archive's (a match, no match, entries skipped or encrypted, a stopped run).
std::string ArchiveProblemText(int result);

// Why the archive at path could not be searched, from its examination: a reader's failure,
// why its file cannot be opened for reading (asked only when the result does not tell a
// damaged archive from an unreadable file), or ArchiveProblemText. Empty when nothing went
// wrong, and for a folder named like an archive (the walk takes it as a folder).
std::string ArchiveProblem(int result, const std::string& failure, const std::string& path);

}  // namespace quillery
