#include <QApplication>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "app/AppFixture.h"
#include "ui/ViewerWindow.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

// Runs check on the viewer once it is open and has handled what its opening queued, then
// closes it unless check did.
void WhenViewerOpens(Application& app, std::function<void(ViewerWindow&)> check) {
    QTimer::singleShot(0, &app.window(), [&app, check] {
        QTimer::singleShot(0, &app.window(), [&app, check] {
            ViewerWindow* viewer = app.viewer();
            ASSERT_NE(viewer, nullptr);
            check(*viewer);
            if (app.viewer() != nullptr && app.viewer()->isVisible()) {
                app.viewer()->reject();
            }
        });
    });
}

class ViewerTest : public AppFixture {
  protected:
    // A finished run that lists the one archive at root/name.
    void RunOver(const std::string& name, const std::vector<ZipEntry>& entries,
                 const QString& search) {
        MakeZip(root / name, entries);
        Type("textSearchString", search);
        Type("textSearchPath", FolderText(root.path()));
        Type("textExtensions", "*.txt *.nfo");
        Child<QCheckBox>("chkInternalView")->setChecked(true);
        Click("comCheckFolder");
        ASSERT_EQ(Child<QTreeWidget>("ListView1")->topLevelItemCount(), 1);
    }
    void DoubleClickRow(int row) {
        auto* list = Child<QTreeWidget>("ListView1");
        QTreeWidgetItem* item = list->topLevelItem(row);
        list->setCurrentItem(item);
        const QPoint at = list->visualItemRect(item).center();
        // A click first, as a hand does, then the double-click.
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(ViewerTest, ADoubleClickOpensTheViewerAndClosingBringsTheWindowBack) {
    RunOver("Notes.zip", {{"readme.txt", "the first hello, the second HELLO"}, {"x.doc", "hello"}},
            "hello");
    const QString status = Text("txtStatusBar");
    bool checked = false;
    WhenViewerOpens(*app, [&](ViewerWindow& viewer) {
        checked = true;
        EXPECT_FALSE(window().isVisible());
        EXPECT_EQ(viewer.windowTitle(), "Internal Viewer For Quillery Version 0.67 ");
        EXPECT_EQ(viewer.findChild<QLabel*>("lblFullPath")->text(), FolderText(root / "Notes.zip"));
        const QString text = viewer.textBox()->toPlainText();
        EXPECT_TRUE(text.startsWith("FileName - README.TXT\n"));
        EXPECT_FALSE(text.contains("X.DOC"));  // only the entries the patterns select
        EXPECT_EQ(viewer.textBox()->textCursor().position(), text.indexOf("hello"));
        EXPECT_EQ(Text("txtStatusBar"), "Please Wait, Loading Files In To Viewer .....");
    });
    DoubleClickRow(0);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(Text("txtStatusBar"), status);
    EXPECT_EQ(app->viewer(), nullptr);
    EXPECT_TRUE(fs::is_empty(app->state().WorkFolder));
}

TEST_F(ViewerTest, ADoubleClickWithNothingSelectedOpensNothing) {
    RunOver("a.zip", {{"a.txt", "hello"}}, "hello");
    auto* list = Child<QTreeWidget>("ListView1");
    list->clearSelection();
    bool opened = false;
    QTimer::singleShot(0, [&] { opened = app->viewer() != nullptr; });
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    QApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(ViewerTest, MarkedOccurrencesAreRedBoldAndUnderlined) {
    RunOver("a.zip", {{"a.txt", "one hello here"}}, "hello");
    WhenViewerOpens(*app, [&](ViewerWindow& viewer) {
        viewer.textBox()->viewport()->repaint();  // marks are applied as lines are painted
        const QTextBlock block = viewer.textBox()->document()->findBlockByNumber(2);
        ASSERT_EQ(block.text(), "one hello here");
        const auto formats = block.layout()->formats();
        ASSERT_EQ(formats.size(), 1);
        EXPECT_EQ(formats[0].start, 4);
        EXPECT_EQ(formats[0].length, 5);
        EXPECT_EQ(formats[0].format.foreground().color(), QColor(255, 0, 0));
        EXPECT_EQ(formats[0].format.fontWeight(), QFont::Bold);
        EXPECT_TRUE(formats[0].format.fontUnderline());
    });
    DoubleClickRow(0);
}

TEST(ViewerWindowTest, MarksArePaintedOnTheirLines) {
    ViewerWindow viewer;
    ViewerContent content = BuildViewerContent({{"a.txt", "one hello here"}}, "hello");
    viewer.setContent(content);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    viewer.textBox()->viewport()->repaint();
    const QTextBlock block = viewer.textBox()->document()->findBlockByNumber(2);
    ASSERT_EQ(block.text(), "one hello here");
    const auto formats = block.layout()->formats();
    ASSERT_EQ(formats.size(), 1);
    EXPECT_EQ(formats[0].start, 4);
}

TEST(ViewerWindowTest, CtrlFF3AndTheRightButtonStepThroughTheOccurrences) {
    ViewerWindow viewer;
    ViewerContent content;
    content.text = QString(60, 'x');
    content.matchPositions = {9, 24, 39};
    content.caret = 9;
    viewer.setContent(content);
    viewer.show();
    QPlainTextEdit* box = viewer.textBox();
    QApplication::setActiveWindow(&viewer);
    box->setFocus();
    QApplication::processEvents();
    const auto caret = [box] { return box->textCursor().position(); };
    EXPECT_EQ(caret(), 9);
    QTest::keyClick(box, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(caret(), 24);
    QTest::keyClick(box, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(caret(), 39);
    QTest::keyClick(box, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(caret(), 9);
    QTest::mouseClick(box->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(caret(), 24);
    QTest::keyClick(box, Qt::Key_F);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(400, 400));
    viewer.gotoNextMatch();
    EXPECT_EQ(caret(), 39);  // neither F alone nor the left button moved on

    ViewerContent none;
    none.text = "nothing found";
    viewer.setContent(none);
    viewer.gotoNextMatch();
    EXPECT_EQ(caret(), 0);
}

class ExtractionTest : public ViewerTest {
  protected:
    // Opens the viewer on the listed archive and presses "E&xtract Files" in it.
    bool ExtractFromViewer() {
        bool closedBySuccess = false;
        WhenViewerOpens(*app, [&](ViewerWindow& viewer) {
            QTest::mouseClick(viewer.findChild<QPushButton*>("cmdExtract"), Qt::LeftButton);
            closedBySuccess = !viewer.isVisible();
        });
        DoubleClickRow(0);
        return closedBySuccess;
    }
    fs::path out = root / "out";
};

TEST_F(ExtractionTest, TheWholeArchiveGoesIntoANewFolderNamedAfterIt) {
    RunOver("Files.zip", {{"docs/readme.txt", "hello"}, {"bin/tool.exe", "MZ"}}, "hello");
    fs::create_directories(out);
    questions.folderAnswer = FolderText(out);
    EXPECT_TRUE(ExtractFromViewer());
    EXPECT_EQ(ReadFileBytes(out / "Files" / "docs" / "readme.txt"), "hello");
    EXPECT_EQ(ReadFileBytes(out / "Files" / "bin" / "tool.exe"), "MZ");
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "\"" + FolderText(root / "Files.zip") + "\" was successfully unzipped.");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Information);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(ExtractionTest, AnExistingNameIsRefusedAndNothingIsWritten) {
    RunOver("Files.zip", {{"readme.txt", "hello"}}, "hello");
    fs::create_directories(out / "Files");
    questions.folderAnswer = FolderText(out) + "/";
    EXPECT_FALSE(ExtractFromViewer());
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "Folder \"" + FolderText(out / "Files") + "\" Aready exists, please select another.");
    EXPECT_TRUE(fs::is_empty(out / "Files"));

    questions.messages.clear();
    questions.folderAnswer = "";  // cancelled: nothing happens, nothing is said
    EXPECT_FALSE(ExtractFromViewer());
    EXPECT_TRUE(questions.messages.empty());
}

TEST_F(ExtractionTest, AFailedExtractionIsReportedAndTheViewerStays) {
    RunOver("Broken.zip", {{"readme.txt", "hello"}, {"big.txt", std::string(50000, 'x')}}, "hello");
    CorruptCrc(root / "Broken.zip", "big.txt");
    fs::create_directories(out);
    questions.folderAnswer = FolderText(out);
    EXPECT_FALSE(ExtractFromViewer());
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "There was a problem unzipping \"" + FolderText(root / "Broken.zip") + "\"");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Exclamation);
    EXPECT_TRUE(fs::is_directory(out / "Broken"));  // kept with what was written
    EXPECT_FALSE(fs::exists(out / "Broken" / "big.txt"));
}

TEST_F(ExtractionTest, EntriesThatClimbOutStayInsideTheNewFolder) {
    RunOver("Evil.zip",
            {{"readme.txt", "hello"},
             {"../escaped.txt", "x"},
             {"../../far.txt", "x"},
             {"/abs.txt", "x"}},
            "hello");
    fs::create_directories(out);
    questions.folderAnswer = FolderText(out);
    ExtractFromViewer();
    EXPECT_FALSE(fs::exists(out / "escaped.txt"));
    EXPECT_FALSE(fs::exists(root / "far.txt"));
    EXPECT_FALSE(fs::exists("/abs.txt"));
    for (const auto& e : fs::recursive_directory_iterator(root.path())) {
        const std::string p = e.path().string();
        if (e.is_regular_file() && p.find("escaped") != std::string::npos) {
            EXPECT_EQ(p.rfind((out / "Evil").string(), 0), 0u) << p;
        }
    }
}

TEST_F(ViewerTest, WithoutTheInternalViewerTheArchiveGoesToItsProgram) {
    RunOver("a.zip", {{"a.txt", "hello"}}, "hello");
    Child<QCheckBox>("chkInternalView")->setChecked(false);
    QUrl opened;
    app->setFileOpener([&opened](const QUrl& url) { opened = url; });
    DoubleClickRow(0);
    EXPECT_EQ(opened, QUrl::fromLocalFile(FolderText(root / "a.zip")));
    EXPECT_TRUE(window().isVisible());
}

}  // namespace
}  // namespace quillery::test
