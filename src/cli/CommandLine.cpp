#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <algorithm>
#include <iterator>
#include <string_view>

#include "scan/AuditFile.h"
#include "scan/ScanRun.h"
#include "text/TextCase.h"

namespace quillery {

namespace {

std::optional<QString> SwitchValue(const QString& line, const QString& name) {
    const qsizetype at = line.indexOf(name);
    if (at < 0) {
        return std::nullopt;
    }
    QString value = line.mid(at + name.size());
    const qsizetype dash = value.indexOf(QLatin1Char('-'));
    if (dash >= 0) {
        value.truncate(dash);
    }
    return value;
}

}  // namespace

CommandLineSwitches ParseCommandLine(const QString& line) {
    CommandLineSwitches switches;
    switches.extensions = SwitchValue(line, QStringLiteral("-extensions="));
    switches.search = SwitchValue(line, QStringLiteral("-search="));
    if (auto folder = SwitchValue(line, QStringLiteral("-folder="))) {
        switches.folder = TrimBlanks(*folder);
    }
    switches.audit = line.contains(QStringLiteral("-audit"));
    switches.allArchives = line.contains(QStringLiteral("-allarchives"));
    switches.noIndex = line.contains(QStringLiteral("-noindex"));
    switches.expressions = line.contains(QStringLiteral("-expressions"));
    switches.matchCase = line.contains(QStringLiteral("-matchcase"));
    switches.wholeWords = line.contains(QStringLiteral("-wholewords"));
    return switches;
}

void ApplyIndexSettings(const SettingsValues& values, RunState& state, FormBoxes& form) {
    form.setOptionChecked(OptionBox::Index, values.noIndex == 0);
    if (values.indexLimitMB > 0) {
        state.IndexLimitBytes = static_cast<std::uint64_t>(values.indexLimitMB) << 20;
    }
}

CommandLineRequest ReadSwitchLine(const QString& line) {
    CommandLineRequest request;
    request.switches = ParseCommandLine(line);
    request.list = line.contains(QStringLiteral("-list"));
    return request;
}

namespace {

struct LongOption {
    const char* name;
    const char* valueName;  // null for an option without a value
    const char* description;
    const char* shortName = nullptr;  // a one-letter name beside it, given with one dash
};

// The options of the separate-word form, in the order the usage text lists them.
constexpr LongOption kLongOptions[] = {
    {"folder", "DIR", "the folder to search, with its subfolders"},
    {"search", "TEXT", "the search string"},
    {"extensions", "PATTERNS", "the entry patterns"},
    {"audit", nullptr, "search strings from audit.txt in the working folder"},
    {"audit-file", "FILE", "search strings from FILE"},
    {"all-archives", nullptr, "every archive type, not only zip"},
    {"expressions", nullptr, "the search string is an expression: regex, && || ! ( )", "E"},
    {"case-sensitive", nullptr, "letter case counts"},
    {"word", nullptr, "terms match whole words only", "w"},
    {"no-index", nullptr, "read every archive, without the index"},
    {"list", nullptr, "matching archives' paths on standard output"},
    {"log", "FILE", "append the run's log entry to FILE instead of the working folder's log"},
    {"no-log", nullptr, "write no log entry"},
    {"null", nullptr, "end each listed path with a NUL byte"},
    {"matches", nullptr, "each line that holds a match, as ARCHIVE:ENTRY:LINE:TEXT"},
    {"count", nullptr, "the matching lines of each matching archive, as ARCHIVE:N"},
    {"color", "WHEN", "mark matches, paths and line numbers: auto, always or never"},
    {"json", nullptr, "every match as a JSON object, one per line, and the counts"},
    {"no-messages", nullptr, "no line for a folder or archive that cannot be read", "s"},
    {"save-settings", nullptr, "store the run's folder, search and patterns for the window"},
    {"help", nullptr, "the usage text"},
    {"version", nullptr, "the version"},
};

}  // namespace

namespace {

// The option a word names ("-name" or "--name", with or without "=value"), or null.
const LongOption* OptionNamedBy(std::string_view word) {
    if (word.size() < 2 || word[0] != '-') {
        return nullptr;
    }
    word.remove_prefix(word[1] == '-' ? 2 : 1);
    word = word.substr(0, word.find('='));
    const auto option = std::find_if(std::begin(kLongOptions), std::end(kLongOptions),
                                     [word](const LongOption& o) { return word == o.name; });
    return option == std::end(kLongOptions) ? nullptr : &*option;
}

// Whether the argument after word is word's value.
bool ValueFollows(std::string_view word) {
    const LongOption* option = OptionNamedBy(word);
    return option != nullptr && option->valueName != nullptr &&
           word.find('=') == std::string_view::npos;
}

}  // namespace

std::string FolderArgumentBytes(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--" || word.size() < 2 || word[0] != '-') {
            break;  // what follows is no option
        }
        const LongOption* option = OptionNamedBy(word);
        if (option != nullptr && std::string_view(option->name) == "folder") {
            if (const std::size_t equals = word.find('='); equals != std::string::npos) {
                return word.substr(equals + 1);
            }
            return i + 1 < arguments.size() ? arguments[i + 1] : std::string();
        }
        if (ValueFollows(word)) {
            ++i;  // its value
        }
    }
    return {};
}

