#pragma once

// A main window that shows nothing and questions nobody answers, for timing the engine alone.

#include <QCoreApplication>
#include <QString>

#include "archive/Questions.h"
#include "archive/UnzipCallbacks.h"
#include "scan/ScanView.h"

namespace quillery::bench {

class SilentView : public ScanView {
  public:
    explicit SilentView(bool handleEvents) : handleEvents_(handleEvents) {}

    QString search, folder, patterns = QStringLiteral("*.nfo *.diz *.txt");
    int rows = 0;
    QString searchText() const override { return search; }
    void setSearchText(const QString& text) override { search = text; }
    QString folderText() const override { return folder; }
    void setFolderText(const QString& text) override { folder = text; }
    QString patternText() const override { return patterns; }
    void setPatternText(const QString& text) override { patterns = text; }
    void setStatus(const QString&) override {}
    void setInputsEnabled(bool, bool, bool) override {}
    void setStartCaption(const QString&) override {}
    void setCheckedCount(const QString&) override {}
    void setFoundCount(const QString&) override {}
    void clearResults() override { rows = 0; }
    void setResultsSorted(bool) override {}
    int resultColumnCount() const override { return 2; }
    int resultListWidth() const override { return 400; }
    void removeResultColumn(const QString&) override {}
    void addResultColumn(const QString&, const QString&, int, ColumnAlignment) override {}
    void addResultRow(const ResultRow&) override { ++rows; }
    int resultRowCount() const override { return rows; }
    ResultRow resultRow(int) const override { return {}; }
    bool optionChecked(OptionBox box) const override { return box == OptionBox::SubFolders; }
    void setOptionChecked(OptionBox, bool) override {}
    void showBusyFrame(int) override {}
    void yieldToEvents() override {
        if (handleEvents_) {
            QCoreApplication::processEvents();
        }
    }

  private:
    bool handleEvents_;
};

class NoQuestions : public Questions {
  public:
    void message(const QString&, const QString&, MessageStyle) override {}
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QString askPassword(const QString&) override { return {}; }
    int askReplace(const QString&, const QString&) override { return kReplaceNo; }
};

}  // namespace quillery::bench
