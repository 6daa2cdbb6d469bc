#include <QApplication>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>

#include "app/AppFixture.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

class ViewerTest : public AppFixture {
  protected:
    // A finished run that lists the one archive at root/name.
    void RunOver(const std::string& name, const std::vector<ZipEntry>& entries) {
        MakeZip(root / name, entries);
        Child<QCheckBox>("chkInternalView")->setChecked(true);
        Run("hello", "*.txt *.nfo");
        ASSERT_EQ(Child<QTreeWidget>("ListView1")->topLevelItemCount(), 1);
    }
    // Presses "E&xtract Files" in the viewer; true when the viewer closed on success.
    bool Extract(const QString& answer) {
        questions.folderAnswer = answer;
        questions.messages.clear();
        bool closed = false;
        OpenViewer([&](ViewerWindow& viewer) {
            QTest::mouseClick(viewer.findChild<QPushButton*>("cmdExtract"), Qt::LeftButton);
            closed = !viewer.isVisible();
        });
        return closed;
    }
};

TEST_F(ViewerTest, ADoubleClickShowsTheSelectedEntriesMarkedAndClosingBringsTheWindowBack) {
    RunOver("Notes.zip", {{"readme.txt", "the first hello, the second HELLO"}, {"x.doc", "hello"}});
    const QString status = Text("txtStatusBar");
    bool opened = false;
    OpenViewer([&](ViewerWindow& viewer) {
        opened = true;
        EXPECT_FALSE(window().isVisible());
        EXPECT_EQ(viewer.windowTitle(), "Internal Viewer For Quillery Version 0.67 ");
        EXPECT_EQ(viewer.findChild<QLabel*>("lblFullPath")->text(), FolderText(root / "Notes.zip"));
        const QString text = viewer.textBox()->toPlainText();
        EXPECT_TRUE(text.startsWith("FileName - README.TXT\n"));
        EXPECT_FALSE(text.contains("X.DOC"));  // only the entries the patterns select
        EXPECT_EQ(viewer.textBox()->textCursor().position(), text.indexOf("hello"));
        EXPECT_EQ(Text("txtStatusBar"), "Please Wait, Loading Files In To Viewer .....");
        viewer.textBox()->viewport()->repaint();  // marks are applied as lines are painted
        const QTextBlock block = viewer.textBox()->document()->findBlockByNumber(2);
        const auto formats = block.layout()->formats();
        ASSERT_EQ(formats.size(), 2);
        EXPECT_EQ(formats[0].start, 10);
        EXPECT_EQ(formats[0].length, 5);
        EXPECT_EQ(formats[0].format.fontWeight(), QFont::Bold);
        EXPECT_TRUE(formats[0].format.fontUnderline());
    });
    EXPECT_TRUE(opened);
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(Text("txtStatusBar"), status);
    EXPECT_EQ(app->viewer(), nullptr);
    EXPECT_TRUE(fs::is_empty(app->state().WorkFolder));

    Child<QCheckBox>("chkInternalView")->setChecked(false);  // the desktop's program instead
    QUrl url;
    app->setFileOpener([&url](const QUrl& u) { url = u; });
    DoubleClickRow();
    EXPECT_EQ(url, QUrl::fromLocalFile(FolderText(root / "Notes.zip")));
}

TEST_F(ViewerTest, ExtractionMakesANewFolderNamedAfterTheArchiveAndKeepsEveryEntryInside) {
    RunOver("Files.zip", {{"docs/readme.txt", "hello"},
                          {"bin/tool.exe", "MZ"},
                          {"../escaped.txt", "x"},
                          {"../../far.txt", "x"},
                          {"/abs.txt", "x"}});
    const fs::path out = root / "out";
    fs::create_directories(out);
    EXPECT_TRUE(Extract(FolderText(out)));
    EXPECT_EQ(
        FilesBelow(root / "out"),
        (std::vector<std::string>{"Files/abs.txt", "Files/bin/tool.exe", "Files/docs/readme.txt",
                                  "Files/escaped.txt", "Files/far.txt"}));
    EXPECT_EQ(ReadFileBytes(out / "Files" / "docs" / "readme.txt"), "hello");
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "\"" + FolderText(root / "Files.zip") + "\" was successfully unzipped.");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Information);

    EXPECT_FALSE(Extract(FolderText(out) + "/"));  // the name exists: refused
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "Folder \"" + FolderText(out / "Files") + "\" Aready exists, please select another.");
    EXPECT_EQ(FilesBelow(root / "out").size(), 5u);
    EXPECT_FALSE(Extract(""));  // cancelled: nothing happens, nothing is said
    EXPECT_TRUE(questions.messages.empty());
}

TEST_F(ViewerTest, AFailedExtractionIsReportedAndTheViewerStays) {
    RunOver("Broken.zip", {{"readme.txt", "hello"}, {"big.txt", std::string(50000, 'x')}});
    CorruptCrc(root / "Broken.zip", "big.txt");
    const fs::path out = root / "out";
    fs::create_directories(out);
    EXPECT_FALSE(Extract(FolderText(out)));
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text,
              "There was a problem unzipping \"" + FolderText(root / "Broken.zip") + "\"");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Exclamation);
    EXPECT_TRUE(fs::is_directory(out / "Broken"));  // kept with what was written
    EXPECT_FALSE(fs::exists(out / "Broken" / "big.txt"));
}

}  // namespace
}  // namespace quillery::test
