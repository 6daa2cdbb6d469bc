// Arbitrary bytes as an archive, examined end to end in a sandboxed reader process under short
// limits: every input gets an answer (a verdict, or the reason the reader could not give one),
// a reader that failed is replaced, and the reader in use always answers the next input. As in
// the unzip target, what does not start as a zip file does is named .7z; summaries are asked
// for inputs of odd length. The reader's own code is exercised by the unzip target; this one
// drives the hand-over: the protocol, the limits, the killing and the restarting.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "InputArchive.h"
#include "archive/Staging.h"
#include "archive/UnzipResult.h"
#include "scan/ReaderMain.h"
#include "scan/ReaderProcess.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

quillery::ReaderLimits FuzzLimits() {
    quillery::ReaderLimits limits;
    limits.base = milliseconds(1'500);
    limits.perTenMegabytes = milliseconds(100);
    limits.residentBytes = std::uint64_t{256} << 20;  // a sanitized reader starts larger
    return limits;
}

quillery::ReaderProcess& Reader() {
    static quillery::ReaderProcess reader(FuzzLimits());
    return reader;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The readers are this program run again.
    if (const int status = quillery::RunReaderIfAsked(*argc, *argv); status >= 0) {
        std::_Exit(status);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using quillery::fuzz::Scratch;
    const bool other = quillery::fuzz::ForLibarchive(data, size);
    const bool summarise = (size & 1) != 0;
    const fs::path archive = quillery::fuzz::WriteInputArchive(data, size);
    quillery::StagingState staging;
    staging.allArchives = true;
    const quillery::StagingCall call = quillery::PlannedStagingCall(
        staging, other ? "*.*" : "*.txt *.nfo", archive, Scratch() / "work", false, true);
    const quillery::ReaderSearch search{QStringLiteral("needle"), false, false, {}};
    quillery::ReaderProcess& reader = Reader();
    const quillery::ReaderAnswer answer = reader.examineOne(search, {call, summarise});
    // An answer is a verdict or says why there is none; a failed reader is gone.
    if (answer.examined != answer.failure.empty() ||
        (!answer.examined &&
         (answer.matched || answer.result != quillery::kUnzCorrupt || reader.pid() != 0)) ||
        (!summarise && !answer.summaries.empty())) {
        std::abort();
    }
    return 0;
}
