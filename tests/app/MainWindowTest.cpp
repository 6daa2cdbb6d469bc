#include <QDir>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTimer>

#include "app/AppFixture.h"

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

}  // namespace
}  // namespace quillery::test
