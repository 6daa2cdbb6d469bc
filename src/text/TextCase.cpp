#include "text/TextCase.h"

#include <QChar>

namespace quillery {

QString UpperSimple(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (u < 0x80) {
            dst[i] = QChar(u >= u'a' && u <= u'z' ? u - (u'a' - u'A') : u);
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, text[i + 1]);
            const char32_t up = QChar::toUpper(cp);
            if (QChar::requiresSurrogates(up)) {
                dst[i] = QChar(QChar::highSurrogate(up));
                dst[i + 1] = QChar(QChar::lowSurrogate(up));
            } else {
                dst[i] = c;
                dst[i + 1] = text[i + 1];
            }
            ++i;
            continue;
        }
        dst[i] = c.toUpper();
    }
    return out;
}

QStringView TrimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == u' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString TrimBlanks(const QString& text) {
    return TrimBlanks(QStringView(text)).toString();
}

}  // namespace quillery
