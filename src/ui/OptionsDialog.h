#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>

#include "scan/RunState.h"
#include "settings/OptionBox.h"

namespace quillery {

// The four options. "&OK" copies three of them into the program's flags and hides the
// dialog; closing it by its frame keeps the boxes as they are, the same as "&OK" without
// copying. The boxes are the options' home: the engine reads them when it needs them.
class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit OptionsDialog(RunState& state, QWidget* parent = nullptr);

    // Centres the dialog on the free area of its screen, captions whole.
    void centreOnScreen();
    // Sets the sub-folder, internal-viewer and audit boxes from the flags.
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
    QCheckBox* chkAudit_;
    QCheckBox* chkInternalView_;
    QCheckBox* scanFolder_;
    QCheckBox* chkSize_;
    QCheckBox* chkAllArchives_;
    QCheckBox* chkIndex_;
    QPushButton* cmdOK_;
};

}  // namespace quillery
