// main() of the test programs that drive real widgets on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/IsolatedEnvironment.h"

int main(int argc, char** argv) {
    quillery::test::IsolateEnvironment();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
