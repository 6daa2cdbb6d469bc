#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "scan/RunState.h"

namespace quillery {

// The audit file's name, looked for in the working folder.
inline const QString kAuditFileName = QStringLiteral("audit.txt");

// The audit strings of an audit file's bytes: one per line (CR LF or LF ends a line; a
// final line end adds no line), each trimmed of blanks. The bytes are read as UTF-8, or as
// Windows-1252 when they are not valid UTF-8.
QStringList ParseAuditStrings(const QByteArray& bytes);

// Loads the audit file ("audit.txt" in the working folder unless another is named): UseAudit
// tells whether it loaded. A file that cannot be read leaves no strings behind, so such a
// run never matches strings of an earlier load.
void LoadAuditFile(RunState& state, const QString& fileName = kAuditFileName);

}  // namespace quillery
