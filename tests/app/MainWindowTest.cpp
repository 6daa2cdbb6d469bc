#include <QDir>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTimer>
#include <chrono>

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

// The start button checks the boxes before a run: a missing search string is refused, a
// missing folder offers the picker, an audit file that cannot be loaded unticks the option.
TEST_F(MainWindowTest, TheStartButtonChecksTheBoxesAndOffersThePicker) {
    Run("");
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "You must enter a Search String, before Scanning can begin.");
    EXPECT_EQ(questions.messages[0].title, "Quillery Version 0.67 ");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Exclamation);

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
    EXPECT_EQ(questions.messages.size(), 2u);
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

// A reader that never returns does not hold the window: Stop ends the run within a second.
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
    EXPECT_LT(ended - clicked, std::chrono::seconds(1));
    EXPECT_EQ(Text("lblChecked"), "     1");
    EXPECT_EQ(Child<QPushButton>("comCheckFolder")->text(), "&Start Scanning");
}

}  // namespace
}  // namespace quillery::test
