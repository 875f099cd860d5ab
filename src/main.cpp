#include "app/runwindow.h"
#include "cli/commandline.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

namespace {

// Qt's own complaint about a missing display is cryptic; an operator who
// started the program on a server gets told what to do instead.
bool DisplayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    // Without arguments the window opens; anything else is the command line,
    // which needs no display.
    if (argc < 2) {
        if (!DisplayAvailable()) {
            std::fputs("Kein Bildschirm gefunden: Das Fenster braucht eine grafische Oberfläche.\n"
                       "Ohne sie hilft die Kommandozeile weiter: preisliste --help\n",
                       stderr);
            return 1;
        }
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("preisliste"));
        return preisliste::RunWindow();
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("preisliste"));
    return preisliste::RunCommandLine(QCoreApplication::arguments());
}
