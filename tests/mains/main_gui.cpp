// main() of the test programs that drive real widgets on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string_view>

#include "scan/ReaderMain.h"
#include "support/IsolatedEnvironment.h"

int main(int argc, char** argv) {
    if (const int status = quillery::RunReaderIfAsked(argc, argv); status >= 0) {
        return status;
    }
    quillery::test::IsolateEnvironment();
    // Offscreen always; a run may give the offscreen platform options (a screen of its own).
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || std::string_view(platform).substr(0, 9) != "offscreen") {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
