#include "ui/AboutBox.h"

#include <QDate>
#include <QHBoxLayout>
#include <QIcon>

#include "settings/Product.h"
#include "ui/WindowFit.h"

namespace quillery {

namespace {
const QString kBuildDate = QStringLiteral("25 July 1999 ");
const QString kMakerNotice = QStringLiteral("Made by Velmora for everyone who keeps archives.");
const QString kContact = QStringLiteral("quillery@velmora.example");
}  // namespace

QString BuildDateText(const QLocale& locale) {
    const QDate date = QLocale(QLocale::English).toDate(kBuildDate.trimmed(), "d MMMM yyyy");
    if (!date.isValid()) {
        return kBuildDate;
    }
    return locale.toString(date, QLocale::LongFormat);
}

QString AboutText(const QLocale& locale) {
    const QString crlf = QStringLiteral("\r\n");
    return TitleText() + QLatin1Char('\n') + QStringLiteral("Compiled On ") +
           BuildDateText(locale) + QLatin1Char('\n') + kMakerNotice + crlf + crlf +
           QStringLiteral("If you have any suggestions") + crlf +
           QStringLiteral("Then Email me at :-") + crlf + kContact + QLatin1Char(' ');
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowTitle(QStringLiteral("About ... ") + TitleText());
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(QPixmap(QStringLiteral(":/icons/quillery.xpm")));
    image->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(AboutText(), this);
    text->setObjectName(QStringLiteral("Label2"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(image);
    layout->addWidget(text, 1);
    adjustSize();
    PlaceOnScreen(this);
}

}  // namespace quillery
