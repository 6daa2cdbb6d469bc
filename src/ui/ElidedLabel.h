#pragma once

#include <QLabel>
#include <QString>

namespace quillery {

// A label for a value that may be longer than its place, such as a path: it shows the text
// cut short in the middle ("/home/…/notes.zip") when it does not fit, cut again whenever the
// label's width or font changes, and keeps the whole text.
class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr) : QLabel(parent) {}

    void setFullText(const QString& text);
    const QString& fullText() const { return fullText_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void elide();

    QString fullText_;
};

}  // namespace quillery
