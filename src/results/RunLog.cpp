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

// The log box keeps at most this many characters (about a megabyte of text): the oldest
// lines give way to the newest.
constexpr qsizetype kBoxLimit = 1 << 20;

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void AddLine(QString& text, const QString& line) {
    text += line;
    text += kLineEnd;
}

// The box's text with the entry appended, cut to kBoxLimit characters at a line start: the
// oldest lines go first, and an entry longer than the limit keeps its beginning.
QString BoxTextAfter(const QString& boxText, const QString& entry) {
    if (entry.size() >= kBoxLimit) {
        const qsizetype lineEnd = entry.lastIndexOf(QLatin1Char('\n'), kBoxLimit - 1);
        return entry.left(lineEnd >= 0 ? lineEnd + 1 : kBoxLimit);
    }
    const qsizetype excess = boxText.size() + entry.size() - kBoxLimit;
    if (excess <= 0) {
        return boxText + entry;
    }
    // The first line that starts at or after the excess; the entry itself starts a line.
    const qsizetype lineEnd = boxText.indexOf(QLatin1Char('\n'), excess - 1);
    const qsizetype keepFrom = lineEnd >= 0 ? lineEnd + 1 : boxText.size();
    return boxText.mid(keepFrom) + entry;
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
    QFile file(this->file());
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

    return {false, BoxTextAfter(boxText, entry.runLines + entry.resultLines)};
}

}  // namespace quillery
