#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

#include "scan/RunState.h"
#include "settings/OptionBox.h"

namespace quillery {

// The options, and beside them how the search string is read. "&OK" copies the sub-folder,
// internal-viewer and audit boxes and the three of the search string into the program's flags
// and hides the dialog; closing it by its frame keeps the boxes as they are, the same as "&OK"
// without copying. The boxes are the options' home: whoever acts on one reads it when it
// needs it.
class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OptionsDialog(RunState& state, QWidget* parent = nullptr);

    // Centres the dialog on the free area of its screen, captions whole.
    void centreOnScreen();
    // Sets the sub-folder, internal-viewer, audit, index and search-string boxes from the
    // flags.
    void setUpOptions();
    bool isChecked(OptionBox box) const;
    void setChecked(OptionBox box, bool checked);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void okClicked();
    QCheckBox* box(OptionBox which) const;

    RunState& state_;
    QGroupBox* frame1_;
    QGroupBox* frame2_;
    QCheckBox* chkAudit_;
    QCheckBox* chkInternalView_;
    QCheckBox* scanFolder_;
    QCheckBox* chkSize_;
    QCheckBox* chkAllArchives_;
    QCheckBox* chkIndex_;
    QCheckBox* chkExpressions_;
    QCheckBox* chkMatchCase_;
    QCheckBox* chkWholeWords_;
    QPushButton* cmdOK_;
};

}  // namespace quillery
