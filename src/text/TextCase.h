#pragma once

#include <QString>
#include <QStringView>

namespace quillery {

// Upper-cases each code point by its simple mapping, so that the result has exactly the
// length of the input and an offset in one is the same offset in the other. ("ß" stays
// "ß"; a code point whose upper case would need another number of UTF-16 units stays.)
QString UpperSimple(QStringView text);

// Removes leading and trailing blanks (U+0020 only; tabs and line breaks stay).
QStringView TrimBlanks(QStringView text);
QString TrimBlanks(const QString& text);

}  // namespace quillery
