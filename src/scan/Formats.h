#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace quillery {

// A count as the counters show it: right-aligned in six characters ("     0"). Larger
// numbers are shown whole, wider than six characters, never cut.
QString FormatCounter(std::int64_t count);

// An archive size in the Size KB column: whole thousands of bytes plus one (0 to 999 bytes
// show 1, 1,500,000 bytes show 1,501), with the locale's thousands separator. Any size a
// file can have is shown, 2 GiB and more included.
QString FormatSizeKB(std::uint64_t bytes, const QLocale& locale = QLocale());

// The number a Size KB text stands for, read with the same locale; 0 when it is no number.
std::int64_t ParseSizeKB(const QString& text, const QLocale& locale = QLocale());

}  // namespace quillery
