// main() of the test programs that need no widgets.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "scan/ReaderMain.h"
#include "support/IsolatedEnvironment.h"

int main(int argc, char** argv) {
    if (const int status = quillery::RunReaderIfAsked(argc, argv); status >= 0) {
        return status;
    }
    quillery::test::IsolateEnvironment();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
