#include "cli/commandline.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("preisliste"));
    return preisliste::RunCommandLine(QCoreApplication::arguments());
}
