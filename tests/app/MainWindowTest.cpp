#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolTip>
#include <chrono>
#include <functional>
#include <optional>

#include "app/AppFixture.h"
#include "scan/Formats.h"
#include "scan/HostileArchives.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// Clicks a column header the way the user does. Each click lands a little further along the
// section than the last, so that two clicks in a row never make a double-click.
void ClickHeader(QTreeWidget* list, int section) {
    static int clicks = 0;
    QApplication::processEvents();  // the header lays out its sections first
    QHeaderView* header = list->header();
    const int step = header->sectionSize(section) / 5;
    const QPoint at(header->sectionViewportPosition(section) + step * (1 + clicks++ % 4),
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Asks for the menu of the list at a point of its viewport, as a right-click does (without a
// point, as the menu key does), and chooses the action with the given text (Escape when there
// is none); returns the texts of the menu's actions, empty when no menu came.
QStringList ChooseFromMenu(QTreeWidget* list, std::optional<QPoint> at, const QString& choice) {
    QStringList texts;
    QTimer::singleShot(0, list, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        for (QAction* action : menu->actions()) {
            texts.push_back(action->text());
            if (action->text() == choice) {
                menu->setActiveAction(action);
            }
        }
        QTest::keyClick(menu, choice.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
    });
    if (at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, *at, list->viewport()->mapToGlobal(*at));
        QApplication::sendEvent(list->viewport(), &event);
    } else {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), list->mapToGlobal(QPoint()));
        QApplication::sendEvent(list, &event);
    }
    QApplication::processEvents();  // no menu came: the check above runs now
    return texts;
}

// What a tip shows, as plain text.
QString ShownTip(const QString& tip) {
    return Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
}

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, ARunTypedByTheUserFillsTheListCountersStatusAndLog) {
    MakeArchive(root.path(), "b.zip", "x.txt", "Hello there");
    MakeArchive(root.path(), "a.zip", "x.txt", "hello");
    MakeArchive(root.path(), "c.zip", "x.txt", "nothing");
    MakeArchive(root.path(), "sub/d.zip", "x.nfo", "HELLO");
    Child<QCheckBox>("scanFolder")->setChecked(true);
    Run("hello", "*.txt *.nfo");
    EXPECT_EQ(Text("lblFound"), "     3");
    EXPECT_EQ(Text("lblChecked"), "     4");
    EXPECT_EQ(Text("txtStatusBar"),
              "There were 3 files that contained \"hello\", from a total of 4 files");
    auto* list = Child<QTreeWidget>("ListView1");
    ASSERT_EQ(list->columnCount(), 2);  // sizes not shown: the size column goes
    EXPECT_EQ(Column(0), (QStringList{"a.zip", "b.zip", "d.zip"}));  // sorted
    EXPECT_EQ(list->topLevelItem(2)->text(1), FolderText(root / "sub") + "/");
    EXPECT_TRUE(Child<QLineEdit>("textSearchPath")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("comCheckFolder")->text(), "&Start Scanning");
    EXPECT_TRUE(Child<QPlainTextEdit>("rtxtLog")->toPlainText().contains("d.zip"));
    // Column headers: the first click on a name sorts descending, the next ascending.
    ClickHeader(list, 0);
    EXPECT_EQ(Column(0), (QStringList{"d.zip", "b.zip", "a.zip"}));
    ClickHeader(list, 0);
    EXPECT_EQ(Column(0), (QStringList{"a.zip", "b.zip", "d.zip"}));

    // A second run has no header, two empty lines stand between the entries, and closing
    // afterwards writes nothing more.
    Click("comCheckFolder");
    const std::string log = LogBytes();
    EXPECT_EQ(log.find("Log created By"), log.rfind("Log created By"));
    EXPECT_NE(log.find("d.zip\r\n\r\n\r\nStarting Folder"), std::string::npos);
    Close();
    EXPECT_EQ(LogBytes(), log);
}

TEST_F(MainWindowTest, ClosingDuringARunLogsItOnceSavesAndRemovesTheWorkFolder) {
    for (int i = 0; i < 5; ++i) {
        MakeArchive(root.path(), "a" + std::to_string(i) + ".zip", "x.txt", "hello");
    }
    const fs::path workFolder = app->state().WorkFolder;
    ASSERT_TRUE(fs::exists(workFolder));
    window().setRepaintInterval(0);  // handle events at every yield, as a slow disk would
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (app->state().FilesChecked >= 2 && !app->hasShutDown()) {
            window().close();
        }
    });
    timer.start(0);
    Run("hello");
    timer.stop();
    EXPECT_TRUE(app->hasShutDown());
    EXPECT_FALSE(fs::exists(workFolder));
    const std::string log = LogBytes();
    EXPECT_EQ(log.find("Number of files scanned"), log.rfind("Number of files scanned"));
    EXPECT_NE(log.find("Number of files scanned 2\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(fs::path(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString()) /
                           "Velmora" / "Quillery .conf"));
}

