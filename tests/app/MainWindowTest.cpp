#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include "app/AppFixture.h"
#include "scan/ScanRun.h"
#include "ui/Twips.h"

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

QStringList Column(QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        texts.push_back(list->topLevelItem(i)->text(column));
    }
    return texts;
}

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, StartsWithItsCaptionsAndNothingStored) {
    EXPECT_EQ(window().windowTitle(), "Quillery Version 0.67 ");
    EXPECT_EQ(app->options().windowTitle(), "Quillery Version 0.67 ");
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(Child<QPushButton>("comCheckFolder")->text(), "&Start Scanning");
    EXPECT_EQ(Child<QLabel>("Label6")->text(), "&File Extentions");
    EXPECT_EQ(Text("lblChecked"), "     0");
    EXPECT_EQ(Text("lblFound"), "     0");
    // Nothing stored yet: the stored settings empty the boxes and clear the options.
    EXPECT_EQ(Text("textSearchString"), "");
    EXPECT_EQ(Text("textExtensions"), "");
    for (const char* box : {"chkAudit", "chkInternalView", "scanFolder", "chkSize"}) {
        EXPECT_FALSE(Child<QCheckBox>(box)->isChecked()) << box;
    }
    auto* list = Child<QTreeWidget>("ListView1");
    EXPECT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(2), "Size KB");
    EXPECT_EQ(Child<QLineEdit>("textSearchString")->toolTip(),
              "Enter string - word or phrase - to find match for; use \"&&\" for AND searches, "
              "\"|| \" for OR searches.");
    EXPECT_EQ(Child<QCheckBox>("chkAudit")->toolTip(),
              "Primarily for networked drives, see Readme.txt for examples of use.");
    // Keyboard order from the start button through the boxes to the two other buttons.
    QWidget* w = Child<QPushButton>("comCheckFolder");
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        order.push_back(w->objectName());
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus) {
            w = w->nextInFocusChain();
        }
    }
    EXPECT_EQ(order, (QStringList{"comCheckFolder", "textSearchString", "textSearchPath",
                                  "textExtensions", "cmdOptions", "comAbout"}));
}

TEST_F(MainWindowTest, ARunTypedByTheUserFillsTheListCountersAndStatus) {
    Archive("b.zip", "x.txt", "Hello there");
    Archive("a.zip", "x.txt", "hello");
    Archive("c.zip", "x.txt", "nothing");
    Archive("sub/d.zip", "x.nfo", "HELLO");
    Type("textSearchString", "hello");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.txt *.nfo");
    Child<QCheckBox>("scanFolder")->setChecked(true);
    EXPECT_EQ(app->state().SearchString, "hello");  // the boxes' change handling
    Click("comCheckFolder");

    EXPECT_EQ(Text("lblFound"), "     3");
    EXPECT_EQ(Text("lblChecked"), "     4");
    EXPECT_EQ(Text("txtStatusBar"),
              "There were 3 files that contained \"hello\", from a total of 4 files");
    auto* list = Child<QTreeWidget>("ListView1");
    ASSERT_EQ(list->columnCount(), 2);  // sizes not shown: the size column goes
    EXPECT_EQ(list->headerItem()->text(1), "File Path");
    EXPECT_EQ(Column(list, 0), (QStringList{"a.zip", "b.zip", "d.zip"}));  // sorted
    EXPECT_EQ(list->topLevelItem(2)->text(1), FolderText(root / "sub") + "/");
    EXPECT_TRUE(Child<QLineEdit>("textSearchPath")->isEnabled());
    EXPECT_EQ(Child<QPushButton>("comCheckFolder")->text(), "&Start Scanning");
    EXPECT_FALSE(Child<QPlainTextEdit>("rtxtLog")->toPlainText().isEmpty());

    // Column headers: the first click on a name sorts descending, the next ascending.
    ClickHeader(list, 0);
    EXPECT_EQ(Column(list, 0), (QStringList{"d.zip", "b.zip", "a.zip"}));
    ClickHeader(list, 0);
    EXPECT_EQ(Column(list, 0), (QStringList{"a.zip", "b.zip", "d.zip"}));
}

TEST_F(MainWindowTest, SizesSortAsNumbersThousandsSeparatorsIncluded) {
    auto* list = app->window().resultList();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const char* size : {"10", "1,024", "9", "999"}) {
        ResultRow row;
        row.fileName = size;
        row.fileSize = size;
        list->addRow(row);
    }
    ClickHeader(list, 2);  // toggle now set: smaller first
    EXPECT_EQ(Column(list, 2), (QStringList{"9", "10", "999", "1,024"}));
    ClickHeader(list, 2);
    EXPECT_EQ(Column(list, 2), (QStringList{"1,024", "999", "10", "9"}));
    ClickHeader(list, 0);  // toggle set again: names descending
    ClickHeader(list, 2);  // cleared: sizes descending
    EXPECT_EQ(Column(list, 2), (QStringList{"1,024", "999", "10", "9"}));
    QLocale::setDefault(QLocale::c());
}