QStringList LongOptionNames() {
    QStringList names;
    for (const LongOption& option : kLongOptions) {
        names.push_back(QString::fromLatin1(option.name));
    }
    return names;
}

ParsedArguments ParseArguments(const QStringList& arguments) {
    ParsedArguments parsed;
    if (arguments.size() == 1 &&
        (arguments[0] == QLatin1String("--help") || arguments[0] == QLatin1String("-h"))) {
        parsed.action = ArgumentAction::Help;
        return parsed;
    }
    if (arguments.size() == 1 && arguments[0] == QLatin1String("--version")) {
        parsed.action = ArgumentAction::Version;
        return parsed;
    }
    if (arguments.isEmpty() || !arguments[0].startsWith(QLatin1String("--"))) {
        parsed.request = ReadSwitchLine(arguments.join(QLatin1Char(' ')));
        return parsed;
    }

    // "--color" alone means "--color=auto", as in grep; the parser wants every value given.
    QStringList words = arguments;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == QLatin1String("--")) {
            break;
        }
        if (word == QLatin1String("--color") || word == QLatin1String("-color")) {
            words[i] = QStringLiteral("--color=auto");
            continue;
        }
        if (ValueFollows(word.toStdString())) {
            ++i;  // its value, taken as it is
        }
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const LongOption& option : kLongOptions) {
        QStringList names{QString::fromLatin1(option.name)};
        if (option.shortName != nullptr) {
            names.push_back(QString::fromLatin1(option.shortName));
        }
        parser.addOption(QCommandLineOption(
            names, QString::fromLatin1(option.description),
            option.valueName != nullptr ? QString::fromLatin1(option.valueName) : QString()));
    }
    // The parser wants the program name first.
    if (!parser.parse(QStringList{QStringLiteral("quillery")} + words)) {
        parsed.action = ArgumentAction::Error;
        parsed.error = parser.errorText();
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty()) {
        parsed.action = ArgumentAction::Error;
        parsed.error = QStringLiteral(
                           "Unexpected argument '%1'; values follow their option, "
                           "as in --folder DIR.")
                           .arg(parser.positionalArguments().constFirst());
        return parsed;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parsed.action = ArgumentAction::Help;
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parsed.action = ArgumentAction::Version;
        return parsed;
    }
    CommandLineRequest& request = parsed.request;
    request.separateWords = true;
    // A value given twice: the first one counts, as on a switch line.
    const auto value = [&parser](const char* name) -> std::optional<QString> {
        const QStringList values = parser.values(QString::fromLatin1(name));
        if (values.isEmpty()) {
            return std::nullopt;
        }
        return values.constFirst();
    };
    request.switches.folder = value("folder");
    request.switches.search = value("search");
    request.switches.extensions = value("extensions");
    request.auditFile = value("audit-file");
    request.switches.audit = parser.isSet(QStringLiteral("audit")) || request.auditFile.has_value();
    request.switches.allArchives = parser.isSet(QStringLiteral("all-archives"));
    request.switches.noIndex = parser.isSet(QStringLiteral("no-index"));
    request.switches.expressions = parser.isSet(QStringLiteral("expressions"));
    request.switches.matchCase = parser.isSet(QStringLiteral("case-sensitive"));
    request.switches.wholeWords = parser.isSet(QStringLiteral("word"));
    request.list = parser.isSet(QStringLiteral("list"));
    request.nullEnds = parser.isSet(QStringLiteral("null"));
    request.logFile = value("log");
    request.noLog = parser.isSet(QStringLiteral("no-log"));
    request.noMessages = parser.isSet(QStringLiteral("no-messages"));
    request.saveSettings = parser.isSet(QStringLiteral("save-settings"));
    request.matches = parser.isSet(QStringLiteral("matches"));
    request.count = parser.isSet(QStringLiteral("count"));
    request.json = parser.isSet(QStringLiteral("json"));
    if (const std::optional<QString> when = value("color")) {
        if (*when == QLatin1String("always")) {
            request.color = ColorChoice::Always;
        } else if (*when == QLatin1String("auto")) {
            request.color = ColorChoice::Auto;
        } else if (*when != QLatin1String("never")) {
            parsed.action = ArgumentAction::Error;
            parsed.error =
                QStringLiteral("--color takes auto, always or never, not '%1'.").arg(*when);
            return parsed;
        }
    }
    return parsed;
}

