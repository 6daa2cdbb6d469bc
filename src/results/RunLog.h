#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace quillery {

// "Quillery 0.67 .Log", in the working folder at the time of writing.
QString LogFileName();

// What one log entry is made of, read at the moment of writing.
struct RunLogInput {
    std::int64_t filesChecked = 0;
    std::int64_t filesFound = 0;
    QString startFolder;  // as shown
    QString searchString;
    QString commandLine;
    QString patternText;
    bool auditMode = false;
    bool useAudit = false;
    struct Row {
        QString filePath;  // as shown, ending with the separator
        QString fileName;
    };
    std::vector<Row> rows;  // in list order
};

// The text of one entry.
struct RunLogEntry {
    QString fileText;     // appended to the file: CR LF line ends
    QString runLines;     // for the log box: header (if any) and the run's lines
    QString resultLines;  // for the log box: the result lines and one empty line
};

// Builds the entry; withHeader adds the two header lines and the empty line after them,
// dated now in the locale's long date and 24-hour short time formats.
RunLogEntry FormatRunLog(const RunLogInput& input, bool withHeader, const QDateTime& now,
                         const QLocale& locale = QLocale());

// Appends entries to the log file and keeps the log box's text. Remembers whether the header
// was written since the program started.
class RunLogWriter {
  public:
    struct Outcome {
        bool failed = false;  // the file could not be opened or written
        QString boxText;      // the log box's new text
    };

    // Writes nothing when no archive was examined (the box keeps its text). Otherwise appends
    // the whole entry to the file (every row, however many) and the entry's box text to the
    // box. The box holds about a megabyte of text: the oldest lines make room for the new
    // entry, which shows whole (or its beginning, when it alone is longer than that).
    Outcome write(const RunLogInput& input, const QString& boxText,
                  const QDateTime& now = QDateTime::currentDateTime());

    bool headerWritten() const { return headerWritten_; }
    // The file the entries go to: LogFileName() in the working folder unless set.
    void setFile(const QString& file) { file_ = file; }
    QString file() const { return file_.isEmpty() ? LogFileName() : file_; }

  private:
    bool headerWritten_ = false;
    QString file_;
};

}  // namespace quillery