TEST_F(MainWindowTest, SettingsComeBackAtTheNextStartAndLeftoversAreCleared) {
    Type("textSearchString", "  two words ");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.nfo*.diz");
    Child<QCheckBox>("chkSize")->setChecked(true);
    Child<QCheckBox>("chkAudit")->setChecked(true);
    Child<QCheckBox>("chkExpressions")->setChecked(true);
    Child<QCheckBox>("chkWholeWords")->setChecked(true);
    Close();
    const fs::path work = fs::path(QDir::tempPath().toStdString()) / "Quillery ";
    EXPECT_FALSE(fs::exists(work));
    fs::create_directories(work);
    WriteFileBytes(work / "left-over.txt", "from a run that crashed");
    Start();
    EXPECT_FALSE(fs::exists(work / "left-over.txt"));
    EXPECT_EQ(Text("textSearchString"), "  two words ");
    EXPECT_EQ(Text("textSearchPath"), FolderText(root.path()));
    EXPECT_EQ(Text("textExtensions"), "*.nfo *.diz ");
    EXPECT_TRUE(Child<QCheckBox>("chkSize")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("chkAudit")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("scanFolder")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("chkExpressions")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("chkMatchCase")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("chkWholeWords")->isChecked());
    const RunState& state = app->state();
    EXPECT_TRUE(state.Expressions && !state.MatchCase && state.WholeWords);

    // "&OK" takes the boxes over as they are left.
    Child<QCheckBox>("chkExpressions")->setChecked(false);
    Child<QCheckBox>("chkMatchCase")->setChecked(true);
    QTimer::singleShot(0, &app->options(), [this] { Click("cmdOK"); });
    app->options().exec();
    EXPECT_TRUE(!state.Expressions && state.MatchCase && state.WholeWords);
}

TEST_F(MainWindowTest, ALogFileThatCannotBeWrittenIsReportedAndTheRunStandsWhole) {
    fs::create_directory("Quillery 0.67 .Log");  // in the way of the log file
    MakeArchive(root.path(), "a.zip", "a.txt", "hello");
    Run("hello");
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text, "Can't open log file - Quillery 0.67 .Log");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Critical);
    EXPECT_EQ(window().resultList()->topLevelItemCount(), 1);
}

// The start button checks the boxes before a run: a missing search string and one that is
// to be an expression but is none are refused, a missing folder offers the picker, an audit
// file that cannot be loaded unticks the option.
TEST_F(MainWindowTest, TheStartButtonChecksTheBoxesAndOffersThePicker) {
    const auto refused = [this](const QString& search, const char* message) {
        SCOPED_TRACE(message);
        const std::size_t before = questions.messages.size();
        Run(search);
        ASSERT_EQ(questions.messages.size(), before + 1);
        EXPECT_EQ(questions.messages.back().text, message);
        EXPECT_EQ(questions.messages.back().title, "Quillery Version 0.67 ");
        EXPECT_EQ(questions.messages.back().style, MessageStyle::Exclamation);
    };
    refused("", "You must enter a Search String, before Scanning can begin.");
    // Read as an expression, a search string that is not one is refused where it goes wrong.
    Child<QCheckBox>("chkExpressions")->setChecked(true);
    refused("readme && (keygen",
            "The search expression is not valid at character 11: a '(' that is not closed.");
    Child<QCheckBox>("chkExpressions")->setChecked(false);

    const QString missing = FolderText(root / "missing");
    Type("textSearchString", "contains");
    Type("textSearchPath", missing);
    Click("comCheckFolder");  // the picker is offered and cancelled
    EXPECT_EQ(questions.browseCalls, 1);
    EXPECT_EQ(Text("textSearchPath"), missing);
    EXPECT_FALSE(fs::exists(workingFolder / "Quillery 0.67 .Log"));
    MakeArchive(root.path(), "picked/a.zip", "a.txt", "contains A && B literally");
    MakeArchive(root.path(), "picked/b.zip", "b.txt", "contains a and b");
    MakeArchive(root.path(), "picked/c.zip", "c.txt", "the viewer");
    questions.folderAnswer = FolderText(root / "picked");
    Click("comCheckFolder");
    EXPECT_EQ(Text("textSearchPath"), questions.folderAnswer);
    EXPECT_EQ(Column(0), (QStringList{"a.zip", "b.zip"}));

    WriteFileBytes("audit.txt", "  viewer \r\na && b\r\n");
    Child<QCheckBox>("chkAudit")->setChecked(true);
    Type("textSearchString", "typed text");
    Click("comCheckFolder");
    EXPECT_EQ(Column(0), (QStringList{"a.zip", "c.zip"}));
    EXPECT_TRUE(Text("textSearchString").isEmpty());  // the audit strings replace it
    fs::remove("audit.txt");
    Click("comCheckFolder");  // refused, the audit option cleared
    EXPECT_FALSE(Child<QCheckBox>("chkAudit")->isChecked());
    EXPECT_EQ(questions.messages.size(), 3u);
}

