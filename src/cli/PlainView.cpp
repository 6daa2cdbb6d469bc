#include "cli/PlainView.h"

#include <QCoreApplication>

namespace quillery {

void PlainView::setSearchText(const QString& text) {
    const QString kept = BoxText(text);
    if (kept != search_) {
        search_ = kept;
        state_.SearchString = kept;
    }
}

void PlainView::setFolderText(const QString& text) {
    const QString kept = BoxText(text);
    if (kept != folder_) {
        folder_ = kept;
        state_.SearchFolder = kept;
    }
}

void PlainView::setStatus(const QString& text) {
    checking_.reset();
    status_ = BoxText(text);
}

void PlainView::setCheckingStatus(const std::string& archive) {
    checking_ = archive;
}

QString PlainView::statusText() const {
    return checking_ ? BoxText(CheckingStatus(*checking_)) : status_;
}

bool PlainView::optionChecked(OptionBox box) const {
    const auto found = options_.find(box);
    return found != options_.end() && found->second;
}

void PlainView::yieldToEvents() {
    // As often as the window would handle its events during a walk.
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 40) {
        return;
    }
    QCoreApplication::processEvents();
    sinceEvents_.start();
}

}  // namespace quillery
