#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
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

// The folder pickers, opened the ways the user opens them and shown by the program's own
// dialogs (no answers from the test): each opens as large as it comes where the screen has
// room for that, else as large as the screen's free area, with every button on it.
TEST_F(WindowLayoutTest, EveryFolderPickerOpensWithinTheScreen) {
    MakeArchive(root.path(), "a.zip", "x.txt", "hello");
    Close();
    app = std::make_unique<Application>(nullptr, true);
    ASSERT_EQ(app->start(QString()), -1);
    Child<QCheckBox>("chkInternalView")->setChecked(true);

    // Each picker, once it shows, is measured and cancelled.
    QStringList failures;
    int pickers = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* message = qobject_cast<QMessageBox*>(modal)) {
            failures.push_back(QStringLiteral("a message: ") + message->text());
            message->done(0);
            return;
        }
        auto* picker = qobject_cast<QFileDialog*>(modal);
        if (picker == nullptr || !picker->isVisible()) {
            return;
        }
        ++pickers;
        const QRect screen = picker->screen()->availableGeometry();
        const QRect frame = picker->frameGeometry();
        // As a picker of the same kind comes before it is shown.
        const QSize usual =
            QFileDialog(picker->parentWidget(), picker->windowTitle(), picker->directory().path())
                .size();
        const QSize margins = frame.size() - picker->size();
        if (!screen.contains(frame)) {
            failures.push_back(QStringLiteral("opens outside the screen"));
        }
        const bool fits = (usual + margins).height() <= screen.height() &&
                          (usual + margins).width() <= screen.width();
        if (fits && picker->size() != usual) {
            failures.push_back(QStringLiteral("does not keep the size it comes with"));
        }
        if (!fits && frame.height() < std::min(usual.height(), screen.height() * 9 / 10)) {
            failures.push_back(QStringLiteral("smaller than the screen has room for"));
        }
        for (const QAbstractButton* button : picker->findChildren<QAbstractButton*>()) {
            const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
            if (button->isVisible() && !screen.contains(place)) {
                failures.push_back(button->text() + QStringLiteral(" is off the screen"));
            }
        }
        picker->reject();
    });
    watch.start(10);
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"double-click on the folder box",
         [&] { QTest::mouseDClick(Child<QLineEdit>("textSearchPath"), Qt::LeftButton); }},
        {"start with a folder that does not exist",
         [&] {
             Type("textSearchString", "hello");
             Type("textSearchPath", FolderText(root / "missing"));
             Click("comCheckFolder");
         }},
        {"Extract Files in the viewer",
         [&] {
             Run("hello");
             ASSERT_EQ(window().resultRowCount(), 1);
             OpenViewer([](ViewerWindow& viewer) {
                 QTest::mouseClick(viewer.findChild<QPushButton*>("cmdExtract"), Qt::LeftButton);
                 EXPECT_TRUE(viewer.isVisible());  // cancelled: the viewer stays
             });
         }},
    };
    for (const auto& [name, open] : ways) {
        SCOPED_TRACE(name);
        failures.clear();
        const int before = pickers;
        open();
        EXPECT_EQ(pickers, before + 1);
        EXPECT_TRUE(failures.isEmpty()) << failures.join(QStringLiteral("; ")).toStdString();
    }
}

// The windows and the pickers once more, in a program of their own, on a screen of 1280 x 800
// pixels at twice the scale, where the pickers as they come are taller than the screen.
TEST_F(WindowLayoutTest, EveryWindowAndPickerFitsALowScreenAtTwiceTheScale) {
    const std::filesystem::path config = root / "low_screen.json";
    WriteFileBytes(config,
                   R"({"screens": [{"name": "low", "x": 0, "y": 0, "width": 1280, "height": 800, )"
                   R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + FolderText(config));
    env.insert("QT_SCALE_FACTOR", "2");
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=WindowLayoutTest.EveryWindowShowsItsControlsWholeAndFitsTheScreen:"
                 "WindowLayoutTest.EveryFolderPickerOpensWithinTheScreen"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 2 tests")) << output.toStdString();
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
