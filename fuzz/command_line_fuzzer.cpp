// Arbitrary argument texts: the switch parser must take every value from inside the text.
#include <cstdint>
#include <cstdlib>

#include "cli/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const quillery::CommandLineSwitches switches = quillery::ParseCommandLine(line);
    for (const auto& value : {switches.extensions, switches.search, switches.folder}) {
        if (value && (value->contains(QLatin1Char('-')) || !line.contains(value->trimmed()))) {
            std::abort();
        }
    }
    if (switches.audit != line.contains(QStringLiteral("-audit"))) {
        std::abort();
    }
    return 0;
}
