#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "archive/Questions.h"

namespace quillery::test {

// Modal questions answered by the test, each one recorded.
class FakeQuestions : public Questions {
  public:
    struct Message {
        QString text, title;
        MessageStyle style;
    };
    std::vector<Message> messages;
    QString folderAnswer;
    QStringList passwordAnswers;
    int browseCalls = 0, passwordCalls = 0;

    void message(const QString& text, const QString& title, MessageStyle style) override {
        messages.push_back({text, title, style});
    }
    QString browseForFolder(const QString&, const QString&) override {
        ++browseCalls;
        return folderAnswer;
    }
    QString askPassword(const QString&) override {
        ++passwordCalls;
        return passwordAnswers.isEmpty() ? QString() : passwordAnswers.takeFirst();
    }
    int askReplace(const QString&, const QString&) override { return 102; }
};

}  // namespace quillery::test
