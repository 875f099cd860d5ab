#include "app/runwindow.h"
#include "cli/commandline.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // Without arguments the window opens; anything else is the command line,
    // which needs no display.
    if (argc < 2) {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("preisliste"));
        return preisliste::RunWindow();
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("preisliste"));
    return preisliste::RunCommandLine(QCoreApplication::arguments());
}
