#pragma once

namespace quillery {

// What both programs do first: Qt's notes that say nothing to a user are filtered out, and
// the local time zone is named so that the C library reads it once.
void PrepareProcess();

}  // namespace quillery
