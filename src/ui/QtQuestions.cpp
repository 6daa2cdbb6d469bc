#include "ui/QtQuestions.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <cstdio>

#include "archive/UnzipCallbacks.h"
#include "settings/Product.h"
#include "text/ShownPath.h"
#include "ui/WindowFit.h"

namespace quillery {

QString PickerInitialFolder(const QString& initialFolder) {
    QString folder = initialFolder;
    if (folder.size() > 1 && folder.endsWith(PathSeparator())) {
        folder.chop(1);
    }
    return folder;
}

void QtQuestions::message(const QString& text, const QString& title, MessageStyle style) {
    const QMessageBox::Icon icon = style == MessageStyle::Critical      ? QMessageBox::Critical
                                   : style == MessageStyle::Exclamation ? QMessageBox::Warning
                                                                        : QMessageBox::Information;
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner_);
    box.exec();
}

QString QtQuestions::browseForFolder(const QString& prompt, const QString& initialFolder) {
    QFileDialog picker(owner_, prompt, PickerInitialFolder(initialFolder));
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly);
    // The size it comes with, where the screen has room for it; a desktop's own dialog
    // places itself.
    PlaceOnScreen(&picker);
    if (picker.exec() != QDialog::Accepted) {
        return {};
    }
    return picker.selectedFiles().value(0);
}

QString QtQuestions::askPassword(const QString& prompt) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(owner_, kProductName, prompt, QLineEdit::Password, QString(), &ok);
    return ok ? answer : QString();
}

int QtQuestions::askReplace(const QString& question, const QString& title) {
    const auto answer = QMessageBox::warning(
        owner_, title, question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return answer == QMessageBox::Yes  ? kReplaceYes
           : answer == QMessageBox::No ? kReplaceNo
                                       : kReplaceCancel;
}

}  // namespace quillery
