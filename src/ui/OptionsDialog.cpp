#include "ui/OptionsDialog.h"

#include "settings/Product.h"
#include "ui/Twips.h"
#include "ui/WindowFit.h"

namespace quillery {

OptionsDialog::OptionsDialog(RunState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("frmOptions"));
    setFixedSize(TwipsSize(3972, 4860));
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    frame1_ = new QGroupBox(QStringLiteral("Options"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(TwipsRect(120, 120, 3732, 3972));
    const auto makeBox = [this](const char* name, const QString& caption, QRect geometry) {
        auto* b = new QCheckBox(caption, frame1_);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(geometry);
        return b;
    };
    chkAudit_ =
        makeBox("chkAudit", QStringLiteral("Use &Audit File"), TwipsRect(240, 360, 1812, 372));
    chkInternalView_ = makeBox("chkInternalView", QStringLiteral("Use Internal &Viewer"),
                               TwipsRect(240, 960, 1812, 492));
    scanFolder_ = makeBox("scanFolder", QStringLiteral("Include &SubFolders"),
                          TwipsRect(240, 1680, 1812, 372));
    chkSize_ =
        makeBox("chkSize", QStringLiteral("&Display File Size"), TwipsRect(240, 2280, 1692, 372));
    chkAllArchives_ = makeBox("chkAllArchives", QStringLiteral("All Archive &Types"),
                              TwipsRect(240, 2880, 1812, 372));
    chkIndex_ =
        makeBox("chkIndex", QStringLiteral("Search &Index"), TwipsRect(240, 3480, 1812, 372));
    chkIndex_->setToolTip(
        QStringLiteral("Remember what archives hold, so that searching them again is quick"));
    cmdOK_ = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(TwipsRect(2640, 4320, 1212, 372));
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &OptionsDialog::okClicked);

    // Load handler: centred, its own title (start-up replaces it), boxes from the flags.
    centreOnScreen();
    setWindowTitle(QStringLiteral("Options ") + TitleText());
    setUpOptions();
}

void OptionsDialog::centreOnScreen() {
    WidenCaptions(this);
    PlaceOnScreen(this);
}

void OptionsDialog::showEvent(QShowEvent* event) {
    // Boxes added or renamed since the dialog was made keep their captions whole too.
    WidenCaptions(this);
    QDialog::showEvent(event);
}

void OptionsDialog::setUpOptions() {
    scanFolder_->setChecked(state_.IncludeSubFolders);
    chkInternalView_->setChecked(state_.UseInternalViewer);
    chkAudit_->setChecked(state_.UseAudit);
    chkIndex_->setChecked(state_.IndexEnabled);
}

QCheckBox* OptionsDialog::box(OptionBox which) const {
    switch (which) {
        case OptionBox::ShowSize:
            return chkSize_;
        case OptionBox::SubFolders:
            return scanFolder_;
        case OptionBox::Audit:
            return chkAudit_;
        case OptionBox::InternalViewer:
            return chkInternalView_;
        case OptionBox::AllArchives:
            return chkAllArchives_;
        case OptionBox::Index:
            return chkIndex_;
    }
    return chkSize_;
}

bool OptionsDialog::isChecked(OptionBox which) const {
    return box(which)->isChecked();
}

void OptionsDialog::setChecked(OptionBox which, bool checked) {
    box(which)->setChecked(checked);
}

void OptionsDialog::okClicked() {
    state_.IncludeSubFolders = scanFolder_->isChecked();
    state_.UseInternalViewer = chkInternalView_->isChecked();
    state_.UseAudit = chkAudit_->isChecked();
    hide();
    setResult(QDialog::Accepted);
    done(QDialog::Accepted);
}

}  // namespace quillery
