#include "cli/PlainForm.h"

#include <QCoreApplication>

#include "archive/Staging.h"
#include "cli/Notices.h"

namespace quillery {

void PlainForm::setSearchText(const QString& text) {
    const QString kept = BoxText(text);
    if (kept != search_) {
        search_ = kept;
        state_.SearchString = kept;
    }
}

void PlainForm::setFolderText(const QString& text) {
    const QString kept = BoxText(text);
    if (kept != folder_) {
        folder_ = kept;
        state_.SearchFolder = kept;
    }
}

void PlainForm::setStatus(const QString& text) {
    checking_.reset();
    status_ = BoxText(text);
}

QString PlainForm::statusText() const {
    return checking_ ? BoxText(CheckingStatus(*checking_)) : status_;
}

bool PlainForm::optionChecked(OptionBox box) const {
    const auto found = options_.find(box);
    return found != options_.end() && found->second;
}

void PlainForm::phase(RunPhase phase) {
    if (phase == RunPhase::Preparing) {
        matches_.clear();
    }
}

void PlainForm::archiveFound(const FoundArchive& found) {
    matches_.push_back({found.filePath, found.fileName});
}

void PlainForm::notice(const QString& text) {
    PrintNotice(text);
}

void PlainForm::yieldToEvents() {
    // As often as the window would handle its events during a walk.
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 40) {
        return;
    }
    QCoreApplication::processEvents();
    sinceEvents_.start();
}

}  // namespace quillery
