#pragma once

#include <QString>

namespace quillery {

// Why folder cannot be searched, as "FOLDER: reason" (the reason as the system words it), or
// an empty text when it is a folder. A name that starts with "~" and does not exist gets a
// hint: the shell leaves "~" as it is after "=" (--folder=~/zips).
QString FolderProblem(const QString& folder);

}  // namespace quillery
