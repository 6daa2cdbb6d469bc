// Arbitrary pattern texts and entry names: the include list, the stored form of the text and
// the name matching. A stored pattern text must give the same include list as the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/NamePattern.h"
#include "archive/Staging.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string patternText = input.substr(0, split);
    const std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);

    const QString text =
        QString::fromUtf8(patternText.data(), static_cast<qsizetype>(patternText.size()));
    const QStringList patterns = quillery::IncludePatternsFromText(text);
    if (const auto stored = quillery::NormalisePatternText(text); stored && !text.isEmpty()) {
        if (quillery::IncludePatternsFromText(*stored) != patterns) {
            std::abort();
        }
    }
    for (const QString& pattern : patterns) {
        const std::string p = pattern.toStdString();
        quillery::MatchNamePattern(p, name, true);
        quillery::MatchNamePattern(p, name, false);
    }
    quillery::MatchNamePattern(patternText, name, true);
    return 0;
}
