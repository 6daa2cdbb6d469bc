#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "archive/Questions.h"
#include "scan/RunEvents.h"
#include "scan/RunRequest.h"
#include "scan/RunState.h"
#include "settings/OptionBox.h"
#include "ui/ResultList.h"

namespace quillery {

class Resizer;

class OptionsDialog;

// The main search window. Its controls carry the names the rest of the program and the
// tests know them by. A run reads its boxes once (runRequest) and reports back through
// RunEvents; nothing in the engine reads a box.
class MainWindow : public QWidget, public RunEvents {
    Q_OBJECT
  public:
    MainWindow(RunState& state, Questions& questions, OptionsDialog& options);
    // Keeps the controls in proportion when the window is resized.
    // Records the window's layout as the resizer's reference, so call it before the window
    // is first sized or shown.
    void setResizer(Resizer* resizer);

    // Centres the window on the free area of its screen, no larger than that area and no
    // smaller than the controls need to show their captions whole.
    void centreOnScreen();
    void setUpToolTips();
    void setUpListview();

    QString logText() const;
    void setLogText(const QString& text);
    QString statusText() const;
    // Paints the status line at once, for a message shown while the window is busy.
    void repaintStatus();

    ResultList* resultList() const { return listView_; }

    // The boxes and options as a run reads them, once, when it starts.
    RunRequest runRequest() const;

    QString searchText() const;
    void setSearchText(const QString& text);
    QString folderText() const;
    void setFolderText(const QString& text);
    QString patternText() const;
    void setPatternText(const QString& text);
    void setStatus(const QString& text);
    // Sets the status to CheckingStatus(archive), made only when it is shown.
    void setCheckingStatus(const std::string& archive);
    void setInputsEnabled(bool searchBox, bool folderBox, bool patternBox);
    void setStartCaption(const QString& caption);
    void setCheckedCount(const QString& text);
    void setFoundCount(const QString& text);
    void addResultRow(const ResultRow& row);
    int resultRowCount() const;
    ResultRow resultRow(int index) const;
    bool optionChecked(OptionBox box) const;
    void setOptionChecked(OptionBox box, bool checked);
    void showBusyFrame(int frame);
    // While the walk runs, the window holds back status, counter and animation changes and
    // shows them at most every repaint interval; ending the deferral shows the last value of
    // each at once.
    void setDisplayDeferred(bool deferred);

    // RunEvents
    void phase(RunPhase phase) override;
    void status(const QString& text) override { setStatus(text); }
    void checking(const std::string& archive) override { setCheckingStatus(archive); }
    void counts(std::int64_t checked, std::int64_t found) override;
    void archiveFound(const FoundArchive& found) override;
    void busyFrame(int frame) override { showBusyFrame(frame); }
    void yieldToEvents() override;
    void patternTextSet(const QString& text) override { setPatternText(text); }
    // Told on standard error at once, and below the run's entry in the log box once the run
    // has ended (the log file keeps its layout).
    void notice(const QString& text) override;

    // How often a running walk lets the window repaint and handle events (milliseconds).
    void setRepaintInterval(int milliseconds) { repaintInterval_ = milliseconds; }

  signals:
    void startStopClicked();
    void optionsClicked();
    void aboutClicked();
    // A result is to be opened: a double-click, Enter or its menu's Open on the selected row.
    void resultOpened(const ResultRow& row);
    // The folder that holds a result's archive is to be opened (the result's menu).
    void resultFolderOpened(const ResultRow& row);
    // The window is closing, for every way of closing it.
    void closing();
    // A run has something to tell that is not a result.
    void noticed(const QString& text);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void chooseStartFolder();
    static QString FormatCounterStart();
    void showPending();

    RunState& state_;
    Questions& questions_;
    OptionsDialog& options_;

    QLabel* label3_;
    QLineEdit* textSearchString_;
    QLabel* label1_;
    QLineEdit* textSearchPath_;
    QLabel* label6_;
    QLineEdit* textExtensions_;
    QPushButton* comCheckFolder_;
    QPushButton* cmdOptions_;
    QPushButton* comAbout_;
    QLabel* label4_;
    QLabel* lblChecked_;
    QLabel* label5_;
    QLabel* lblFound_;
    QLineEdit* txtStatusBar_;
    QPlainTextEdit* rtxtLog_;
    QLabel* picture1_;
    ResultList* listView_;
    std::array<QPixmap, 4> busyFrames_;
    bool closed_ = false;
    Resizer* resizer_ = nullptr;
    bool deferred_ = false;
    int repaintInterval_ = 40;
    QElapsedTimer sinceRepaint_;
    std::optional<QString> pendingStatus_, pendingChecked_, pendingFound_;
    std::optional<std::string> pendingChecking_;  // a checking status whose text is not made
    std::optional<int> pendingFrame_;
    QStringList runNotices_;
};

}  // namespace quillery
