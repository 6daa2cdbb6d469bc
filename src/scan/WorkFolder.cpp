#include "scan/WorkFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <system_error>

#include "settings/Product.h"
#include "text/ShownPath.h"

namespace quillery {

namespace {

namespace fs = std::filesystem;

bool EndsWithSeparator(const QString& path) {
    return !path.isEmpty() && (path.endsWith(PathSeparator()) || path.endsWith(QLatin1Char('/')));
}

// A real folder (not a link to one) that belongs to the user.
bool IsPrivateFolder(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

fs::path WithSeparator(fs::path path) {
    if (!path.empty() && path.has_filename()) {
        path += fs::path::preferred_separator;
    }
    return path;
}

}  // namespace

bool FolderExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    std::error_code ec;
    const fs::path p = PathFromText(path);
    if (EndsWithSeparator(path)) {
        return fs::is_directory(p, ec);
    }
    return fs::exists(p, ec);
}

bool MakeFolder(const QString& path, Questions& questions) {
    if (FolderExists(path)) {
        return false;
    }
    std::error_code ec;
    fs::path p = PathFromText(path);
    const bool made = ::mkdir(p.c_str(), 0777) == 0;  // the work folder is made private after
    if (made && FolderExists(path)) {
        return true;
    }
    questions.message(QStringLiteral("Can't create folder \"") + path + QStringLiteral("\",\r\n") +
                          QStringLiteral("please make sure drive is not set to ReadOnly"),
                      TitleText(), MessageStyle::Critical);
    return false;
}

void FixTrailingSlash(QString& path, bool addSlash) {
    if (addSlash) {
        if (!path.endsWith(PathSeparator())) {
            path += PathSeparator();
        }
    } else if (path.endsWith(PathSeparator())) {
        path.chop(1);
    }
}

void SetUpWorkFolder(RunState& state, Questions& questions) {
    QString text = QDir::tempPath();
    FixTrailingSlash(text, true);
    text += kWorkFolderName;
    FixTrailingSlash(text, true);
    // Without its trailing separator, so that a link named so is seen as the link it is.
    fs::path folder = PathFromText(QDir::tempPath()) / PathFromText(kWorkFolderName);
    if (!FolderExists(text)) {
        if (!MakeFolder(text, questions)) {
            state.WorkFolder.clear();
            return;
        }
    }
    if (!IsPrivateFolder(folder)) {
        // Someone else's folder, or a link: never stage files through it.
        std::string pattern = (PathFromText(QDir::tempPath()) / "Quillery XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            questions.message(QStringLiteral("Can't create folder \"") + text +
                                  QStringLiteral("\",\r\n") +
                                  QStringLiteral("please make sure drive is not set to ReadOnly"),
                              TitleText(), MessageStyle::Critical);
            state.WorkFolder.clear();
            return;
        }
        folder = pattern;
    }
    ::chmod(folder.c_str(), 0700);
    state.WorkFolder = WithSeparator(folder);
}

void KillFileQuiet(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return;
    }
    if (S_ISREG(info.st_mode)) {
        ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR);
    }
    ::unlink(path.c_str());
}

void ShellDelete(const fs::path& folder) {
    if (folder.empty()) {
        return;
    }
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        KillFileQuiet(it->path());
    }
}

void EmptyWorkFolder(const RunState& state) {
    ShellDelete(state.WorkFolder);
}

void RemoveWorkFolder(RunState& state) {
    if (state.WorkFolder.empty()) {
        return;
    }
    EmptyWorkFolder(state);
    ShellDelete(state.WorkFolder);
    std::error_code ec;
    fs::remove(state.WorkFolder.parent_path(), ec);  // only when empty
}

}  // namespace quillery
