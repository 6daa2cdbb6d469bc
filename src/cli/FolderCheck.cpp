#include "cli/FolderCheck.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace quillery {

QString FolderProblem(const QString& folder) {
    const QByteArray name = folder.toLocal8Bit();
    struct stat info {};
    int error = 0;
    if (::stat(name.constData(), &info) != 0) {
        error = errno;
    } else if (!S_ISDIR(info.st_mode)) {
        error = ENOTDIR;
    } else {
        return {};
    }
    QString problem = folder + QStringLiteral(": ") +
                      QString::fromStdString(std::generic_category().message(error));
    if (error == ENOENT && folder.startsWith(QLatin1Char('~'))) {
        problem += QStringLiteral(" (the shell does not expand ~ after =: write --folder ~/...)");
    }
    return problem;
}

}  // namespace quillery