// A stop click frees the search box at once and ends the walk at its next yield; a start
// click while the stopped run unwinds starts nothing. Sizes are shown when asked for.
TEST_F(MainWindowTest, StopEndsTheRunAndSizesAreShownWhenAskedFor) {
    for (int i = 0; i < 6; ++i) {
        MakeArchive(root.path(), "a" + std::to_string(i) + ".zip", "x.txt", "hello");
    }
    Child<QCheckBox>("chkSize")->setChecked(true);
    window().setRepaintInterval(0);  // handle events at every yield
    bool stopped = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (app->state().FilesChecked >= 2 && !stopped) {
            stopped = true;
            Click("comCheckFolder");
            EXPECT_EQ(Child<QPushButton>("comCheckFolder")->text(), "&Start Scanning");
            EXPECT_TRUE(Child<QLineEdit>("textSearchString")->isEnabled());
            EXPECT_FALSE(Child<QLineEdit>("textSearchPath")->isEnabled());
            Click("comCheckFolder");  // starts nothing while the run unwinds
        }
    });
    timer.start(0);
    Run("hello");
    timer.stop();
    ASSERT_TRUE(stopped);
    const int found = window().resultList()->topLevelItemCount();
    EXPECT_GE(found, 2);
    EXPECT_LT(found, 6);
    EXPECT_EQ(Text("txtStatusBar"), QStringLiteral("There were %1 files that contained \"hello\", "
                                                   "from a total of %1 files")
                                        .arg(found));
    EXPECT_TRUE(Child<QLineEdit>("textSearchPath")->isEnabled());
    auto* list = Child<QTreeWidget>("ListView1");
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(2), "Size KB");
    EXPECT_EQ(list->topLevelItem(0)->text(2),
              FormatSizeKB(fs::file_size(root / list->topLevelItem(0)->text(0).toStdString())));
    const std::string log = LogBytes();
    EXPECT_EQ(log.find("Number of files scanned"), log.rfind("Number of files scanned"));
}

