#pragma once

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <vector>

#include "results/ViewerContent.h"
#include "ui/ElidedLabel.h"
#include "ui/MarkedTextBox.h"

namespace quillery {

class Resizer;

// The internal viewer: the text entries of one archive with every occurrence of the search
// terms marked, a command to step from one occurrence to the next (Ctrl+F, F3 or the right
// mouse button), and a button that unpacks the whole archive.
class ViewerWindow : public QDialog {
    Q_OBJECT
  public:
    explicit ViewerWindow(QWidget* parent = nullptr);
    ~ViewerWindow() override;
    // Keeps the controls in proportion when the window is resized, and sizes the window to
    // its screen. Call it before the window is shown.
    void setResizer(Resizer* resizer);

    // Shows the text, marks the occurrences and puts the caret on the first one, with the
    // whole occurrence in view.
    void setContent(const ViewerContent& content);
    // The archive shown, and its path as the label shows it (cut short in the middle when
    // it is too long for the label; whole in the label's tip).
    void setArchive(const std::filesystem::path& archive, const QString& shownPath);
    const std::filesystem::path& archive() const { return archive_; }

    // Moves the caret to the next recorded occurrence, after the last back to the first, and
    // brings the whole occurrence into view.
    void gotoNextMatch();
    // Asked when the extraction button is pressed; returns true when the archive was
    // unpacked, and the viewer then closes.
    void setExtractHandler(std::function<bool()> handler) { extract_ = std::move(handler); }

    MarkedTextBox* textBox() const { return txtShowFiles_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeCaret(qsizetype position);
    void scrollToEndOfMark(qsizetype position);
    void extractClicked();

    MarkedTextBox* txtShowFiles_;
    QLabel* label1_;
    ElidedLabel* lblFullPath_;
    QPushButton* cmdExtract_;
    std::vector<qsizetype> matchPositions_;
    std::size_t nextMatch_ = 1;
    std::filesystem::path archive_;
    std::function<bool()> extract_;
    Resizer* resizer_ = nullptr;
    bool shown_ = false;
};

}  // namespace quillery
