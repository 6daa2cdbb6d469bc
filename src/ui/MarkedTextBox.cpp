#include "ui/MarkedTextBox.h"

#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

#include "ui/Contrast.h"

namespace quillery {

MarkedTextBox::MarkedTextBox(QWidget* parent) : QPlainTextEdit(parent) {}

QTextCharFormat MarkedTextBox::MarkFormat(const QColor& background) {
    constexpr double kReadable = 4.5;
    const QColor red(255, 0, 0);
    QTextCharFormat format;
    format.setForeground(IsDark(background) ? Readable(red, background, kReadable) : red);
    format.setFontWeight(QFont::Bold);
    format.setFontUnderline(true);
    return format;
}

void MarkedTextBox::setMarkedText(const QString& text, std::vector<ViewerContent::Mark> marks) {
    marks_ = std::move(marks);
    std::sort(marks_.begin(), marks_.end(),
              [](const auto& a, const auto& b) { return a.start < b.start; });
    longest_ = 0;
    for (const auto& mark : marks_) {
        longest_ = std::max(longest_, mark.length);
    }
    document()->setUndoRedoEnabled(false);
    setPlainText(text);
    marked_.assign(static_cast<std::size_t>(document()->blockCount()), false);
}

qsizetype MarkedTextBox::longestMarkAt(qsizetype position) const {
    auto it = std::lower_bound(
        marks_.begin(), marks_.end(), position,
        [](const ViewerContent::Mark& mark, qsizetype at) { return mark.start < at; });
    qsizetype longest = 0;
    for (; it != marks_.end() && it->start == position; ++it) {
        longest = std::max(longest, it->length);
    }
    return longest;
}

void MarkedTextBox::markLine(const QTextBlock& block) {
    const auto number = static_cast<std::size_t>(block.blockNumber());
    if (number >= marked_.size() || marked_[number]) {
        return;
    }
    marked_[number] = true;
    const qsizetype lineStart = block.position();
    const qsizetype lineEnd = lineStart + block.length() - 1;
    // Marks that start up to one mark's length before the line may reach into it.
    auto it = std::lower_bound(
        marks_.begin(), marks_.end(), lineStart - longest_,
        [](const ViewerContent::Mark& mark, qsizetype at) { return mark.start < at; });
    QList<QTextLayout::FormatRange> ranges;
    const QTextCharFormat format = MarkFormat(palette().color(QPalette::Base));
    for (; it != marks_.end() && it->start < lineEnd; ++it) {
        const qsizetype from = std::max(it->start, lineStart);
        const qsizetype to = std::min(it->start + it->length, lineEnd);
        if (to > from) {
            ranges.push_back(
                {static_cast<int>(from - lineStart), static_cast<int>(to - from), format});
        }
    }
    if (!ranges.isEmpty()) {
        block.layout()->setFormats(ranges);
        document()->markContentsDirty(static_cast<int>(lineStart), block.length());
    }
}

void MarkedTextBox::markVisibleLines() {
    const int bottom = viewport()->height();
    QTextBlock block = firstVisibleBlock();
    const QPointF offset = contentOffset();
    while (block.isValid()) {
        const QRectF box = blockBoundingGeometry(block).translated(offset);
        if (box.top() > bottom) {
            break;
        }
        markLine(block);
        block = block.next();
    }
}

void MarkedTextBox::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        // Marks take their colour from the background: lines are marked again as painted.
        marked_.assign(marked_.size(), false);
        viewport()->update();
    }
}

void MarkedTextBox::paintEvent(QPaintEvent* event) {
    markVisibleLines();
    QPlainTextEdit::paintEvent(event);
}

}  // namespace quillery