// Every way of opening a result acts on the selected row as a double-click does; the menu
// also opens the archive's folder and copies its path.
TEST_F(MainWindowTest, EnterTheMenuAndADoubleClickOpenTheSelectedResult) {
    MakeArchive(root.path(), "a.zip", "x.txt", "hello");
    MakeArchive(root.path(), "b.zip", "x.txt", "hello");
    Child<QCheckBox>("chkInternalView")->setChecked(false);  // the desktop's program opens it
    Run("hello");
    auto* list = Child<QTreeWidget>("ListView1");
    ASSERT_EQ(Column(0), (QStringList{"a.zip", "b.zip"}));
    QTreeWidgetItem* second = list->topLevelItem(1);
    const QPoint onSecond = list->visualItemRect(second).center();
    const QPoint below(onSecond.x(), list->viewport()->height() - 2);
    std::vector<QUrl> opened;
    app->setFileOpener([&opened](const QUrl& url) { opened.push_back(url); });
    const QUrl archive = QUrl::fromLocalFile(FolderText(root / "b.zip"));
    const QUrl folder = QUrl::fromLocalFile(FolderText(root.path()));
    const QStringList menu{"&Open", "Open Containing &Folder", "&Copy Path"};

    struct Way {
        const char* name;
        std::function<QStringList()> act;  // returns the texts of the menu it showed
        QStringList menu;
        std::optional<QUrl> opens;
        QString copies = QString();  // on the clipboard afterwards
    };
    const Way ways[] = {
        {"double-click",
         [&] {
             QTest::mousePress(list->viewport(), Qt::LeftButton, {}, onSecond);
             QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, onSecond);
             QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onSecond);
             return QStringList();
         },
         {},
         archive},
        {"Return",
         [&] {
             list->setCurrentItem(second);
             QTest::keyClick(list, Qt::Key_Return);
             return QStringList();
         },
         {},
         archive},
        {"Enter on the keypad",
         [&] {
             list->setCurrentItem(second);
             QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
             return QStringList();
         },
         {},
         archive},
        {"Return with nothing selected",
         [&] {
             list->clearSelection();
             QTest::keyClick(list, Qt::Key_Return);
             return QStringList();
         },
         {},
         std::nullopt},
        {"menu: Open", [&] { return ChooseFromMenu(list, onSecond, "&Open"); }, menu, archive},
        {"menu: Open Containing Folder",
         [&] { return ChooseFromMenu(list, onSecond, "Open Containing &Folder"); }, menu, folder},
        {"menu: Copy Path", [&] { return ChooseFromMenu(list, onSecond, "&Copy Path"); }, menu,
         std::nullopt, FolderText(root / "b.zip")},
        {"menu key: Open",
         [&] {
             list->setCurrentItem(second);
             return ChooseFromMenu(list, std::nullopt, "&Open");
         },
         menu, archive},
        {"menu dismissed", [&] { return ChooseFromMenu(list, onSecond, ""); }, menu, std::nullopt},
        {"below the rows, no menu",
         [&] { return ChooseFromMenu(list, below, "&Open"); },
         {},
         std::nullopt},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        list->setCurrentItem(list->topLevelItem(0));
        opened.clear();
        QGuiApplication::clipboard()->clear();
        EXPECT_EQ(way.act(), way.menu);
        EXPECT_EQ(opened, way.opens ? std::vector<QUrl>{*way.opens} : std::vector<QUrl>{});
        EXPECT_EQ(QGuiApplication::clipboard()->text(), way.copies);
    }
}

// Over a row, the tip is the archive's full path, a name that looks like markup too; below
// the rows, the list's own tip.
TEST_F(MainWindowTest, AResultsTipIsItsFullPath) {
    MakeArchive(root.path(), "a.zip", "x.txt", "hello");
    MakeArchive(root.path(), "sub/<b>.zip", "x.txt", "hello");
    Child<QCheckBox>("scanFolder")->setChecked(true);
    Child<QCheckBox>("chkSize")->setChecked(true);
    Run("hello");
    auto* list = Child<QTreeWidget>("ListView1");
    ASSERT_EQ(Column(0), (QStringList{"<b>.zip", "a.zip"}));
    const auto over = [&](int row, int column) {
        const QRect place = list->visualItemRect(list->topLevelItem(row));
        return QPoint(list->header()->sectionViewportPosition(column) + 4, place.center().y());
    };
    const struct {
        const char* name;
        QPoint at;
        QString tip;
    } places[] = {
        {"name of the first row", over(0, 0), FolderText(root / "sub" / "<b>.zip")},
        {"folder of the second row", over(1, 1), FolderText(root / "a.zip")},
        {"size of the second row", over(1, 2), FolderText(root / "a.zip")},
        {"below the rows", QPoint(4, list->viewport()->height() - 2), list->toolTip()},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        QToolTip::hideText();
        QHelpEvent event(QEvent::ToolTip, place.at, list->viewport()->mapToGlobal(place.at));
        QApplication::sendEvent(list->viewport(), &event);
        EXPECT_EQ(ShownTip(QToolTip::text()), place.tip);
    }
    QToolTip::hideText();
}

// A reader that never returns does not hold the window: Stop ends the run, long before the
// reader's own deadline would.
TEST_F(MainWindowTest, StopEndsARunWhoseReaderIsStuck) {
    WriteFileBytes(root / "self.xar", std::string(kXarSelfLink));
    Child<QCheckBox>("chkAllArchives")->setChecked(true);
    std::chrono::steady_clock::time_point clicked;
    QTimer::singleShot(1500, &window(), [&] {
        clicked = std::chrono::steady_clock::now();
        Click("comCheckFolder");
    });
    Run("needle", "*.*");
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_NE(clicked, std::chrono::steady_clock::time_point());
    EXPECT_LT(ended - clicked, kStuckReaderGone);
    EXPECT_EQ(Text("lblChecked"), "     1");
    EXPECT_EQ(Child<QPushButton>("comCheckFolder")->text(), "&Start Scanning");
}

}  // namespace
}  // namespace quillery::test
