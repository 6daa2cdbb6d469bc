// Writes pictures of the windows for the documentation:
//   make_screenshots EXAMPLES_FOLDER OUTPUT_FOLDER
// Runs on the offscreen platform with its own configuration and working folders.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "app/Application.h"
#include "support/FakeQuestions.h"

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
    window.setSearchText(QStringLiteral("readme || greets"));
    window.setFolderText(examples);
    window.setPatternText(QStringLiteral("*.nfo *.diz *.txt"));
    quillery.options().setChecked(quillery::OptionBox::SubFolders, true);
    quillery.options().setChecked(quillery::OptionBox::ShowSize, true);
    window.findChild<QPushButton*>(QStringLiteral("comCheckFolder"))->click();
    QApplication::processEvents();
    const bool saved = window.grab().save(output + QStringLiteral("/main-window.png"));
    std::printf("%s %s/main-window.png\n", saved ? "wrote" : "could not write",
                output.toLocal8Bit().constData());
    return saved ? 0 : 1;
}
