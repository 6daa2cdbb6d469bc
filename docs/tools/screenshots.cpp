// Writes pictures of the windows for the documentation:
//   make_screenshots EXAMPLES_FOLDER OUTPUT_FOLDER
// Runs on the offscreen platform with its own configuration and working folders.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "app/Application.h"
#include "support/FakeQuestions.h"
#include "ui/ViewerWindow.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_screenshots EXAMPLES_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const QString examples = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString output = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("TMPDIR", home.path().toLocal8Bit());
    QDir::setCurrent(home.path());
    QApplication app(argc, argv);

    quillery::test::FakeQuestions questions;
    quillery::Application quillery(&questions, true);
    quillery.start(QString());
    quillery::MainWindow& window = quillery.window();
    window.setSearchText(QStringLiteral("demo || greets"));
    window.setFolderText(examples);
    window.setPatternText(QStringLiteral("*.nfo *.diz *.txt"));
    quillery.options().setChecked(quillery::OptionBox::SubFolders, true);
    quillery.options().setChecked(quillery::OptionBox::ShowSize, true);
    quillery.options().setChecked(quillery::OptionBox::InternalViewer, true);
    window.findChild<QPushButton*>(QStringLiteral("comCheckFolder"))->click();
    QApplication::processEvents();
    bool saved = window.grab().save(output + QStringLiteral("/main-window.png"));

    // The viewer on the first result, its marks painted.
    QTimer::singleShot(0, &window, [&] {
        QTimer::singleShot(0, &window, [&] {
            quillery::ViewerWindow* viewer = quillery.viewer();
            if (viewer == nullptr) {
                saved = false;
                return;
            }
            viewer->textBox()->viewport()->repaint();
            saved = viewer->grab().save(output + QStringLiteral("/viewer.png")) && saved;
            viewer->reject();
        });
    });
    QTreeWidget* list = window.resultList();
    list->setCurrentItem(list->topLevelItem(0));
    list->topLevelItem(0)->setSelected(true);
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    std::printf("%s main-window.png and viewer.png in %s\n", saved ? "wrote" : "could not write",
                output.toLocal8Bit().constData());
    return saved ? 0 : 1;
}
