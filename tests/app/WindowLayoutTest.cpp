#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <set>
#include <utility>

#include "app/AppFixture.h"
#include "scan/Formats.h"
#include "ui/AboutBox.h"
#include "ui/Contrast.h"
#include "ui/MarkedTextBox.h"
#include "ui/Resizer.h"
#include "ui/ViewerWindow.h"

namespace quillery::test {
namespace {

// Pairs of controls that overlap in the windows' design.
const std::set<std::pair<QString, QString>> kDesignedOverlaps = {
    {QStringLiteral("Picture1"), QStringLiteral("txtStatusBar")}};

int TextWidth(const QWidget* control, const QString& caption) {
    int widest = 0;
    for (const QString& line : QString(caption).remove(QLatin1Char('&')).split(QLatin1Char('\n'))) {
        widest = std::max(widest, control->fontMetrics().horizontalAdvance(line));
    }
    return widest;
}

// The width a control needs to show its caption whole, or 0 when it shows none.
int CaptionWidth(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->pixmap().isNull() ? TextWidth(label, label->text()) : 0;
    }
    if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
        const QStyle* style = box->style();
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) +
               TextWidth(box, box->text());
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return TextWidth(button, button->text()) + 4;
    }
    return 0;
}

// Every named control of window: inside its parent, overlapping none of its siblings unless
// designed so, wide and high enough for its caption; and the window, as it opened, on the
// free area of its screen.
void ExpectWholeLayout(QWidget* window, const QString& when, bool asOpened = true) {
    SCOPED_TRACE(when.toStdString());
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(!asOpened || screen.contains(window->frameGeometry()))
        << window->objectName().toStdString() << " opens outside the screen";
    std::vector<QWidget*> controls;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_") &&
            control->isVisibleTo(window)) {
            controls.push_back(control);
        }
    }
    for (QWidget* control : controls) {
        const std::string name = control->objectName().toStdString();
        const int caption = CaptionWidth(control);
        if (caption > 0) {
            EXPECT_GE(control->width(), caption) << name << " cuts its caption";
            EXPECT_GE(control->height(), control->fontMetrics().height()) << name;
        }
        EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()))
            << name << " reaches outside its parent";
        for (QWidget* other : controls) {
            const QString a = control->objectName();
            const QString b = other->objectName();
            const std::pair<QString, QString> pair = a < b ? std::pair{a, b} : std::pair{b, a};
            if (control < other && control->parentWidget() == other->parentWidget() &&
                control->geometry().intersects(other->geometry()) &&
                !kDesignedOverlaps.contains(pair)) {
                ADD_FAILURE() << name << " overlaps " << other->objectName().toStdString();
            }
        }
    }
}

class WindowLayoutTest : public AppFixture {};

TEST_F(WindowLayoutTest, EveryWindowShowsItsControlsWholeAndFitsTheScreen) {
    MainWindow& main = window();
    main.setCheckedCount(QStringLiteral("9999999"));  // a count wider than six places
    main.setFoundCount(QStringLiteral("     0"));
    main.setStatus("There were 2 files that contained " + QString(300, 'x') + " from a total");
    auto* status = Child<QLineEdit>("txtStatusBar");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    ExpectWholeLayout(&main, QStringLiteral("main window as opened"));
    const QSize opened = main.size();
    for (const QSize size : {main.minimumSize(), opened * 3 / 2, QSize(opened.width() / 2, 100)}) {
        main.resize(size);
        ExpectWholeLayout(
            &main,
            QStringLiteral("main window resized to %1 x %2").arg(main.width()).arg(main.height()),
            false);
        // The status line shows the beginning of its text (it scrolls when painted).
        status->grab();
        EXPECT_EQ(status->cursorPosition(), 0);
        const QRect start = status->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        EXPECT_TRUE(start.left() > -8 && start.left() < status->width() / 4) << start.left();
    }
    EXPECT_EQ(main.size(), main.minimumSize()) << "no smaller than the minimum";

    // A desktop font wider than the one the dialog was drawn for.
    QFont wider = app->options().font();
    wider.setPixelSize(wider.pixelSize() * 5 / 4);
    app->options().setFont(wider);
    app->options().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->options()));
    ExpectWholeLayout(&app->options(), QStringLiteral("options dialog"));
    app->options().hide();

    AboutBox about(&main);
    about.show();
    ExpectWholeLayout(&about, QStringLiteral("About box"));

    ResizeState state;
    Resizer resizer(state);
    ViewerWindow viewer;
    viewer.setResizer(&resizer);
    viewer.setArchive("/z/a.zip", QStringLiteral("/z/a.zip"));
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    ExpectWholeLayout(&viewer, QStringLiteral("viewer"));
}

