// Arbitrary audit files: one string per line, none with a line break or outer blanks.
#include <cstdint>
#include <cstdlib>

#include "scan/AuditFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = quillery::ParseAuditStrings(bytes);
    if (lines.size() > bytes.count('\n') + 1) {
        std::abort();
    }
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('\n')) || line.startsWith(QLatin1Char(' ')) ||
            line.endsWith(QLatin1Char(' '))) {
            std::abort();
        }
    }
    return 0;
}
