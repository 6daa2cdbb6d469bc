#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "app/Application.h"
#include "settings/SettingsStore.h"
#include "support/FakeQuestions.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"
#include "ui/ViewerWindow.h"

namespace quillery::test {

// The real program with its real windows on the offscreen platform, writing its log in a
// working folder of its own; only the modal questions are answered by the test.
class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        DeleteKey(DefaultSettingsKey());  // nothing stored by an earlier test
        Start();
    }
    void Start() {
        app = std::make_unique<Application>(&questions, true);
        ASSERT_EQ(app->start(QString()), -1);
    }
    // Closes the window as the user would and forgets the program.
    void Close() {
        app->window().close();
        app.reset();
    }

    MainWindow& window() { return app->window(); }
    template <class T>
    T* Child(const char* name) {
        T* child = window().findChild<T*>(QLatin1String(name));
        child = child != nullptr ? child : app->options().findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Text(const char* name) {
        auto* edit = window().findChild<QLineEdit*>(QLatin1String(name));
        return edit != nullptr ? edit->text() : Child<QLabel>(name)->text();
    }
    void Type(const char* box, const QString& text) {
        Child<QLineEdit>(box)->clear();
        QTest::keyClicks(Child<QLineEdit>(box), text);
    }
    void Click(const char* button) {
        QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton);
    }
    QString FolderText(const std::filesystem::path& p) {
        return QString::fromStdString(p.string());
    }
    // Types a search over root as the user does and clicks start.
    void Run(const QString& search, const QString& patterns = QStringLiteral("*.txt")) {
        Type("textSearchString", search);
        Type("textSearchPath", FolderText(root.path()));
        Type("textExtensions", patterns);
        Click("comCheckFolder");
    }
    QStringList Column(int column) {
        auto* list = Child<QTreeWidget>("ListView1");
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts.push_back(list->topLevelItem(i)->text(column));
        }
        return texts;
    }
    // Double-clicks the row as a hand does (a click first); runs check on the viewer once it
    // is open and has handled what its opening queued, then closes it unless check did.
    void OpenViewer(std::function<void(ViewerWindow&)> check) {
        QTimer::singleShot(0, &window(), [this, check] {
            QTimer::singleShot(0, &window(), [this, check] {
                ASSERT_NE(app->viewer(), nullptr);
                check(*app->viewer());
                if (app->viewer() != nullptr && app->viewer()->isVisible()) {
                    app->viewer()->reject();
                }
            });
        });
        DoubleClickRow();
    }
    void DoubleClickRow() {
        auto* list = Child<QTreeWidget>("ListView1");
        list->setCurrentItem(list->topLevelItem(0));
        const QPoint at = list->visualItemRect(list->topLevelItem(0)).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    std::string LogBytes() { return ReadFileBytes(workingFolder / "Quillery 0.67 .Log"); }

    TempDir root;
    WorkingFolder workingFolder;
    FakeQuestions questions;
    std::unique_ptr<Application> app;
};

}  // namespace quillery::test