bool ProcessCommandLine(ScanContext& ctx, FormBoxes& view, const QString& argumentText,
                        const CommandLineRequest& request) {
    RunState& state = ctx.state;
    state.SearchFolder.clear();
    state.SearchString.clear();
    state.AuditMode = false;
    state.CommandLine = TrimBlanks(argumentText);
    if (state.CommandLine.isEmpty()) {
        return false;
    }

    view.setPatternText(kCommandLinePatterns);
    const CommandLineSwitches& switches = request.switches;
    ApplyIndexSettings(LoadSettings(), state, view);
    state.NoIndexSwitch = switches.noIndex;
    if (switches.extensions) {
        view.setPatternText(*switches.extensions);
    }
    if (switches.search) {
        state.SearchString = *switches.search;
        view.setSearchText(state.SearchString);
    }
    if (switches.folder) {
        state.SearchFolder = *switches.folder;
        view.setFolderText(state.SearchFolder);
    }
    if (switches.audit) {
        state.AuditMode = true;
        view.setOptionChecked(OptionBox::Audit, true);
        LoadAuditFile(state, request.auditFile.value_or(kAuditFileName));
        if (state.UseAudit) {
            view.setSearchText(QString());
        } else {
            view.setOptionChecked(OptionBox::Audit, false);
        }
    }

    const auto runRequest = [&view, &request] {
        RunRequest run = RequestOf(view);
        run.folderPath = request.folderBytes;
        return run;
    };
    bool ran = false;
    state.AllArchivesSwitch = switches.allArchives;
    state.Expressions = switches.expressions;
    state.MatchCase = switches.matchCase;
    state.WholeWords = switches.wholeWords;
    if (!state.SearchString.isEmpty() && !state.SearchFolder.isEmpty()) {
        RunScan(ctx, runRequest());
        ran = true;
    } else if (!state.SearchFolder.isEmpty() && state.AuditMode) {
        state.SearchString.clear();
        RunScan(ctx, runRequest());
        ran = true;
    }
    state.AllArchivesSwitch = false;
    state.Expressions = state.MatchCase = state.WholeWords = false;
    if (ran) {
        return true;
    }
    state.SearchString.clear();
    state.SearchFolder.clear();
    state.CommandLine.clear();
    return false;
}

}  // namespace quillery
