#include "text/ShownPath.h"

#include <QFile>

namespace quillery {

bool FileSystemIgnoresCase() {
#if defined(Q_OS_WIN)
    return true;
#else
    return false;
#endif
}

QString ShownFolder(const QString& folder) {
    return FileSystemIgnoresCase() ? folder.toUpper() : folder;
}

QString ShownFileName(const QString& name) {
    return FileSystemIgnoresCase() ? name.toLower() : name;
}

QChar PathSeparator() {
#if defined(Q_OS_WIN)
    return QLatin1Char('\\');
#else
    return QLatin1Char('/');
#endif
}

QString PathText(const std::filesystem::path& path) {
#if defined(Q_OS_WIN)
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

std::filesystem::path PathFromText(const QString& text) {
#if defined(Q_OS_WIN)
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

}  // namespace quillery
