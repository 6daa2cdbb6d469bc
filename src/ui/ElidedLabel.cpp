#include "ui/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>

namespace quillery {

void ElidedLabel::setFullText(const QString& text) {
    fullText_ = text;
    elide();
}

void ElidedLabel::elide() {
    const int room = contentsRect().width() - 2 * margin();
    const QString shown = fontMetrics().elidedText(fullText_, Qt::ElideMiddle, room);
    if (shown != text()) {
        setText(shown);
    }
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        elide();
    }
}

}  // namespace quillery