TEST_F(MainWindowTest, TheOptionsDialogDecidesTheNextRun) {
    Archive("a.zip", "x.txt", "hello");
    Archive("sub/b.zip", "x.txt", "hello");
    Type("textSearchString", "hello");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.txt");
    QTimer::singleShot(0, [this] {
        Child<QCheckBox>("chkSize")->setChecked(true);
        Child<QCheckBox>("scanFolder")->setChecked(false);
        Click("cmdOK");
    });
    Click("cmdOptions");  // modal until "&OK"
    EXPECT_FALSE(app->options().isVisible());
    EXPECT_FALSE(app->state().IncludeSubFolders);

    Click("comCheckFolder");
    auto* list = Child<QTreeWidget>("ListView1");
    EXPECT_EQ(Column(list, 0), QStringList{"a.zip"});
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(2),
              QLocale().toString(static_cast<qlonglong>(fs::file_size(root / "a.zip") / 1000 + 1)));
}

TEST_F(MainWindowTest, TheFolderPickerAnswersDoubleClicksAndMissingFolders) {
    auto* folderBox = Child<QLineEdit>("textSearchPath");
    Type("textSearchPath", "/old/value");
    questions.folderAnswer = "";
    QTest::mouseDClick(folderBox, Qt::LeftButton);
    EXPECT_EQ(questions.browseCalls, 1);
    EXPECT_EQ(folderBox->text(), "/old/value");  // cancelled: the box keeps its text
    EXPECT_TRUE(app->state().SearchFolder.isEmpty());

    Archive("picked/a.zip", "a.txt", "hello");
    questions.folderAnswer = FolderText(root / "picked");
    Type("textSearchString", "hello");
    Type("textExtensions", "*.txt");
    Click("comCheckFolder");  // "/old/value" does not exist: the picker is offered
    EXPECT_EQ(questions.browseCalls, 2);
    EXPECT_EQ(folderBox->text(), questions.folderAnswer);
    EXPECT_EQ(Text("lblFound"), "     1");
}

TEST_F(MainWindowTest, AnEmptySearchIsRefusedWithAMessage) {
    Type("textSearchPath", FolderText(root.path()));
    Click("comCheckFolder");
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "You must enter a Search String, before Scanning can begin.");
    EXPECT_TRUE(Child<QLineEdit>("textSearchString")->isEnabled());
}

TEST_F(MainWindowTest, ClosingDuringARunLogsItOnceSavesAndRemovesTheWorkFolder) {
    for (int i = 0; i < 5; ++i) {
        Archive("a" + std::to_string(i) + ".zip", "x.txt", "hello");
    }
    const fs::path workFolder = app->state().WorkFolder;
    ASSERT_TRUE(fs::exists(workFolder));
    window().setRepaintInterval(0);  // handle events at every yield, as a slow disk would
    Type("textSearchString", "hello");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.txt");
    int yields = 0;
    // Closes the window from inside the walk, after two archives.
    QObject guard;
    auto* timer = new QTimer(&guard);
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (app->state().FilesChecked >= 2 && !app->hasShutDown()) {
            window().close();
        }
        ++yields;
    });
    timer->start(0);
    Click("comCheckFolder");
    timer->stop();
    EXPECT_TRUE(app->hasShutDown());
    EXPECT_FALSE(fs::exists(workFolder));
    const std::string log = LogBytes();
    EXPECT_EQ(std::count(log.begin(), log.end(), 'L') > 0, true);
    const auto entries = [&log] {
        std::size_t n = 0;
        for (std::size_t at = 0;
             (at = log.find("Number of files scanned", at)) != std::string::npos; ++at) {
            ++n;
        }
        return n;
    }();
    EXPECT_EQ(entries, 1u);
    EXPECT_NE(log.find("Number of files scanned 2\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(fs::path(qEnvironmentVariable("XDG_CONFIG_HOME").toStdString()) /
                           "Velmora" / "Quillery .conf"));
}

TEST_F(MainWindowTest, SettingsComeBackAtTheNextStart) {
    Type("textSearchString", "  two words ");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.nfo*.diz");
    Child<QCheckBox>("chkSize")->setChecked(true);
    Child<QCheckBox>("chkAudit")->setChecked(true);
    Restart();
    EXPECT_EQ(Text("textSearchString"), "  two words ");
    EXPECT_EQ(Text("textSearchPath"), FolderText(root.path()));
    EXPECT_EQ(Text("textExtensions"), "*.nfo *.diz ");
    EXPECT_TRUE(Child<QCheckBox>("chkSize")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("chkAudit")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("scanFolder")->isChecked());
}

}  // namespace
}  // namespace quillery::test

namespace quillery::test {
namespace {

using ResizeTest = AppFixture;

TEST_F(ResizeTest, TheMainWindowKeepsItsControlsInProportion) {
    auto* list = Child<QTreeWidget>("ListView1");
    auto* status = Child<QLineEdit>("txtStatusBar");
    const QRect listBefore = list->geometry();
    // Places scale from the designed layout (the window may open larger, to fit captions).
    const QRect listDesign = TwipsRect(1800, 1800, 5412, 3252);
    const QSize design = TwipsSize(7488, 7092);
    const QSize size = window().size();
    window().resize(size.width() * 3 / 2, size.height());
    QApplication::processEvents();
    const int percent = window().width() * 100 / design.width();  // whole percentages
    const int yPercent = window().height() * 100 / design.height();
    EXPECT_EQ(list->geometry(),
              QRect(listDesign.x() * percent / 100, listDesign.y() * yPercent / 100,
                    listDesign.width() * percent / 100, listDesign.height() * yPercent / 100));
    EXPECT_EQ(status->geometry().width(), TwipsRect(240, 5160, 6564, 432).width() * percent / 100);
    window().resize(size);
    QApplication::processEvents();
    EXPECT_EQ(list->geometry(), listBefore);
}

}  // namespace
}  // namespace quillery::test
