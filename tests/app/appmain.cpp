#include <QApplication>

#include <gtest/gtest.h>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says for every fixed-size window that it cannot
// pass size hints on; that line carries nothing for the tests.
void QuietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    qtHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    qtHandler = qInstallMessageHandler(QuietHandler);
    // The window is tested on the offscreen platform unless told otherwise;
    // test discovery at build time needs no display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
