#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scan/RunState.h"
#include "scan/ScanView.h"

namespace quillery {

// The main window's values without a window, for a run from the command line: the boxes keep
// their text as the window's would (the search and folder boxes pass a change on to the
// state, a text keeps at most 32,767 characters), the result list its rows, and a yield lets
// pending events (a signal's) run now and then.
class PlainView : public ScanView {
  public:
    explicit PlainView(RunState& state) : state_(state) {}

    QString searchText() const override { return search_; }
    void setSearchText(const QString& text) override;
    QString folderText() const override { return folder_; }
    void setFolderText(const QString& text) override;
    QString patternText() const override { return patterns_; }
    void setPatternText(const QString& text) override { patterns_ = BoxText(text); }
    void setStatus(const QString& text) override;
    // The status text is only made when it is asked for.
    void setCheckingStatus(const std::string& archive) override;
    QString statusText() const;
    void setInputsEnabled(bool, bool, bool) override {}
    void setStartCaption(const QString&) override {}
    void setCheckedCount(const QString&) override {}
    void setFoundCount(const QString&) override {}

    void clearResults() override { rows_.clear(); }
    void setResultsSorted(bool) override {}
    int resultColumnCount() const override { return static_cast<int>(columns_.size()); }
    int resultListWidth() const override { return 0; }
    void removeResultColumn(const QString& key) override { columns_.removeAll(key); }
    void addResultColumn(const QString& key, const QString&, int, ColumnAlignment) override {
        columns_.push_back(key);
    }
    void addResultRow(const ResultRow& row) override { rows_.push_back(row); }
    int resultRowCount() const override { return static_cast<int>(rows_.size()); }
    ResultRow resultRow(int index) const override {
        return rows_.at(static_cast<std::size_t>(index));
    }

    bool optionChecked(OptionBox box) const override;
    void setOptionChecked(OptionBox box, bool checked) override { options_[box] = checked; }

    void showBusyFrame(int) override {}
    void yieldToEvents() override;

  private:
    static QString BoxText(const QString& text) {
        return text.size() > 32767 ? text.left(32767) : text;
    }

    RunState& state_;
    QString search_, folder_, patterns_, status_;
    std::optional<std::string> checking_;  // the archive of a checking status not made yet
    QStringList columns_;
    std::vector<ResultRow> rows_;
    std::map<OptionBox, bool> options_;
    QElapsedTimer sinceEvents_;
};

}  // namespace quillery
