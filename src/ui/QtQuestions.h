#pragma once

#include <QWidget>

#include "archive/Questions.h"

namespace quillery {

// The folder picker's starting point: one trailing separator removed, except from a root.
QString PickerInitialFolder(const QString& initialFolder);

// Asks with Qt's modal dialogs, owned by the given window.
class QtQuestions : public Questions {
  public:
    explicit QtQuestions(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void message(const QString& text, const QString& title, MessageStyle style) override;
    QString browseForFolder(const QString& prompt, const QString& initialFolder) override;
    QString askPassword(const QString& prompt) override;
    int askReplace(const QString& question, const QString& title) override;

  private:
    QWidget* owner_;
};

}  // namespace quillery
