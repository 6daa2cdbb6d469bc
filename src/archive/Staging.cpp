#include "archive/Staging.h"

#include <algorithm>
#include <string>
#include <vector>

#include "archive/Unzip.h"
#include "archive/UnzipResult.h"
#include "results/ShownPath.h"
#include "results/TextCase.h"

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

}  // namespace

QStringList IncludePatternsFromText(const QString& text) {
    QStringList patterns;
    const QStringList pieces = text.split(QStringLiteral("*."));
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        patterns.push_back(QStringLiteral("*.") + TrimBlanks(pieces[i]));
    }
    return patterns;
}

int StageArchive(StagingState& state, StagingHost& host, Questions& questions,
                 const std::filesystem::path& zipPath, const std::filesystem::path& targetFolder,
                 bool showStatus, bool extractAll, EntrySink* sink) {
    if (showStatus) {
        host.setStatus(QStringLiteral("Checking ... ") + ShownFolder(PathText(zipPath)));
    }
    UnzipOptions& o = state.options;
    o.promptToOverwrite = 1;
    o.listContents = 1;
    o.displayComment = 0;
    o.overwriteExisting = 1;
    o.caseInsensitiveNames = 1;
    o.writeToStdout = sink != nullptr ? 1 : 0;
    state.NoPasswordPrompt = 1;

    if (extractAll) {
        o.recreateFolders = 1;
        state.IncludeCount = 0;
        state.NoPasswordPrompt = 0;
    } else {
        QString text = host.patternText();
        if (text.isEmpty()) {
            host.setPatternText(kDefaultPatternText);
            text = kDefaultPatternText;
        }
        const QStringList patterns = IncludePatternsFromText(text);
        for (qsizetype i = 0; i < patterns.size(); ++i) {
            if (i < state.IncludePatterns.size()) {
                state.IncludePatterns[i] = patterns[i];
            } else {
                state.IncludePatterns.push_back(patterns[i]);
            }
        }
        state.IncludeCount = static_cast<int>(patterns.size());
        o.recreateFolders = 0;
    }

    state.ExcludePatterns.clear();
    state.ZipFileName = zipPath;
    state.ExtractFolder = targetFolder;
    if (!targetFolder.empty()) {
        o.listContents = 0;
    }

    int result;
    if (!extractAll && state.IncludeCount == 0) {
        // A pattern text without "*." selects nothing; an empty include list would select
        // every entry.
        result = kUnzNoMatch;
    } else {
        result = CallUnzip(state, questions, sink);
    }
    state.LastUnzipResult = result;
    return result;
}

int CallUnzip(StagingState& state, Questions& questions, EntrySink* sink) {
    UnzipOptions options = state.options;
    options.zipFileName = state.ZipFileName;
    options.extractFolder = state.ExtractFolder;

    UnzipCallbacks callbacks;
    callbacks.print = [](std::string_view) { return 0; };
    callbacks.replace = [&questions](const std::string& entryName) {
        const QString name = QString::fromStdString(entryName).left(kMaxNameChars);
        return questions.askReplace(QStringLiteral("Overwrite ") + name + QStringLiteral("?"),
                                    QStringLiteral("VBUnZip32 - File Already Exists!"));
    };
    callbacks.password = [&state, &questions](std::string& password, const std::string&,
                                              const std::string&) {
        if (state.NoPasswordPrompt == 1) {
            return 1;
        }
        const QString answer = questions.askPassword(QStringLiteral("Please Enter The Password!"));
        if (answer.isEmpty()) {
            state.NoPasswordPrompt = 1;
            return 1;
        }
        password = answer.left(kMaxNameChars).toStdString();
        return 0;
    };
    callbacks.message = [](const EntryListing&) {};
    callbacks.service = [](const std::string&, std::uint64_t) { return 0; };
    callbacks.output = sink;

    return SingleEntryUnzip(ToUtf8List(state.IncludePatterns, state.IncludeCount),
                            ToUtf8List(state.ExcludePatterns, 0), options, callbacks);
}

}  // namespace quillery
