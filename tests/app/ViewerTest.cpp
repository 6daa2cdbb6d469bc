#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>

#include "app/AppFixture.h"
#include "scan/QueryMarks.h"
#include "ui/ElidedLabel.h"
#include "ui/Resizer.h"

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
        EXPECT_EQ(viewer.findChild<ElidedLabel*>("lblFullPath")->fullText(),
                  FolderText(root / "Notes.zip"));
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

// The search options read the search string for the run and for the viewer alike: its marks
// and its next-match command follow every term that is not under a "!".
TEST_F(ViewerTest, AnExpressionsMarksAreWhatItsTermsFind) {
    MakeZip(root / "Release.zip",
            {{"info.nfo", "Release v1.2 and V3.45\n\u00C5ngstr\u00F6m \U0001D11E v9.0\n"}});
    Child<QCheckBox>("chkInternalView")->setChecked(true);
    Child<QCheckBox>("chkExpressions")->setChecked(true);
    Run(R"(v[0-9]+\.[0-9]+ && !keygen)", "*.nfo");
    ASSERT_EQ(Column(0), QStringList{"Release.zip"});
    const struct {
        const char* name;
        bool matchCase;
        QStringList marked;  // in text order
    } rows[] = {{"any case", false, {"v1.2", "V3.45", "v9.0"}},
                {"case as written", true, {"v1.2", "v9.0"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Child<QCheckBox>("chkMatchCase")->setChecked(row.matchCase);
        OpenViewer([&](ViewerWindow& viewer) {
            MarkedTextBox* box = viewer.textBox();
            const QString text = box->toPlainText();
            // Each visit lands on the next occurrence, and after the last on the first again.
            for (qsizetype visit = 0; visit <= row.marked.size(); ++visit) {
                const QString& marked = row.marked[visit % row.marked.size()];
                const qsizetype at = text.indexOf(marked);
                EXPECT_EQ(box->textCursor().position(), at) << marked.toStdString();
                EXPECT_EQ(box->longestMarkAt(at), marked.size()) << marked.toStdString();
                QTest::keyClick(box, Qt::Key_F3);
            }
        });
    }
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

// With the expression, case or word options on, every occurrence of every term that is not
// under a "!" is marked on the characters it covers, header lines included; with all of them
// off the marks are the plain search's.
TEST(ViewerMarksTest, TermsAreMarkedAsTheOptionsReadThem) {
    const std::vector<ViewerFile> files = {
        {"info.nfo", "gr\u00FC\u00DFe \U0001D11E v1.2 and V3.45, no keygen\nabcd, a cd here"}};
    const QString text = BuildViewerContent(files, QString()).text;
    const qsizetype v12 = text.indexOf("v1.2"), v345 = text.indexOf("V3.45");
    const qsizetype inAbcd = text.indexOf("abcd") + 2, word = text.indexOf(" cd ") + 1;
    const qsizetype header = text.indexOf("INFO.NFO");
    const QString version = QStringLiteral(R"(v[0-9]+\.[0-9]+)");
    using Mark = ViewerContent::Mark;
    const struct {
        const char* name;
        QString search;
        bool expressions;
        QueryOptions options;
        std::vector<Mark> marks;  // term by term, each in text order
    } rows[] = {
        {"a regular expression, nothing under !",
         version + " && !keygen",
         true,
         {},
         {{v12, 4}, {v345, 5}}},
        {"case as written", version + " && !keygen", true, {true, false}, {{v12, 4}}},
        {"a plain term as a whole word", "cd", false, {false, true}, {{word, 2}}},
        {"a plain term with case", "v1.2 || V1.2", false, {true, false}, {{v12, 4}}},
        {"a term anywhere, term by term", "cd || v1", true, {}, {{inAbcd, 2}, {word, 2}, {v12, 2}}},
        {"the header too", "nfo", true, {}, {{header + 1, 3}, {header + 5, 3}}},
        {"the header, upper-cased, with case", "nfo", true, {true, false}, {}},
        {"no expression", "v1 && (keygen", true, {}, {}},
        {"every option off", "V1.2 || cd", false, {}, {{v12, 4}, {inAbcd, 2}, {word, 2}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ViewerContent c = ViewerContentFor(files, row.search, row.expressions, row.options);
        EXPECT_EQ(c.text, text);
        EXPECT_EQ(c.marks, row.marks);
        std::vector<qsizetype> starts;
        for (const Mark& mark : row.marks) {
            starts.push_back(mark.start);
        }
        std::sort(starts.begin(), starts.end());
        EXPECT_EQ(c.matchPositions, starts);
        EXPECT_EQ(c.caret, starts.empty() ? 0 : starts.front());
    }
}

// The path label shows a path too long for it cut in the middle, cut again as the label
// changes size, and the whole path in its tip.
TEST(ViewerPathTest, ALongPathIsCutInTheMiddleAndShownWholeInTheTip) {
    ResizeState state;
    Resizer resizer(state);
    ViewerWindow viewer;
    viewer.setResizer(&resizer);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    auto* label = viewer.findChild<ElidedLabel*>("lblFullPath");
    const QString deep = "/archives/" + QString("very long folder name/").repeated(12) + "end.zip";
    const struct {
        const char* name;
        QString path;
        int width;  // of the label; 0 as it opened
    } cases[] = {
        {"a short path", "/z/a.zip", 0},
        {"a long path", deep, 0},
        {"a long path in a narrower label", deep, 200},
        {"a long path in a label wide enough", deep, 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        viewer.setArchive(c.path.toStdString(), c.path);
        if (c.width > 0) {
            label->resize(c.width, label->height());
        }
        const QString shown = label->text();
        const int room = label->contentsRect().width();
        EXPECT_EQ(label->fullText(), c.path);
        EXPECT_TRUE(label->toolTip().endsWith("\n" + c.path)) << label->toolTip().toStdString();
        EXPECT_TRUE(label->toolTip().startsWith("Show path of file being examined."));
        EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), room);
        if (label->fontMetrics().horizontalAdvance(c.path) <= room) {
            EXPECT_EQ(shown, c.path);
        } else {
            EXPECT_TRUE(shown.startsWith("/archives/very") && shown.endsWith("/end.zip") &&
                        shown.contains(QChar(0x2026)))
                << shown.toStdString();
        }
    }
}

// Opening and every next-match command bring the whole occurrence into view, scrolling
// sideways no more than that; one wider than the box shows its start.
TEST(ViewerScrollTest, TheWholeOccurrenceIsScrolledIntoView) {
    const QString term = QStringLiteral("needle");
    const QString wide = QString("needle").repeated(40);
    const struct {
        const char* name;
        QString search;
        int column;      // of the first occurrence, in characters; -1 across the right edge
        int nextColumn;  // of a second one further down, or none
    } cases[] = {
        {"in view as it is", term, 10, -2},    {"across the right edge", term, -1, -2},
        {"far to the right", term, 400, -2},   {"then one back to the left", term, 400, 3},
        {"wider than the box", wide, 300, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ViewerWindow viewer;
        QPlainTextEdit* box = viewer.textBox();
        const int charWidth = QFontMetrics(box->font()).horizontalAdvance(QLatin1Char('x'));
        const int inner = box->width() - 2 * box->frameWidth();  // no scroll bar beside it
        const int column = c.column >= 0 ? c.column : inner / charWidth - 3;
        QString text = QStringLiteral("first line\n") + QString(column, '.') + c.search +
                       QString(500, '.') + QStringLiteral("\n");
        if (c.nextColumn >= 0) {
            text += QString(40, '\n') + QString(c.nextColumn, '.') + c.search + "\n";
        }
        const ViewerContent content = BuildViewerContent({{"a.txt", text}}, c.search);
        viewer.setContent(content);  // before the window is shown, as when a result is opened
        viewer.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
        const QScrollBar* bar = box->horizontalScrollBar();
        for (std::size_t visit = 0; visit < content.matchPositions.size() + 1; ++visit) {
            SCOPED_TRACE(visit);
            const qsizetype at = content.matchPositions[visit % content.matchPositions.size()];
            ASSERT_EQ(box->textCursor().position(), at);
            QTextCursor end(box->document());
            end.setPosition(static_cast<int>(at + c.search.size()));
            const QRect first = box->cursorRect();
            const QRect last = box->cursorRect(end);
            const QRect view = box->viewport()->rect();
            EXPECT_TRUE(view.contains(first)) << first.left() << " of " << view.width();
            if (c.search.size() * charWidth < view.width()) {
                EXPECT_LE(last.right(), view.right()) << "the end is out of view";
            }
            if (c.column >= 0 && (c.column + c.search.size()) * charWidth < view.width()) {
                EXPECT_EQ(bar->value(), 0) << "scrolled for nothing";
            }
            EXPECT_TRUE(view.contains(QPoint(0, first.center().y())));
            QTest::keyClick(box, Qt::Key_F3);
        }
    }
}

}  // namespace
}  // namespace quillery::test
