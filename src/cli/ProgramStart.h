#pragma once

#include <QStringList>
#include <optional>

#include "cli/CommandLine.h"

namespace quillery {

// The arguments of a program as both programs take them first.
struct ProgramArguments {
    QStringList words;       // without the program name
    ParsedArguments parsed;  // what they ask for
    // Set when the program ends here: the usage or version text was printed (0), or the
    // options were wrong (2, said on standard error).
    std::optional<int> exitStatus;
};

// What both programs do next: Qt's notes that say nothing to a user are filtered out, and
// the arguments are read,
// with --help, --version and wrong options answered at once.
ProgramArguments StartProgram(int argc, char** argv);

// Call first in main, before the reader launcher is forked: the local time zone is named so
// that the C library reads it once, and a standard stream that is closed gets a descriptor
// that cannot be written (so that writing to it fails, and is reported, instead of landing in
// whatever file the program opens first under its number).
void PrepareProcess();

// Whether a window could be shown (DISPLAY or WAYLAND_DISPLAY is set).
bool HasDisplay();

}  // namespace quillery
