#pragma once

#include "cli/FormBoxes.h"
#include "ui/MainWindow.h"

namespace quillery {

// The main window's boxes and options as the command line and the session's end see them.
class WindowForm : public FormBoxes {
  public:
    explicit WindowForm(MainWindow& window) : window_(window) {}

    QString searchText() const override { return window_.searchText(); }
    void setSearchText(const QString& text) override { window_.setSearchText(text); }
    QString folderText() const override { return window_.folderText(); }
    void setFolderText(const QString& text) override { window_.setFolderText(text); }
    QString patternText() const override { return window_.patternText(); }
    void setPatternText(const QString& text) override { window_.setPatternText(text); }
    bool optionChecked(OptionBox box) const override { return window_.optionChecked(box); }
    void setOptionChecked(OptionBox box, bool checked) override {
        window_.setOptionChecked(box, checked);
    }
    QString statusText() const override { return window_.statusText(); }
    void setStatus(const QString& text) override { window_.setStatus(text); }

  private:
    MainWindow& window_;
};

}  // namespace quillery
