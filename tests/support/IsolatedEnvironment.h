#pragma once

#include <filesystem>

namespace quillery::test {

// Points HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME, TMPDIR and the working folder at fresh folders
// below one private temporary root, so that no test touches the user's files. Called once by the
// test programs' main before anything else runs; the root is removed at exit.
void IsolateEnvironment();

}  // namespace quillery::test
