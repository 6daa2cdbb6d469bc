#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "archive/Questions.h"
#include "scan/RunState.h"
#include "scan/ScanView.h"
#include "ui/ResultList.h"

namespace quillery {

class Resizer;

class OptionsDialog;

// The main search window. Its controls carry the names the rest of the program and the
// tests know them by; the engine reaches it only through ScanView.
class MainWindow : public QWidget, public ScanView {
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

    // ScanView
    QString searchText() const override;
    void setSearchText(const QString& text) override;
    QString folderText() const override;
    void setFolderText(const QString& text) override;
    QString patternText() const override;
    void setPatternText(const QString& text) override;
    void setStatus(const QString& text) override;
    void setCheckingStatus(const std::string& archive) override;
    void setInputsEnabled(bool searchBox, bool folderBox, bool patternBox) override;
    void setStartCaption(const QString& caption) override;
    void setCheckedCount(const QString& text) override;
    void setFoundCount(const QString& text) override;
    void clearResults() override;
    void setResultsSorted(bool sorted) override;
    int resultColumnCount() const override;
    int resultListWidth() const override;
    void removeResultColumn(const QString& key) override;
    void addResultColumn(const QString& key, const QString& title, int width,
                         ColumnAlignment alignment) override;
    void addResultRow(const ResultRow& row) override;
    int resultRowCount() const override;
    ResultRow resultRow(int index) const override;
    bool optionChecked(OptionBox box) const override;
    void setOptionChecked(OptionBox box, bool checked) override;
    void showBusyFrame(int frame) override;
    void yieldToEvents() override;
    void setDisplayDeferred(bool deferred) override;
    // How often a running walk lets the window repaint and handle events (milliseconds).
    void setRepaintInterval(int milliseconds) { repaintInterval_ = milliseconds; }

  signals:
    void startStopClicked();
    void optionsClicked();
    void aboutClicked();
    void resultDoubleClicked(const ResultRow& row);
    // The window is closing, for every way of closing it.
    void closing();

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
};

}  // namespace quillery
