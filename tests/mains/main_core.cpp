// main() of the test programs that need no widgets.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/IsolatedEnvironment.h"

int main(int argc, char** argv) {
    quillery::test::IsolateEnvironment();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
