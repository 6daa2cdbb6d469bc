#pragma once

#include <functional>
#include <string>

namespace quillery {

// The option that makes a program its own reader process, followed by the socket's
// descriptor number, the parent's process id, the mode ("scan" or "stage") and, for
// "stage", the folder it stages to. Only ReaderProcess starts programs with it.
inline constexpr const char* kReaderOption = "--reader-process";

// Call first thing in main(): returns -1 at once unless argv[1] is kReaderOption. Otherwise
// this process becomes a reader: it locks itself in (Sandbox.h), serves the requests it is
// sent on the socket until the socket closes, and returns the exit status for main.
// leftOut hears each sandbox layer the kernel lacks (the program decides whether to say so).
int RunReaderIfAsked(int argc, char** argv,
                     const std::function<void(const std::string&)>& leftOut = {});

}  // namespace quillery
