#include "cli/CommandLineOutput.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "archive/Staging.h"
#include "scan/ReaderSearch.h"
#include "text/ShownPath.h"

namespace quillery {

namespace {

// At most ten redraws a second.
constexpr qint64 kRedrawMilliseconds = 100;

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace

void CommandLineOutput::folderEntered(const std::filesystem::path& folder) {
    if (choice_.statusLine) {
        folder_ = PathText(folder);
        drawWhenDue();
    }
}

bool CommandLineOutput::put(std::string_view bytes) {
    if (outputClosed_) {
        return false;
    }
    erase();  // standard output may share the terminal
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
        // The run stops at the next archive and ends as a stopped run does. When the reader
        // of a pipe has ended, that is all: nobody reads the output any more.
        if (errno != EPIPE) {
            writeError_ = std::generic_category().message(errno != 0 ? errno : EIO);
        }
        outputClosed_ = true;
        state_.KeepScanning = false;
        return false;
    }
    return true;
}

void CommandLineOutput::archiveDecided(const std::string& archive, bool matched) {
    ++checked_;
    if (matched) {
        ++matched_;
        if (choice_.detail != Detail::None) {
            showDetail(archive);
        } else if (choice_.list) {
            std::string line = archive;
            line += choice_.nullEnds ? '\0' : '\n';
            put(line);
        }
    }
    if (choice_.statusLine) {
        drawWhenDue();
    }
}

void CommandLineOutput::showDetail(const std::string& archive) {
    const ReaderSearch search = SearchOfRun(state_);
    if (!reader_) {
        reader_ = std::make_unique<ReaderProcess>();
        // A stop or a signal ends a wait for the reader, as in the walk.
        reader_->whileWaiting([this] {
            ctx_.events.waiting();
            return state_.KeepScanning && !state_.closing;
        });
        const TextMatcher matcher = MatcherForSearch(search);
        terms_ = matcher.expression().terms;
        if (const QueryMatcher* query = matcher.query()) {
            terms_.clear();
            for (const QueryTerm& term : query->query().terms) {
                terms_.push_back(term.text);
            }
        }
        if (state_.AuditMode) {
            for (qsizetype i = 0;
                 i < state_.AuditStrings.size() && static_cast<std::size_t>(i) < terms_.size();
                 ++i) {
                terms_[static_cast<std::size_t>(i)] = state_.AuditStrings[i];
            }
        }
        termArchives_.assign(terms_.size(), 0);
    }
    ExamineJob job;
    job.call = PlannedStagingCall(state_.staging,
                                  EffectivePatternText(patternText_ ? patternText_() : QString()),
                                  archive, state_.WorkFolder, false, true);
    job.lines = true;
    ReaderAnswer answer = reader_->examineOne(search, job);
    if (!answer.examined) {
        if (state_.KeepScanning && !state_.closing) {  // not merely stopped
            problem(archive, answer.failure.empty() ? "could not be read again" : answer.failure);
        }
        return;
    }
    std::uint64_t lines = 0;
    std::vector<char> found(terms_.size(), 0);
    std::string out;
    for (const EntryLines& entry : answer.lines) {
        ++entries_;
        const LinePlace place{&archive, &entry, &terms_, state_.AuditMode};
        for (const MatchedLine& line : entry.lines) {
            ++lines;
            hits_ += line.hits.size();
            for (const LineHit& hit : line.hits) {
                if (hit.term < found.size()) {
                    found[hit.term] = 1;
                }
            }
            if (choice_.detail == Detail::Matches) {
                out += MatchesLine(place, line, choice_.colors);
            } else if (choice_.detail == Detail::Json) {
                out += JsonHits(place, line);
            }
        }
    }
    lines_ += lines;
    for (std::size_t t = 0; t < found.size(); ++t) {
        termArchives_[t] += found[t] != 0 ? 1 : 0;
    }
    if (choice_.detail == Detail::Count) {
        out = CountLine(archive, lines, choice_.colors);
    }
    put(out);
}

void CommandLineOutput::finish() {
    if (choice_.detail == Detail::Json) {
        put(JsonSummary(checked_, matched_, entries_, lines_, hits_));
    }
    if (choice_.detail != Detail::None && state_.AuditMode && !terms_.empty()) {
        std::string said;
        for (std::size_t t = 0; t < terms_.size(); ++t) {
            if (termArchives_[t] > 0) {
                said += (said.empty() ? "" : ", ") + ('"' + terms_[t].toStdString() + '"') +
                        " in " + std::to_string(termArchives_[t]) +
                        (termArchives_[t] == 1 ? " archive" : " archives");
            }
        }
        erase();
        std::fprintf(stderr, "quillery: audit strings found: %s\n",
                     said.empty() ? "none" : said.c_str());
    }
}

bool CommandLineOutput::problem(const std::string& path, const std::string& reason) {
    if (!choice_.problems) {
        return false;
    }
    ++problems_;
    if (!choice_.quiet) {
        erase();
        std::fprintf(stderr, "quillery: %s: %s\n", path.c_str(), reason.c_str());
        std::fflush(stderr);
    }
    return true;
}

void CommandLineOutput::drawWhenDue() {
    if (sinceDraw_.isValid() && sinceDraw_.elapsed() < kRedrawMilliseconds) {
        return;
    }
    sinceDraw_.start();
    const QString counts =
        QStringLiteral("Checked %1, found %2: ").arg(state_.FilesChecked).arg(state_.FilesFound);
    // One line, never wrapped: a long folder keeps its end.
    const qsizetype room = TerminalColumns() - 1 - counts.size();
    QString folder = folder_;
    if (folder.size() > room) {
        folder = room > 3 ? QStringLiteral("...") + folder.right(room - 3) : QString();
    }
    std::fprintf(stderr, "\r\033[K%s%s", counts.toLocal8Bit().constData(),
                 folder.toLocal8Bit().constData());
    std::fflush(stderr);
    shown_ = true;
}

void CommandLineOutput::erase() {
    if (shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }
}

}  // namespace quillery
