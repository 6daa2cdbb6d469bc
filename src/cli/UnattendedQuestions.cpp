#include "cli/UnattendedQuestions.h"

#include <cstdio>

#include "archive/UnzipCallbacks.h"

namespace quillery {

void UnattendedQuestions::message(const QString& text, const QString& title, MessageStyle) {
    if (beforeMessage_) {
        beforeMessage_();
    }
    std::fprintf(stderr, "%s: %s\n", title.trimmed().toLocal8Bit().constData(),
                 QString(text)
                     .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                     .toLocal8Bit()
                     .constData());
    std::fflush(stderr);
}

QString UnattendedQuestions::browseForFolder(const QString&, const QString&) {
    return {};
}

QString UnattendedQuestions::askPassword(const QString&) {
    return {};
}

int UnattendedQuestions::askReplace(const QString&, const QString&) {
    return kReplaceNo;
}

}  // namespace quillery
