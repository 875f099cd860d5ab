// Input meant to break things: names and prefixes that are SQL, patterns,
// control characters or simply huge; paths full of quotes and separators; a
// list far too large. The tariff must come out right or untouched.
#include "support/testsupport.h"

#include <QDir>
#include <QFile>

namespace preisliste {
namespace {

using test::RunCli;
using test::TempTariff;

// New rows get 0,10 x 1,19 x 1,00375 -> 0,12 from the merge; the rule then
// re-prices rows under 1 % margin, which these are: 0,119 x 1,6 -> 0,19.
QStringList Update(const QString &db, const QString &list)
{
    return {QStringLiteral("update"), QStringLiteral("--db"), db, QStringLiteral("--file"), list,
            QStringLiteral("--apply-to"), QStringLiteral("margin-below=1%"), QStringLiteral("--settings"),
            QStringLiteral("/nonexistent.ini"), QStringLiteral("--max-removed"), QStringLiteral("100")};
}

TEST(HostileInput, NamesAreComparedAndStoredLiterally)
{
    TempTariff tariff;
    const QString longName(10000, u'L');
    const QString control = QString::fromUtf16(u"Steuer\u0001zeichen\u0007");
    tariff.AddNumber(QStringLiteral("00225"), QStringLiteral("Cote d'Ivoire"), 0.3, 0.1);
    tariff.AddNumber(QStringLiteral("00501"), QStringLiteral("100X Mobil"), 0.7, 0.1);
    tariff.AddNumber(QStringLiteral("00502"), QStringLiteral("A-B"), 0.8, 0.1);
    tariff.AddNumber(QStringLiteral("00503"), QStringLiteral("Semi;kolon'); DROP TABLE Numbers; --"), 0.9, 0.1);
    tariff.AddNumber(QStringLiteral("00504"), control, 0.6, 0.1);
    tariff.AddNumber(QStringLiteral("00505"), longName, 0.5, 0.1);
    const QByteArray list = "#Vorwahl;Ziel;Preis\n"
                            "002251;COTE D'IVOIRE;0,1\n"      // name match without regard to case
                            "005011;100% Mobil;0,1\n"         // a % is no pattern
                            "005021;A_B;0,1\n"                // nor is a _
                            "005031;\"DROP TABLE Numbers; --\";0,1\n"
                            "005041;" + control.toUtf8() + ";0,1\n"
                            "005051;" + longName.toUtf8() + ";0,1\n"
                            + QByteArray(1000, '9') + ";Lange Vorwahl;0,1\n";
    const auto result = RunCli(Update(tariff.Path(), tariff.WriteFile(QStringLiteral("preise.csv"), list)));
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Number, Name, Price_EUR FROM Numbers ORDER BY Number")),
              (QStringList{QStringLiteral("002251|COTE D'IVOIRE|0.3"),
                           QStringLiteral("005011|100% Mobil|0.19"),     // new: computed, not 100X's 0,70
                           QStringLiteral("005021|A_B|0.19"),            // new: computed, not A-B's 0,80
                           QStringLiteral("005041|") + control + QStringLiteral("|0.6"),
                           QStringLiteral("005051|NULL|0.19")}));       // longer than a name may be
    // The quote protects no ";": the price field is then " --\"", no number,
    // and the line is skipped rather than sold at 0. So is the prefix
    // longer than a prefix may be.
    EXPECT_TRUE(result.err.contains(QStringLiteral("Zeile 5: „005031;\"DROP TABLE Numbers; --\";0,1“ – Preis ist keine Zahl")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Zeile 8: „") + QString(80, u'9') + QStringLiteral("…“ – Vorwahl hat mehr als 255 Zeichen")))
        << result.err.toStdString();
    EXPECT_EQ(tariff.Rows(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
}

TEST(HostileInput, PathsWithBlanksQuotesSemicolonsAndUmlauts)
{
    TempTariff base;
    const QString folder = base.FilePath(QStringLiteral("Tarife 'Ü;\"x\" $HOME%20"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString db = folder + QStringLiteral("/Numbers; Größe 'neu'.mdb");
    ASSERT_TRUE(QFile::copy(base.Path(), db));
    const QString list = folder + QStringLiteral("/preise \"März\"; 2011.csv");
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#Vorwahl;Ziel;Preis\n0043;\xC3\x96sterreich;0,1\n");
    }
    const auto result = RunCli(Update(db, list));
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(TempTariff::RowsOf(db, QStringLiteral("SELECT Name FROM Numbers")), QStringList{"Österreich"});
    const QDir backups(folder + QStringLiteral("/backups"));
    EXPECT_EQ(backups.entryList({QStringLiteral("*.mdb")}, QDir::Files).size(), 1);
    EXPECT_EQ(backups.entryList({QStringLiteral("*.csv")}, QDir::Files).size(), 1); // its report
}

TEST(HostileInput, AListLargerThanAnyPriceListIsRefusedUnread)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString before = tariff.Snapshot();
    const QString list = tariff.WriteFile(QStringLiteral("riesig.csv"), "#Vorwahl;Ziel;Preis\n");
    ASSERT_TRUE(QFile::resize(list, 200LL * 1024 * 1024 + 1)); // sparse: costs no disk
    const auto result = RunCli(Update(tariff.Path(), list));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("zu groß für eine Preisliste"))) << result.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), before);
}

} // namespace
} // namespace preisliste
