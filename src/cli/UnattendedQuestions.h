#pragma once

#include <QString>
#include <functional>

#include "archive/Questions.h"

namespace quillery {

// Answers without waiting for anybody, for runs nobody watches: messages go to standard
// error, no folder is chosen, no password given, nothing overwritten.
class UnattendedQuestions : public Questions {
  public:
    // Runs before each message (to take a status line off the terminal first).
    void setBeforeMessage(std::function<void()> before) { beforeMessage_ = std::move(before); }

    void message(const QString& text, const QString& title, MessageStyle style) override;
    QString browseForFolder(const QString& prompt, const QString& initialFolder) override;
    QString askPassword(const QString& prompt) override;
    int askReplace(const QString& question, const QString& title) override;

  private:
    std::function<void()> beforeMessage_;
};

}  // namespace quillery