TEST_F(WindowLayoutTest, TheSortedColumnShowsWhichWayItsRowsRun) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));  // sizes as "1,024"
    window().show();
    const std::pair<const char*, const char*> rows[] = {
        {"b.zip", "1,024"}, {"C.zip", "9"}, {"a.zip", "999"}, {"d.zip", "10"}};
    for (const auto& [name, size] : rows) {
        ResultRow row;
        row.fileName = QString::fromLatin1(name);
        row.filePath = QStringLiteral("/z/");
        row.fileSize = QString::fromLatin1(size);
        window().addResultRow(row);
    }
    auto* list = Child<QTreeWidget>("ListView1");
    QHeaderView* header = list->header();
    EXPECT_FALSE(header->isSortIndicatorShown());
    for (const int column : {0, 0, 2, 2, 1}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
        ASSERT_TRUE(header->isSortIndicatorShown());
        ASSERT_EQ(header->sortIndicatorSection(), column);
        const bool ascending = header->sortIndicatorOrder() == Qt::AscendingOrder;
        for (int i = 1; i < list->topLevelItemCount(); ++i) {
            const QString a = list->topLevelItem(i - 1)->text(column);
            const QString b = list->topLevelItem(i)->text(column);
            const int order =
                column == 2 ? (ParseSizeKB(a) > ParseSizeKB(b)) - (ParseSizeKB(a) < ParseSizeKB(b))
                            : a.compare(b, Qt::CaseInsensitive);
            EXPECT_TRUE(ascending ? order <= 0 : order >= 0)
                << "column " << column << ": " << a.toStdString() << " / " << b.toStdString();
        }
    }
    QLocale::setDefault(QLocale::c());
}

TEST_F(WindowLayoutTest, MarksAndTheBusyAnimationStandOutOnAnyPalette) {
    for (const char* background :
         {"#ffffff", "#f0f0f0", "#3d3d3d", "#1e1e1e", "#000000", "#202040", "#5a1010"}) {
        const QColor base(QString::fromLatin1(background));
        const QColor mark = MarkedTextBox::MarkFormat(base).foreground().color();
        if (!IsDark(base)) {
            EXPECT_EQ(mark, QColor(255, 0, 0)) << background;
        } else {
            EXPECT_GE(ContrastRatio(mark, base), 4.5) << background;
            EXPECT_TRUE(mark.red() > mark.green() && mark.red() > mark.blue()) << background;
        }
    }

    QPalette dark = window().palette();
    dark.setColor(QPalette::Window, QColor(0x3d, 0x3d, 0x3d));
    window().setPalette(dark);
    window().showBusyFrame(0);
    const QImage frame = Child<QLabel>("Picture1")->pixmap().toImage();
    int drawn = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QColor pixel = frame.pixelColor(x, y);
            if (pixel.alpha() == 255) {
                ++drawn;
                EXPECT_GE(ContrastRatio(pixel, dark.color(QPalette::Window)), 3.0) << x << ',' << y;
            }
        }
    }
    EXPECT_GT(drawn, 0);
}

TEST(NextMatchTest, TheCaretLandsInTheMiddleThirdWhereTheTextAllows) {
    QString text;
    for (int line = 0; line < 400; ++line) {
        text += line % 97 == 5 ? QStringLiteral("hit\n") : QStringLiteral("line\n");
    }
    ViewerWindow viewer;
    viewer.setContent(BuildViewerContent({{"a.txt", text}}, QStringLiteral("hit")));
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    QPlainTextEdit* box = viewer.textBox();
    const QScrollBar* bar = box->verticalScrollBar();
    for (int step = 0; step < 6; ++step) {
        QTest::keyClick(box, Qt::Key_F3);
        const int middle = box->cursorRect().center().y();
        const int height = box->viewport()->height();
        const bool inMiddle = middle >= height / 3 && middle <= height * 2 / 3;
        const bool atTop = bar->value() == bar->minimum() && middle < height / 3;
        const bool atEnd = bar->value() == bar->maximum() && middle > height * 2 / 3;
        EXPECT_TRUE(inMiddle || atTop || atEnd)
            << "step " << step << ": line at " << middle << " of " << height;
    }
}

}  // namespace
}  // namespace quillery::test
