#pragma once

#include <QString>

namespace quillery {

// "Quillery 0.67": what --version prints.
QString VersionLine();

// What --help prints: both forms of the command line, every option, the exit statuses and
// the files the program reads and writes.
QString UsageText();

// What a start without a display whose arguments run no search writes before it ends.
QString NoDisplayText();

}  // namespace quillery
