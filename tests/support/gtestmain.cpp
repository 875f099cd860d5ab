#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // End-to-end tests find the built program here unless told otherwise.
    if (qEnvironmentVariableIsEmpty("PREISLISTE_BINARY"))
        qputenv("PREISLISTE_BINARY", PREISLISTE_BINARY_PATH);
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
