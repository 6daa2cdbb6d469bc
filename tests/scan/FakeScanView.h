#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "scan/RunState.h"
#include "scan/ScanView.h"
#include "support/FakeQuestions.h"

namespace quillery::test {

// The main window as plain values. Setting a box's text runs the same change handling as the
// window (the search and folder boxes follow into the state). onYield runs at every yield
// with its number (1, 2, ...), so a test can press the button or close at a chosen point.
class FakeScanView : public ScanView {
  public:
    explicit FakeScanView(RunState& state) : state_(state) {}

    QString search, folder, patterns = QStringLiteral("*.nfo *.diz *.txt"), status;
    QString checked = QStringLiteral("     0"), found = QStringLiteral("     0");
    QString startCaption = QStringLiteral("&Start Scanning");
    bool searchEnabled = true, folderEnabled = true, patternsEnabled = true;
    bool sorted = false;
    QStringList columns = {QStringLiteral("fileName"), QStringLiteral("filePath"),
                           QStringLiteral("fileSize")};
    std::vector<ResultRow> rows;
    std::map<OptionBox, bool> options = {{OptionBox::SubFolders, true},
                                         {OptionBox::InternalViewer, true}};
    QStringList statusHistory;
    int yields = 0;
    int flushes = 0;
    std::function<void(int)> onYield;

    QString searchText() const override { return search; }
    void setSearchText(const QString& text) override {
        search = text;
        state_.SearchString = text;
    }
    QString folderText() const override { return folder; }
    void setFolderText(const QString& text) override {
        folder = text;
        state_.SearchFolder = text;
    }
    QString patternText() const override { return patterns; }
    void setPatternText(const QString& text) override { patterns = text; }
    void setStatus(const QString& text) override {
        status = text;
        statusHistory.push_back(text);
    }
    void setInputsEnabled(bool s, bool f, bool p) override {
        searchEnabled = s;
        folderEnabled = f;
        patternsEnabled = p;
    }
    void setStartCaption(const QString& caption) override { startCaption = caption; }
    void setCheckedCount(const QString& text) override { checked = text; }
    void setFoundCount(const QString& text) override { found = text; }
    void clearResults() override { rows.clear(); }
    void setResultsSorted(bool s) override { sorted = s; }
    int resultColumnCount() const override { return static_cast<int>(columns.size()); }
    int resultListWidth() const override { return 400; }
    void removeResultColumn(const QString& key) override { columns.removeAll(key); }
    void addResultColumn(const QString& key, const QString&, int, ColumnAlignment) override {
        columns.push_back(key);
    }
    void addResultRow(const ResultRow& row) override { rows.push_back(row); }
    int resultRowCount() const override { return static_cast<int>(rows.size()); }
    ResultRow resultRow(int index) const override {
        return rows.at(static_cast<std::size_t>(index));
    }
    bool optionChecked(OptionBox box) const override {
        const auto it = options.find(box);
        return it != options.end() && it->second;
    }
    void setOptionChecked(OptionBox box, bool value) override { options[box] = value; }
    void showBusyFrame(int) override {}
    void flushDisplay() override { ++flushes; }
    void yieldToEvents() override {
        ++yields;
        if (onYield) {
            onYield(yields);
        }
    }

    QStringList rowNames() const {
        QStringList names;
        for (const ResultRow& row : rows) {
            names.push_back(row.fileName);
        }
        return names;
    }

  private:
    RunState& state_;
};

}  // namespace quillery::test
