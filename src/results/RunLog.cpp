#include "results/RunLog.h"

#include <QFile>
#include <QLocale>

#include "settings/Product.h"

namespace quillery {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kAuditFileName = QStringLiteral("Audit.TXT");
const QString kMakerNotice = QStringLiteral(
    "Quillery is made by Velmora. Suggestions are welcome at quillery@velmora.example");

// The log box is emptied rather than grown past this many characters.
constexpr qsizetype kBoxLimit = 32000;

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void AddLine(QString& text, const QString& line) {
    text += line;
    text += kLineEnd;
}

}  // namespace

QString LogFileName() {
    return kProductName + kVersionNumber + QStringLiteral(".Log");
}

RunLogEntry FormatRunLog(const RunLogInput& input, bool withHeader, const QDateTime& now,
                         const QLocale& locale) {
    RunLogEntry entry;
    QString& run = entry.runLines;
    if (withHeader) {
        AddLine(run, QStringLiteral("Log created By ") + kProductName + kVersionText +
                         QStringLiteral(" On ") + locale.toString(now.date(), QLocale::LongFormat) +
                         QStringLiteral(", At ") + now.time().toString(QStringLiteral("HH:mm")));
        AddLine(run, kMakerNotice);
        AddLine(run, {});
    }
    if (!input.commandLine.isEmpty()) {
        AddLine(run, QStringLiteral("Ran with Command Line ") + Quoted(input.commandLine));
    }
    if (input.auditMode) {
        AddLine(run, input.useAudit ? QStringLiteral("Using Audit File")
                                    : QStringLiteral("Audit chosen, but COULDN'T load ") +
                                          Quoted(kAuditFileName));
    }
    AddLine(run, QStringLiteral("Starting Folder ") + Quoted(input.startFolder));
    AddLine(run, QStringLiteral("Using File Extensions ") + Quoted(input.patternText));
    AddLine(run, QStringLiteral("Number of files scanned ") + QString::number(input.filesChecked));
    if (input.auditMode) {
        AddLine(run, QStringLiteral("Number of files that matched strings from ") +
                         Quoted(kAuditFileName) + QStringLiteral(" file ") +
                         QString::number(input.filesFound));
    } else {
        AddLine(run, QStringLiteral("Number of files that matched ") + Quoted(input.searchString) +
                         QStringLiteral(" was ") + QString::number(input.filesFound));
    }
    AddLine(run, {});

    QString& results = entry.resultLines;
    for (const RunLogInput::Row& row : input.rows) {
        AddLine(results, row.filePath + row.fileName);
    }
    AddLine(results, {});

    // The file has one more empty line before the entry and one between its two parts.
    entry.fileText = kLineEnd + run + kLineEnd + results;
    return entry;
}

RunLogWriter::Outcome RunLogWriter::write(const RunLogInput& input, const QString& boxText,
                                          const QDateTime& now) {
    if (input.filesChecked == 0) {
        return {false, boxText};
    }
    QFile file(LogFileName());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return {true, boxText};
    }
    const bool withHeader = !headerWritten_;
    const RunLogEntry entry = FormatRunLog(input, withHeader, now);
    headerWritten_ = true;

    const QByteArray bytes = entry.fileText.toUtf8();
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        return {true, boxText};
    }

    QString box = boxText + entry.runLines;
    if (box.size() + entry.resultLines.size() > kBoxLimit) {
        box.clear();
    } else {
        box += entry.resultLines;
    }
    return {false, box};
}

}  // namespace quillery
