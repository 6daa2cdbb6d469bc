#include "cli/UnattendedQuestions.h"

#include <cstdio>

#include "archive/UnzipCallbacks.h"

namespace quillery {

void UnattendedQuestions::message(const QString& text, const QString&, MessageStyle) {
    if (beforeMessage_) {
        beforeMessage_();
    }
    // On standard error a message names the program, as every other line there does (the
    // window's title would be its box's).
    std::fprintf(stderr, "quillery: %s\n",
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
