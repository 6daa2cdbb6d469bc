#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/Application.h"
#include "settings/SettingsStore.h"
#include "support/FakeQuestions.h"
#include "support/TempDir.h"
#include "support/ZipMaker.h"

namespace quillery::test {

// The real program with its real windows on the offscreen platform; only the modal
// questions are answered by the test.
class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        // Each test writes its log and audit file in a working folder of its own.
        previous = std::filesystem::current_path();
        std::filesystem::current_path(workingFolder.path());
        DeleteKey(DefaultSettingsKey());  // nothing stored by an earlier test
        Start();
    }
    void TearDown() override {
        app.reset();
        std::filesystem::current_path(previous);
    }

    void Start(const QString& arguments = QString()) {
        app = std::make_unique<Application>(&questions, true);
        ASSERT_EQ(app->start(arguments), -1);
    }
    // Closes the window as the user would, then starts a fresh program.
    void Restart() {
        app->window().close();
        app.reset();
        Start();
    }

    MainWindow& window() { return app->window(); }
    template <class T>
    T* Child(const char* name) {
        T* child = window().findChild<T*>(QLatin1String(name));
        if (child == nullptr) {
            child = app->options().findChild<T*>(QLatin1String(name));
        }
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Text(const char* name) {
        if (auto* edit = window().findChild<QLineEdit*>(QLatin1String(name))) {
            return edit->text();
        }
        return Child<QLabel>(name)->text();
    }
    void Type(const char* box, const QString& text) {
        auto* edit = Child<QLineEdit>(box);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    void Click(const char* button) {
        QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton);
    }
    QString FolderText(const std::filesystem::path& p) {
        return QString::fromStdString(p.string());
    }
    std::filesystem::path Archive(const std::string& rel, const std::string& entry,
                                  const std::string& text) {
        const auto p = root / rel;
        std::filesystem::create_directories(p.parent_path());
        MakeZip(p, {{entry, text}});
        return p;
    }
    std::string LogBytes() { return ReadFileBytes("Quillery 0.67 .Log"); }

    TempDir root;
    TempDir workingFolder;
    std::filesystem::path previous;
    FakeQuestions questions;
    std::unique_ptr<Application> app;
};

}  // namespace quillery::test
