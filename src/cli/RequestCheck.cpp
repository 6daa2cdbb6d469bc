#include "cli/RequestCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "archive/Staging.h"
#include "archive/UniqueFd.h"
#include "scan/AuditFile.h"
#include "scan/QueryMatcher.h"

namespace quillery {

std::string FolderProblem(const std::string& folder) {
    struct stat info {};
    int error = 0;
    if (::stat(folder.c_str(), &info) != 0) {
        error = errno;
    } else if (!S_ISDIR(info.st_mode)) {
        error = ENOTDIR;
    } else {
        return {};
    }
    std::string problem = folder + ": " + std::generic_category().message(error);
    if (error == ENOENT && folder.starts_with('~')) {
        problem += " (the shell does not expand ~ after =: write --folder ~/...)";
    }
    return problem;
}

std::string RequestProblem(const CommandLineRequest& request) {
    if (std::string problem = FolderProblem(request.folderBytes); !problem.empty()) {
        return problem;
    }
    if (const std::optional<QString>& patterns = request.switches.extensions;
        patterns && IncludePatternsFromText(EffectivePatternText(*patterns)).isEmpty()) {
        return "no entry pattern in '" + patterns->toStdString() + "'; patterns look like *.txt";
    }
    if (request.switches.expressions && !request.switches.audit) {
        if (const QString problem = ExpressionProblem(request.switches.search.value_or(QString()));
            !problem.isEmpty()) {
            return problem.toStdString();
        }
    }
    if (request.switches.audit) {
        const std::string file =
            request.auditFile.value_or(kAuditFileName).toLocal8Bit().toStdString();
        const UniqueFd opened(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (!opened.valid()) {
            return file + ": " + std::generic_category().message(errno);
        }
    }
    return {};
}

}  // namespace quillery
