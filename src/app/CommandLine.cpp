#include "app/CommandLine.h"

#include "app/Application.h"
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
    switches.noIndex = line.contains(QStringLiteral("-noindex"));
    return switches;
}

void ApplyIndexSettings(const SettingsValues& values, Application& app) {
    app.view().setOptionChecked(OptionBox::Index, values.noIndex == 0);
    if (values.indexLimitMB > 0) {
        app.state().IndexLimitBytes = static_cast<std::uint64_t>(values.indexLimitMB) << 20;
    }
}

bool ProcessCommandLine(Application& app, const QString& argumentText) {
    RunState& state = app.state();
    ScanView& view = app.view();
    state.SearchFolder.clear();
    state.SearchString.clear();
    state.AuditMode = false;
    state.CommandLine = TrimBlanks(argumentText);
    if (state.CommandLine.isEmpty()) {
        return false;
    }

    view.setPatternText(kCommandLinePatterns);
    const CommandLineSwitches switches = ParseCommandLine(state.CommandLine);
    ApplyIndexSettings(LoadSettings(), app);
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
        LoadAuditFile(state);
        if (state.UseAudit) {
            view.setSearchText(QString());
        } else {
            view.setOptionChecked(OptionBox::Audit, false);
        }
    }

    bool ran = false;
    if (!state.SearchString.isEmpty() && !state.SearchFolder.isEmpty()) {
        RunScan(app.context());
        ran = true;
    } else if (!state.SearchFolder.isEmpty() && state.AuditMode) {
        state.SearchString.clear();
        RunScan(app.context());
        ran = true;
    }
    if (ran) {
        return true;
    }
    state.SearchString.clear();
    state.SearchFolder.clear();
    state.CommandLine.clear();
    return false;
}

}  // namespace quillery
