#include "scan/AuditFile.h"

#include <QFile>
#include <string_view>

#include "text/TextCase.h"
#include "text/TextDecode.h"

namespace quillery {

QStringList ParseAuditStrings(const QByteArray& bytes) {
    const QString text =
        DecodeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                   ByteCodePage::Windows1252);
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0) {
            end = text.size();
        }
        QStringView line = QStringView(text).mid(start, end - start);
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        lines.push_back(TrimBlanks(line).toString());
        start = next;
    }
    return lines;
}

void LoadAuditFile(RunState& state, const QString& fileName) {
    state.UseAudit = false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        state.AuditStrings.clear();
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        state.AuditStrings.clear();
        return;
    }
    state.AuditStrings = ParseAuditStrings(bytes);
    state.UseAudit = true;
}

}  // namespace quillery
