#include "cli/ProcessSetup.h"

#include <QFile>
#include <QString>
#include <QtGlobal>

namespace quillery {

namespace {

// Qt's note that it picked a runtime folder by itself says nothing to a user of a
// command-line run; everything else goes on to the default handler.
QtMessageHandler defaultHandler = nullptr;
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    defaultHandler(type, context, text);
}

}  // namespace

void PrepareProcess() {
    defaultHandler = qInstallMessageHandler(FilterMessages);
    // The same zone, named so that the C library reads it once instead of checking the zone
    // file at every time conversion (libzip converts every entry's date).
    if (qEnvironmentVariableIsEmpty("TZ") && QFile::exists(QStringLiteral("/etc/localtime"))) {
        qputenv("TZ", ":/etc/localtime");
    }
}

}  // namespace quillery
