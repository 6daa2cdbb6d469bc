#pragma once

#include <QElapsedTimer>
#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/FormBoxes.h"
#include "results/RunLog.h"
#include "scan/RunEvents.h"
#include "scan/RunState.h"

namespace quillery {

// The main window's values without a window, for a run from the command line: the boxes keep
// their text as the window's would (the search and folder boxes pass a change on to the
// state, a text keeps at most 32,767 characters), the run's matches are kept for its log, and
// a yield lets pending events (a signal's) run now and then.
class PlainForm : public FormBoxes, public RunEvents {
  public:
    explicit PlainForm(RunState& state) : state_(state) {}

    // FormBoxes
    QString searchText() const override { return search_; }
    void setSearchText(const QString& text) override;
    QString folderText() const override { return folder_; }
    void setFolderText(const QString& text) override;
    QString patternText() const override { return patterns_; }
    void setPatternText(const QString& text) override { patterns_ = BoxText(text); }
    bool optionChecked(OptionBox box) const override;
    void setOptionChecked(OptionBox box, bool checked) override { options_[box] = checked; }
    QString statusText() const override;
    void setStatus(const QString& text) override;

    // RunEvents
    void phase(RunPhase phase) override;
    void status(const QString& text) override { setStatus(text); }
    // The status text is only made when it is asked for.
    void checking(const std::string& archive) override { checking_ = archive; }
    void archiveFound(const FoundArchive& found) override;
    void yieldToEvents() override;
    void patternTextSet(const QString& text) override { setPatternText(text); }
    void notice(const QString& text) override;

    // The matches of the last run, as its log lists them.
    const std::vector<RunLogInput::Row>& matches() const { return matches_; }

  private:
    static QString BoxText(const QString& text) {
        return text.size() > 32767 ? text.left(32767) : text;
    }

    RunState& state_;
    QString search_, folder_, patterns_, status_;
    std::optional<std::string> checking_;  // the archive of a checking status not made yet
    std::vector<RunLogInput::Row> matches_;
    std::map<OptionBox, bool> options_;
    QElapsedTimer sinceEvents_;
};

}  // namespace quillery
