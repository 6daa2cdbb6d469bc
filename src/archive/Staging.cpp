#include "archive/Staging.h"

#include <algorithm>
#include <string>
#include <vector>

#include "archive/Unzip.h"
#include "archive/UnzipResult.h"
#include "text/ShownPath.h"
#include "text/TextCase.h"

namespace quillery {

namespace {

constexpr int kMaxNameChars = 256;

std::vector<std::string> ToUtf8List(const QStringList& patterns, int count) {
    std::vector<std::string> out;
    const int n = std::min<int>(count, static_cast<int>(patterns.size()));
    out.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        out.push_back(patterns[i].toStdString());
    }
    return out;
}

// The include list of a pattern text; the last one is kept, since a run stages every
// archive with the same text.
struct PatternCache {
    QString text;
    QStringList patterns;
    std::vector<std::string> include;
    bool valid = false;
};

const PatternCache& PatternsOf(const QString& text) {
    thread_local PatternCache cache;
    if (!cache.valid || cache.text != text) {
        cache.text = text;
        cache.patterns = IncludePatternsFromText(text);
        cache.include = ToUtf8List(cache.patterns, static_cast<int>(cache.patterns.size()));
        cache.valid = true;
    }
    return cache;
}

}  // namespace

QStringList IncludePatternsFromText(const QString& text) {
    QStringList patterns;
    const QStringList pieces = text.split(QStringLiteral("*."));
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        patterns.push_back(QStringLiteral("*.") + TrimBlanks(pieces[i]));
    }
    return patterns;
}

QString CheckingStatus(const std::filesystem::path& archive) {
    return QStringLiteral("Checking ... ") + ShownFolder(PathText(archive));
}

StagingCall PlannedStagingCall(const StagingState& state, const QString& patternText,
                               const std::filesystem::path& zipPath,
                               const std::filesystem::path& targetFolder, bool extractAll,
                               bool toSink) {
    StagingCall call;
    UnzipOptions& o = call.options;
    o = state.options;
    o.promptToOverwrite = 1;
    // Without a folder the layer only lists, unless the entries go to a sink.
    o.listContents = targetFolder.empty() && !toSink ? 1 : 0;
    o.displayComment = 0;
    o.overwriteExisting = 1;
    o.caseInsensitiveNames = 1;
    o.writeToStdout = toSink ? 1 : 0;
    if (extractAll) {
        o.recreateFolders = 1;
        call.noPasswordPrompt = 0;
    } else {
        call.include = PatternsOf(patternText).include;
        o.recreateFolders = 0;
        call.noPasswordPrompt = 1;
        // A pattern text without "*." selects nothing; an empty include list would select
        // every entry.
        call.selectsNothing = call.include.empty();
    }
    o.maxEntryBytes = extractAll ? state.extractEntryLimit
                      : toSink   ? state.scanEntryLimit
                                 : state.viewerEntryLimit;
    o.allArchives = state.allArchives;
    o.zipFileName = zipPath;
    o.extractFolder = targetFolder;
    return call;
}

QString EffectivePatternText(const QString& patternText) {
    return patternText.isEmpty() ? kDefaultPatternText : patternText;
}

StagingCall PrepareStaging(StagingState& state, const QString& patternText,
                           const std::filesystem::path& zipPath,
                           const std::filesystem::path& targetFolder, bool extractAll,
                           bool toSink) {
    const QString text = extractAll ? QString() : EffectivePatternText(patternText);
    StagingCall call = PlannedStagingCall(state, text, zipPath, targetFolder, extractAll, toSink);

    // The state keeps what the call is made with.
    state.options = call.options;
    state.options.zipFileName.clear();
    state.options.extractFolder.clear();
    state.NoPasswordPrompt = call.noPasswordPrompt;
    if (extractAll) {
        state.IncludeCount = 0;
    } else {
        const QStringList& patterns = PatternsOf(text).patterns;
        for (qsizetype i = 0; i < patterns.size(); ++i) {
            if (i < state.IncludePatterns.size()) {
                state.IncludePatterns[i] = patterns[i];
            } else {
                state.IncludePatterns.push_back(patterns[i]);
            }
        }
        state.IncludeCount = static_cast<int>(patterns.size());
    }
    state.ExcludePatterns.clear();
    state.ZipFileName = zipPath;
    state.ExtractFolder = targetFolder;
    return call;
}

int RunStagingCall(const StagingCall& call, StagingState* state, Questions* questions,
                   EntrySink* sink) {
    if (call.selectsNothing) {
        return kUnzNoMatch;
    }
    UnzipCallbacks callbacks;
    callbacks.replace = [questions](const std::string& entryName) {
        if (questions == nullptr) {
            return static_cast<int>(kReplaceNo);
        }
        const QString name = QString::fromStdString(entryName).left(kMaxNameChars);
        return questions->askReplace(QStringLiteral("Overwrite ") + name + QStringLiteral("?"),
                                     QStringLiteral("VBUnZip32 - File Already Exists!"));
    };
    int noPrompt = call.noPasswordPrompt;
    callbacks.password = [state, questions, &noPrompt](std::string& password, const std::string&,
                                                       const std::string&) {
        if (state != nullptr) {
            noPrompt = state->NoPasswordPrompt;
        }
        if (noPrompt == 1 || questions == nullptr) {
            return 1;
        }
        const QString answer = questions->askPassword(QStringLiteral("Please Enter The Password!"));
        if (answer.isEmpty()) {
            noPrompt = 1;
            if (state != nullptr) {
                state->NoPasswordPrompt = 1;
            }
            return 1;
        }
        password = answer.left(kMaxNameChars).toStdString();
        return 0;
    };
    callbacks.message = [](const EntryListing&) {};
    callbacks.service = [](const std::string&, std::uint64_t) { return 0; };
    callbacks.output = sink;
    return SingleEntryUnzip(call.include, {}, call.options, callbacks);
}

int StageArchive(StagingState& state, const QString& patternText, Questions& questions,
                 const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
                 bool extractAll, EntrySink* sink) {
    const StagingCall call =
        PrepareStaging(state, patternText, zipPath, targetFolder, extractAll, sink != nullptr);
    const int result = RunStagingCall(call, &state, &questions, sink);
    state.LastUnzipResult = result;
    return result;
}

int CallUnzip(StagingState& state, Questions& questions, EntrySink* sink) {
    StagingCall call;
    call.include = ToUtf8List(state.IncludePatterns, state.IncludeCount);
    call.options = state.options;
    call.options.zipFileName = state.ZipFileName;
    call.options.extractFolder = state.ExtractFolder;
    call.noPasswordPrompt = state.NoPasswordPrompt;
    return RunStagingCall(call, &state, &questions, sink);
}

}  // namespace quillery
