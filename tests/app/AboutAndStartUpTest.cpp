#include <QDir>
#include <QTimer>

#include "app/AppFixture.h"
#include "ui/AboutBox.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

TEST(AboutBoxTest, TheBuildDateFollowsTheLocale) {
    const QString british = AboutText(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(british,
              "Quillery Version 0.67 \nCompiled On Sunday, 25 July 1999\n"
              "Made by Velmora for everyone who keeps archives.\r\n\r\n"
              "If you have any suggestions\r\nThen Email me at :-\r\nquillery@velmora.example ");
    EXPECT_TRUE(AboutText(QLocale(QLocale::English, QLocale::UnitedStates))
                    .contains("Compiled On Sunday, July 25, 1999\n"));
    EXPECT_TRUE(
        AboutText(QLocale(QLocale::German)).contains("Compiled On Sonntag, 25. Juli 1999\n"));
}

using StartUpTest = AppFixture;

TEST_F(StartUpTest, TheAboutBoxIsModalAndBuiltAnewEachTime) {
    QString title;
    int boxes = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "dlgAbout" && w->isVisible()) {
                title = w->windowTitle();
                ++boxes;
                w->close();
            }
        }
    });
    Click("comAbout");
    EXPECT_EQ(title, "About ... Quillery Version 0.67 ");
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(window().findChildren<AboutBox*>().size(), 0);  // unloaded after closing
}

TEST_F(StartUpTest, FilesLeftInTheWorkFolderAreGoneAfterStartUp) {
    app->window().close();
    app.reset();
    const fs::path work = fs::path(QDir::tempPath().toStdString()) / "Quillery ";
    fs::create_directories(work);
    WriteFileBytes(work / "left-over.txt", "from a run that crashed");
    Start();
    EXPECT_TRUE(fs::is_directory(work));
    EXPECT_FALSE(fs::exists(work / "left-over.txt"));
    app->window().close();
    EXPECT_FALSE(fs::exists(work));
}

TEST_F(StartUpTest, ClosingAfterAFinishedRunWritesNoSecondEntry) {
    Archive("a.zip", "a.txt", "hello");
    Type("textSearchString", "hello");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.txt");
    Click("comCheckFolder");
    Click("comCheckFolder");
    const std::string afterTwoRuns = LogBytes();
    // The second entry has no header; two empty lines stand between the entries.
    EXPECT_EQ(afterTwoRuns.find("Log created By"), afterTwoRuns.rfind("Log created By"));
    EXPECT_NE(afterTwoRuns.find("a.zip\r\n\r\n\r\nStarting Folder"), std::string::npos);
    app->window().close();
    EXPECT_EQ(LogBytes(), afterTwoRuns);
}

}  // namespace
}  // namespace quillery::test

namespace quillery::test {
namespace {

using LogFailureTest = AppFixture;

TEST_F(LogFailureTest, ALogFileThatCannotBeWrittenIsReportedAndTheRunStandsWhole) {
    std::filesystem::create_directory("Quillery 0.67 .Log");  // in the way of the log file
    Archive("a.zip", "a.txt", "hello");
    Type("textSearchString", "hello");
    Type("textSearchPath", FolderText(root.path()));
    Type("textExtensions", "*.txt");
    Click("comCheckFolder");
    ASSERT_EQ(questions.messages.size(), 1u);
    EXPECT_EQ(questions.messages[0].text, "Can't open log file - Quillery 0.67 .Log");
    EXPECT_EQ(questions.messages[0].style, MessageStyle::Critical);
    EXPECT_EQ(Text("lblFound"), "     1");
    EXPECT_EQ(Text("txtStatusBar"),
              "There were 1 files that contained \"hello\", from a total of 1 files");
    EXPECT_EQ(window().resultList()->topLevelItemCount(), 1);
}

}  // namespace
}  // namespace quillery::test
