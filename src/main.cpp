#include "app/runwindow.h"
#include "buildconfig.h"
#include "cli/commandline.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

// Qt's own complaint about a missing display is cryptic; an operator who
// started the program on a server gets told what to do instead.
bool DisplayAvailable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// Qt's own texts (option errors, dialog buttons) in German, like the rest
// of the program. Without Qt's translations installed they stay English;
// the command line words the texts an operator usually meets itself.
void InstallGermanQtTexts(QCoreApplication &application)
{
    auto *translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

void Identify(QCoreApplication &application)
{
    QCoreApplication::setApplicationName(QStringLiteral("preisliste"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PREISLISTE_VERSION));
    InstallGermanQtTexts(application);
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
        Identify(application);
        return preisliste::RunWindow();
    }
    QCoreApplication application(argc, argv);
    Identify(application);
    return preisliste::RunCommandLine(QCoreApplication::arguments());
}
