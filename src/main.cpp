// The program's entry: starts the application with the argument text and runs its window.
#include <QApplication>
#include <QFile>
#include <QString>
#include <QStringList>

#include "app/Application.h"

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

int main(int argc, char** argv) {
    defaultHandler = qInstallMessageHandler(FilterMessages);
    // The same zone, named so that the C library reads it once instead of checking the zone
    // file at every time conversion (libzip converts every entry's date).
    if (qEnvironmentVariableIsEmpty("TZ") && QFile::exists(QStringLiteral("/etc/localtime"))) {
        qputenv("TZ", ":/etc/localtime");
    }
    const bool hasDisplay =
        !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The argument text: everything after the program name, joined by single blanks, taken
    // before Qt looks at the arguments.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(QString::fromLocal8Bit(argv[i]));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    QApplication::setDesktopFileName(QStringLiteral("quillery"));
    quillery::Application quillery(nullptr, hasDisplay);
    const int status = quillery.start(arguments.join(QLatin1Char(' ')));
    if (status >= 0) {
        return status;
    }
    return QApplication::exec();
}
