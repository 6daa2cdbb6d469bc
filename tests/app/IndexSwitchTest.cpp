// The search index is on unless the options box, the stored setting or -noindex turns it off.
#include <QCheckBox>
#include <chrono>
#include <thread>

#include "app/AppFixture.h"
#include "index/CollectionIndex.h"

namespace quillery::test {
namespace {

namespace fs = std::filesystem;

using IndexSwitchTest = AppFixture;

TEST_F(IndexSwitchTest, OnByDefaultOffForOneRunOrForGood) {
    struct Case {
        QString extra;  // more arguments
        int storedOff;  // NoIndex stored before the start (-1: nothing stored)
        bool indexed;
    };
    const std::vector<Case> cases = {
        {"", -1, true}, {" -noindex", -1, false}, {"", 1, false},  // stored off
    };
    MakeArchive(root.path(), "a.zip", "a.txt", "nothing here");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // its times settle
    const fs::path index = CollectionIndex::DefaultFolder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra.toStdString() + std::to_string(c.storedOff));
        app.reset();
        fs::remove_all(index);
        DeleteKey(DefaultSettingsKey());
        if (c.storedOff >= 0) {
            ASSERT_EQ(WriteValue(DefaultSettingsKey(), "NoIndex", std::int32_t{c.storedOff},
                                 kNumberValue),
                      0);
        }
        app = std::make_unique<Application>(&questions, true);
        // A command-line run ends the program itself.
        EXPECT_EQ(app->start("-folder=" + FolderText(root.path()) + " -search=needle" + c.extra),
                  1);
        app.reset();
        std::error_code ec;
        EXPECT_EQ(!fs::is_empty(index, ec) && !ec, c.indexed);
        // The box shows the stored choice, and a run leaves that choice as it was.
        Start();
        EXPECT_EQ(Child<QCheckBox>("chkIndex")->isChecked(), c.storedOff != 1);
    }
}

}  // namespace
}  // namespace quillery::test
