#pragma once

#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <vector>

#include "results/ViewerContent.h"

namespace quillery {

// A read-only text box that paints marked ranges red, bold and underlined (on a dark
// background a red light enough to read). The marks of a
// line are applied when the line is first painted, so a long text opens without a pass over
// all of it.
class MarkedTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit MarkedTextBox(QWidget* parent = nullptr);

    // Replaces the text and its marks.
    void setMarkedText(const QString& text, std::vector<ViewerContent::Mark> marks);
    // The length of the longest mark that starts at position, or 0 when none does.
    qsizetype longestMarkAt(qsizetype position) const;

    // Pure red on a light background; on a dark one a lighter red that stands out from it
    // at least 4.5:1.
    static QTextCharFormat MarkFormat(const QColor& background);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void markVisibleLines();
    void markLine(const QTextBlock& block);

    std::vector<ViewerContent::Mark> marks_;  // by start
    qsizetype longest_ = 0;
    std::vector<bool> marked_;  // per line: its marks are applied
};

}  // namespace quillery
