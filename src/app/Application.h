#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "app/WindowForm.h"
#include "archive/Questions.h"
#include "cli/CommandLine.h"
#include "cli/UnattendedQuestions.h"
#include "results/RunLog.h"
#include "scan/RunState.h"
#include "scan/ScanContext.h"
#include "ui/MainWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/QtQuestions.h"
#include "ui/Resizer.h"
#include "ui/ViewerWindow.h"

namespace quillery {

// Asks through the dialogs, or, while nobody is watching (a command-line run, a machine
// without a display), answers without waiting and writes messages to standard error.
class AppQuestions : public Questions {
  public:
    explicit AppQuestions(Questions* override) : override_(override) {}
    void setOwner(QWidget* owner) { dialogs_.setOwner(owner); }
    void setUnattended(bool unattended) { unattended_ = unattended; }
    // The answers given while nobody is watching.
    UnattendedQuestions& unattended() { return unattendedAnswers_; }

    void message(const QString& text, const QString& title, MessageStyle style) override;
    QString browseForFolder(const QString& prompt, const QString& initialFolder) override;
    QString askPassword(const QString& prompt) override;
    int askReplace(const QString& question, const QString& title) override;

  private:
    Questions& current();

    Questions* override_;
    QtQuestions dialogs_;
    UnattendedQuestions unattendedAnswers_;
    bool unattended_ = false;
};

// The program: its state, its windows and the sequences that start and end it.
class Application : public QObject, private RunLogger {
    Q_OBJECT
  public:
    // questions: answers the modal questions instead of dialogs (tests); may be null.
    explicit Application(Questions* questions = nullptr, bool hasDisplay = true);
    ~Application() override;

    // The start-up sequence with the program's argument text, read as a switch text.
    int start(const QString& argumentText);
    // The start-up sequence with the program's argument text and what it asks for. Returns
    // the exit status when a command-line run ended the program (or no window can be
    // shown), or -1 when the main window is shown and the event loop is to run.
    int start(const QString& argumentText, const CommandLineRequest& request);
    // The shutdown sequence; runs once, for every way of closing the main window.
    void shutdown();
    bool hasShutDown() const { return shutDown_; }
    // A signal asks the program to end: handled as closing the main window.
    void interrupt();
    bool interrupted() const { return interrupted_; }

    RunState& state() { return state_; }
    MainWindow& window() { return *window_; }
    OptionsDialog& options() { return *options_; }
    FormBoxes& form() { return form_; }
    ScanContext& context() { return context_; }
    // Hands a file or folder to the program the desktop opens it with (replaceable for tests).
    void setFileOpener(std::function<void(const QUrl&)> opener) { openFile_ = std::move(opener); }
    // The viewer while it is open, else null.
    ViewerWindow* viewer() const { return viewer_; }
    Questions& questions() { return questions_; }

  private:
    void writeRunLog() override;
    void loadSettings();
    void applyGivenValues(const CommandLineRequest& request);
    void showOptions();
    void showAbout();
    void openResult(const ResultRow& row);
    // Hands the folder that holds the row's archive to the desktop, as an archive is handed.
    void openFolderOf(const ResultRow& row);
    bool extractShownArchive(ViewerWindow& viewer);

    RunState state_;
    ResizeState layouts_;
    Resizer resizer_{layouts_};
    AppQuestions questions_;
    bool hasDisplay_;
    std::unique_ptr<OptionsDialog> options_;
    std::unique_ptr<MainWindow> window_;
    WindowForm form_;
    RunLogWriter log_;
    ScanContext context_;
    ViewerWindow* viewer_ = nullptr;
    std::function<void(const QUrl&)> openFile_ = [](const QUrl& url) {
        QDesktopServices::openUrl(url);
    };
    bool shutDown_ = false;
    bool interrupted_ = false;
    // Set when the program ends without having shown or loaded anything worth saving.
    bool keepStoredSettings_ = false;
};

}  // namespace quillery
