#include "scan/Formats.h"

namespace quillery {

QString FormatCounter(std::int64_t count) {
    return QString::number(count).rightJustified(6, QLatin1Char(' '));
}

QString FormatSizeKB(std::uint64_t bytes, const QLocale& locale) {
    // bytes / 1000 + 0.5, rounded half up, is the whole thousands plus one; in integers it
    // stays exact for every size.
    const std::uint64_t kb = bytes / 1000 + 1;
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(static_cast<qulonglong>(kb));
}

std::int64_t ParseSizeKB(const QString& text, const QLocale& locale) {
    bool ok = false;
    const qlonglong value = locale.toLongLong(text.trimmed(), &ok);
    return ok ? value : 0;
}

}  // namespace quillery
