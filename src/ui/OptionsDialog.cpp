#include "ui/OptionsDialog.h"

#include "settings/Product.h"
#include "ui/Twips.h"
#include "ui/WindowFit.h"

namespace quillery {

OptionsDialog::OptionsDialog(RunState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("frmOptions"));
    setFixedSize(TwipsSize(7824, 4860));
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    frame1_ = new QGroupBox(QStringLiteral("Options"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(TwipsRect(120, 120, 3732, 3972));
    // How the search string is read: a frame of its own beside the first, on the same lines.
    frame2_ = new QGroupBox(QStringLiteral("Search String"), this);
    frame2_->setObjectName(QStringLiteral("Frame2"));
    frame2_->setGeometry(TwipsRect(3972, 120, 3732, 3972));
    const auto makeBox = [](QGroupBox* frame, const char* name, const QString& caption,
                            QRect geometry) {
        auto* b = new QCheckBox(caption, frame);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(geometry);
        return b;
    };
    chkAudit_ = makeBox(frame1_, "chkAudit", QStringLiteral("Use &Audit File"),
                        TwipsRect(240, 360, 1812, 372));
    chkInternalView_ = makeBox(frame1_, "chkInternalView", QStringLiteral("Use Internal &Viewer"),
                               TwipsRect(240, 960, 1812, 492));
    scanFolder_ = makeBox(frame1_, "scanFolder", QStringLiteral("Include &SubFolders"),
                          TwipsRect(240, 1680, 1812, 372));
    chkSize_ = makeBox(frame1_, "chkSize", QStringLiteral("&Display File Size"),
                       TwipsRect(240, 2280, 1692, 372));
    chkAllArchives_ = makeBox(frame1_, "chkAllArchives", QStringLiteral("All Archive &Types"),
                              TwipsRect(240, 2880, 1812, 372));
    chkIndex_ = makeBox(frame1_, "chkIndex", QStringLiteral("Search &Index"),
                        TwipsRect(240, 3480, 1812, 372));
    chkIndex_->setToolTip(
        QStringLiteral("Remember what archives hold, so that searching them again is quick"));
    chkExpressions_ = makeBox(frame2_, "chkExpressions", QStringLiteral("Search E&xpressions"),
                              TwipsRect(240, 360, 1812, 372));
    chkExpressions_->setToolTip(
        QStringLiteral("The search string is an expression: regular expressions, && || ! and ( )"));
    chkMatchCase_ = makeBox(frame2_, "chkMatchCase", QStringLiteral("Match &Case"),
                            TwipsRect(240, 960, 1812, 492));
    chkMatchCase_->setToolTip(QStringLiteral("Letter case counts: A is not a"));
    chkWholeWords_ = makeBox(frame2_, "chkWholeWords", QStringLiteral("&Whole Words"),
                             TwipsRect(240, 1680, 1812, 372));
    chkWholeWords_->setToolTip(QStringLiteral("Terms match whole words only: cd, not abcd"));
    cmdOK_ = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(TwipsRect(6492, 4320, 1212, 372));
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
    chkExpressions_->setChecked(state_.Expressions);
    chkMatchCase_->setChecked(state_.MatchCase);
    chkWholeWords_->setChecked(state_.WholeWords);
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
        case OptionBox::Expressions:
            return chkExpressions_;
        case OptionBox::MatchCase:
            return chkMatchCase_;
        case OptionBox::WholeWords:
            return chkWholeWords_;
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
    state_.Expressions = chkExpressions_->isChecked();
    state_.MatchCase = chkMatchCase_->isChecked();
    state_.WholeWords = chkWholeWords_->isChecked();
    hide();
    setResult(QDialog::Accepted);
    done(QDialog::Accepted);
}

}  // namespace quillery
