#pragma once

#include <QDialog>
#include <QLabel>
#include <QLocale>

namespace quillery {

// The build date, formatted with the locale's long date format.
QString BuildDateText(const QLocale& locale = QLocale());
// The text block of the About box.
QString AboutText(const QLocale& locale = QLocale());

// Names the product, its version and build date and the maker. Built anew for each opening.
class AboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace quillery
