#include "scan/FileMatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "archive/UniqueFd.h"
#include "scan/MatchStream.h"
#include "scan/WorkFolder.h"

namespace quillery {

namespace fs = std::filesystem;

TextMatcher MatcherForRun(const RunState& state) {
    if (state.AuditMode) {
        return TextMatcher(AuditExpression(state.UseAudit ? state.AuditStrings : QStringList()));
    }
    TextMatcher matcher(ParseSearchExpression(state.SearchString));
    if (state.Expressions || state.MatchCase || state.WholeWords) {
        const QueryOptions options{state.MatchCase, state.WholeWords};
        std::variant<QueryMatcher, QueryError> made =
            state.Expressions ? QueryMatcher::Make(state.SearchString, options)
                              : QueryMatcher::MakeLiteral(state.SearchString, options);
        // A malformed expression is refused before a run; should one come here, it matches
        // nothing.
        if (std::holds_alternative<QueryError>(made)) {
            made = QueryMatcher::Make(QStringLiteral("!()"), options);
        }
        matcher.setQuery(
            std::make_shared<const QueryMatcher>(std::move(std::get<QueryMatcher>(made))));
    }
    return matcher;
}

bool MatchFile(const TextMatcher& matcher, const fs::path& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    MatchStream stream(matcher, CodePageForName(path.filename().string()));
    std::array<char, 64 * 1024> buffer;
    bool ok = true;
    while (!stream.decided()) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        stream.feed(buffer.data(), static_cast<std::size_t>(got));
    }
    return ok && stream.finish();
}

bool SearchWorkFolder(const RunState& state) {
    bool result = false;
    if (state.WorkFolder.empty()) {
        return false;
    }
    const TextMatcher matcher = MatcherForRun(state);
    std::error_code ec;
    for (fs::directory_iterator it(state.WorkFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (MatchFile(matcher, it->path())) {
            result = true;
            break;
        }
    }
    ShellDelete(state.WorkFolder);
    return result;
}

}  // namespace quillery
