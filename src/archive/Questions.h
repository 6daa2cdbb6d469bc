#pragma once

#include <QString>

namespace quillery {

// Message-box styles: icon and an OK button.
enum class MessageStyle { Critical = 16, Exclamation = 48, Information = 64 };

// The modal questions of the program. The windows answer them with dialogs; tests and
// command-line runs answer them without waiting for anybody.
class Questions {
  public:
    virtual ~Questions() = default;
    virtual void message(const QString& text, const QString& title, MessageStyle style) = 0;
    // The chosen folder, or "" when the user cancelled.
    virtual QString browseForFolder(const QString& prompt, const QString& initialFolder) = 0;
    // The password typed, or "" when the user cancelled or typed nothing.
    virtual QString askPassword(const QString& prompt) = 0;
    // "Overwrite NAME?": kReplaceYes, kReplaceNo or kReplaceCancel.
    virtual int askReplace(const QString& question, const QString& title) = 0;
};

}  // namespace quillery
