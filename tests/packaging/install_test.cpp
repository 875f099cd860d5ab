#include "buildconfig.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <memory>

namespace preisliste {
namespace {

struct ProcessResult {
    int exitCode = -1;
    QString out;
    QString err;
};

ProcessResult Execute(const QString &program, const QStringList &arguments, const QStringList &environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QSet<QString> LongOptionsIn(const QString &text)
{
    QSet<QString> options;
    const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z0-9-]*"));
    for (const QRegularExpressionMatch &match : option.globalMatch(text))
        options.insert(match.captured());
    return options;
}

QString Sorted(const QSet<QString> &set)
{
    QStringList list(set.begin(), set.end());
    list.sort();
    return list.join(u' ');
}

// The build installed once into a temporary prefix for all tests here.
class Installed : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        prefix_ = std::make_unique<QTemporaryDir>();
        install_ = Execute(QStringLiteral(PREISLISTE_CMAKE_COMMAND),
                           {"--install", QStringLiteral(PREISLISTE_BUILD_DIR), "--prefix", prefix_->path()});
    }
    static void TearDownTestSuite() { prefix_.reset(); }

    void SetUp() override { ASSERT_EQ(install_.exitCode, 0) << install_.err.toStdString(); }

    static QString Path(const QString &relative) { return prefix_->filePath(relative); }
    static QString Program() { return Path(QStringLiteral("bin/preisliste")); }
    static QString Read(const QString &relative)
    {
        QFile file(Path(relative));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // The manual page as written, with roff's escaped hyphens as plain ones.
    static QString ManPage()
    {
        ProcessResult unpacked = Execute(QStringLiteral("gzip"), {"-dc", Path(QStringLiteral("share/man/man1/preisliste.1.gz"))});
        return unpacked.out.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    }
    // The text of one ".SS"/".SH" section of the manual page, up to the next.
    static QString ManSection(const QString &page, const QString &macro, const QString &title)
    {
        const QStringList lines = page.split(u'\n');
        QStringList section;
        bool inside = false;
        for (const QString &line : lines) {
            if (line.startsWith(QStringLiteral(".SS ")) || line.startsWith(QStringLiteral(".SH ")))
                inside = line == macro + u' ' + title;
            else if (inside)
                section.append(line);
        }
        return section.join(u'\n');
    }

    static inline std::unique_ptr<QTemporaryDir> prefix_;
    static inline ProcessResult install_;
};

TEST_F(Installed, EveryFileIsInItsPlace)
{
    for (const char *file : {"bin/preisliste", "share/applications/de.telvoro.preisliste.desktop",
                             "share/icons/hicolor/scalable/apps/preisliste.svg",
                             "share/icons/hicolor/48x48/apps/preisliste.png",
                             "share/metainfo/de.telvoro.preisliste.metainfo.xml", "share/man/man1/preisliste.1.gz",
                             "share/bash-completion/completions/preisliste", "share/doc/preisliste/copyright",
                             "share/doc/preisliste/zeitgesteuert.md",
                             "share/doc/preisliste/zeitgesteuert/preisliste-update.service",
                             "share/doc/preisliste/zeitgesteuert/preisliste-update.timer",
                             "share/doc/preisliste/zeitgesteuert/crontab"}) {
        EXPECT_TRUE(QFileInfo(Path(QString::fromLatin1(file))).isFile()) << file;
    }
    EXPECT_TRUE(QFileInfo(Program()).isExecutable());
    const ProcessResult version = Execute(Program(), {"--version"});
    EXPECT_EQ(version.out, QStringLiteral("preisliste " PREISLISTE_VERSION "\n"));
}

TEST_F(Installed, MenuEntryAndMetadataAreValid)
{
    const QString desktop = Read(QStringLiteral("share/applications/de.telvoro.preisliste.desktop"));
    for (const char *line : {"Exec=preisliste\n", "Icon=preisliste\n", "Categories=Office;Finance;\n", "Name=Preisliste\n"})
        EXPECT_TRUE(desktop.contains(QString::fromLatin1(line))) << line;
    EXPECT_TRUE(desktop.contains(QStringLiteral("Comment=Neue Einkaufspreisliste in die Tarifdatenbank von Telvoro")));
    const ProcessResult entry = Execute(QStringLiteral("desktop-file-validate"),
                              {Path(QStringLiteral("share/applications/de.telvoro.preisliste.desktop"))});
    EXPECT_EQ(entry.exitCode, 0) << entry.out.toStdString() << entry.err.toStdString();
    const ProcessResult metainfo = Execute(QStringLiteral("appstreamcli"),
                                 {"validate", "--no-net", Path(QStringLiteral("share/metainfo/de.telvoro.preisliste.metainfo.xml"))});
    EXPECT_EQ(metainfo.exitCode, 0) << metainfo.out.toStdString() << metainfo.err.toStdString();
    EXPECT_TRUE(Read(QStringLiteral("share/metainfo/de.telvoro.preisliste.metainfo.xml"))
                    .contains(QStringLiteral("<release version=\"" PREISLISTE_VERSION "\"")));
}

// The manual page must not drift from the program: each command's section
// names exactly the options that "preisliste <command> --help" names.
TEST_F(Installed, ManPageNamesExactlyTheCommandsAndOptionsOfTheHelp)
{
    const QString page = ManPage();
    ASSERT_FALSE(page.isEmpty());
    const ProcessResult overview = Execute(Program(), {"--help"});
    QSet<QString> commands;
    const QRegularExpression commandLine(QStringLiteral("^preisliste ([a-z][a-z-]*)"), QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch &match : commandLine.globalMatch(overview.out))
        commands.insert(match.captured(1));
    ASSERT_FALSE(commands.isEmpty()) << overview.out.toStdString();

    QSet<QString> documented;
    const QRegularExpression section(QStringLiteral("^\\.SS ([a-z][a-z-]*)$"), QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch &match : section.globalMatch(page))
        documented.insert(match.captured(1));
    EXPECT_EQ(Sorted(documented), Sorted(commands)) << "commands in the manual page (.SS) vs. preisliste --help";

    for (const QString &command : commands) {
        const ProcessResult help = Execute(Program(), {command, "--help"});
        ASSERT_EQ(help.exitCode, 0) << command.toStdString();
        const QSet<QString> fromHelp = LongOptionsIn(help.out) + QSet<QString>{QStringLiteral("--help")};
        const QSet<QString> fromPage = LongOptionsIn(ManSection(page, QStringLiteral(".SS"), command));
        EXPECT_EQ(Sorted(fromPage), Sorted(fromHelp))
            << "options of \"" << command.toStdString() << "\": manual page section vs. --help. Missing in the page: "
            << Sorted(fromHelp - fromPage).toStdString() << "; not in --help: " << Sorted(fromPage - fromHelp).toStdString();
    }
    EXPECT_EQ(Sorted(LongOptionsIn(ManSection(page, QStringLiteral(".SH"), QStringLiteral("OPTIONEN")))),
              QStringLiteral("--help --version"));
    EXPECT_TRUE(LongOptionsIn(overview.out).contains(QStringLiteral("--version")));

    const QString exitCodes = ManSection(page, QStringLiteral(".SH"), QStringLiteral("RÜCKGABEWERT"));
    for (const char *code : {".B 0\n", ".B 1\n", ".B 2\n"})
        EXPECT_TRUE(exitCodes.contains(QString::fromLatin1(code))) << code;
    const QString environment = ManSection(page, QStringLiteral(".SH"), QStringLiteral("UMGEBUNG"));
    for (const char *variable : {"TELVORO_SETTINGS", "PREISLISTE_SERVER", "PREISLISTE_SCREENSHOT", "DISPLAY"})
        EXPECT_TRUE(environment.contains(QString::fromLatin1(variable))) << variable;
    const QString files = ManSection(page, QStringLiteral(".SH"), QStringLiteral("DATEIEN"));
    for (const char *file : {"Telvoro.ini", "Numbers.mdb", "vor-Wiederherstellung"})
        EXPECT_TRUE(files.contains(QString::fromLatin1(file))) << file;
}

// Completes `line` as bash would at its end, with the installed program
// first on the PATH; the candidates, sorted.
QStringList Complete(const QString &completionScript, const QString &binFolder, const QString &line)
{
    const QString script = QStringLiteral(
        "source /usr/share/bash-completion/bash_completion; source \"$1\"; "
        "COMP_LINE=\"$2\"; COMP_POINT=${#COMP_LINE}; read -r -a COMP_WORDS <<< \"$COMP_LINE\"; "
        "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=(''); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
        "_preisliste; printf '%s\\n' \"${COMPREPLY[@]}\"");
    const ProcessResult run = Execute(QStringLiteral("bash"), {"-c", script, "completion", completionScript, line},
                            {QStringLiteral("PATH=") + binFolder + u':' + qEnvironmentVariable("PATH")});
    QStringList candidates = run.out.split(u'\n', Qt::SkipEmptyParts);
    candidates.sort();
    return candidates;
}

TEST_F(Installed, BashCompletionOffersTheCommandsAndOptionsOfTheProgram)
{
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral("/usr/share/bash-completion/bash_completion")))
        << "bash-completion is missing";
    const QString script = Path(QStringLiteral("share/bash-completion/completions/preisliste"));
    const QString bin = Path(QStringLiteral("bin"));
    EXPECT_EQ(Complete(script, bin, QStringLiteral("preisliste ")),
              (QStringList{"backups", "diff", "history", "init-db", "restore", "status", "update"}));
    EXPECT_EQ(Complete(script, bin, QStringLiteral("preisliste --v")), QStringList{"--version"});
    EXPECT_EQ(Complete(script, bin, QStringLiteral("preisliste update --no")), (QStringList{"--no-backup", "--now"}));
    EXPECT_EQ(Complete(script, bin, QStringLiteral("preisliste history --")),
              (QStringList{"--csv", "--db", "--limit", "--settings"}));
    EXPECT_EQ(Complete(script, bin, QStringLiteral("preisliste update --mode ma")), (QStringList{"margin", "markup"}));
    EXPECT_EQ(Complete(script, bin, QStringLiteral("preisliste status --")),
              (QStringList{"--customer-id", "--db", "--settings"}));
}

} // namespace
} // namespace preisliste
