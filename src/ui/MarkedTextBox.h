#pragma once

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <vector>

#include "results/ViewerContent.h"

namespace quillery {

// A read-only text box that paints marked ranges red, bold and underlined. The marks of a
// line are applied when the line is first painted, so a long text opens without a pass over
// all of it.
class MarkedTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit MarkedTextBox(QWidget* parent = nullptr);

    // Replaces the text and its marks.
    void setMarkedText(const QString& text, std::vector<ViewerContent::Mark> marks);

    static QTextCharFormat MarkFormat();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void markVisibleLines();
    void markLine(const QTextBlock& block);

    std::vector<ViewerContent::Mark> marks_;  // by start
    qsizetype longest_ = 0;
    std::vector<bool> marked_;  // per line: its marks are applied
};

}  // namespace quillery
