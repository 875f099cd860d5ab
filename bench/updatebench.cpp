// Times a full update run, RunUpdate with every stage it has (open, import,
// merge, recalculation, commit), of a generated price list against a
// generated tariff, in the shape real lists have: countries
// with a handful of destinations and sub-destinations, many prefixes per
// destination, German national numbers in 0049 form and a few numbers with
// the 0111 marker. The old tariff is the same list one version earlier: some
// destinations renamed, some new, some rows gone, a few prices empty.
//
//   bench_update [LINES [TARIFF_ROWS [REPEATS]]]
//
// Without arguments: 100,000 lines against 100,000 rows, then 1,000,000
// against 1,000,000, three runs each; the best run counts.
#include "common/runsinks.h"
#include "common/telvorosettings.h"
#include "db/tariffdatabase.h"
#include "pricing/pricingrule.h"
#include "run/updaterun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace preisliste;

namespace {

struct Entry {
    std::string prefix; // in the list's form
    std::string name;
    int purchaseUnits;  // 1/10000 euro
};

const char *const kSubdestinations[] = {"", " Mobile", " Mobile Netz1", " Mobile Netz2", " Festnetz", " Sonder"};

// The price list: about 12 prefixes per destination, six destinations per
// country, 5 % German national numbers, a few marker numbers.
std::vector<Entry> GenerateList(int lines, std::mt19937 &random)
{
    std::vector<Entry> entries;
    entries.reserve(size_t(lines));
    std::uniform_int_distribution<int> prefixesPerDestination(1, 23);
    std::uniform_int_distribution<int> basePrice(50, 5000);
    const int national = lines / 20;
    for (int i = 0; i < national; ++i) {
        const int city = i / 4;
        entries.push_back({"0049" + std::to_string(200 + city) + std::to_string(i % 4),
                           "Deutschland Ort" + std::to_string(city) + (i % 4 == 3 ? " Mobil" : ""), 120});
    }
    for (int i = 0; i < 20 && int(entries.size()) < lines; ++i)
        entries.push_back({"0111" + std::to_string(11800 + i), "Sonderrufnummer " + std::to_string(i), 0});
    int destination = 0;
    int countryPrice = 0;
    while (int(entries.size()) < lines) {
        const int country = destination / 6;
        const int sub = destination % 6;
        const std::string name = "Land" + std::to_string(country) + kSubdestinations[sub];
        if (sub == 0)
            countryPrice = basePrice(random);
        const int count = prefixesPerDestination(random);
        for (int j = 0; j < count && int(entries.size()) < lines; ++j) {
            // The networks mostly share the purchase price of "Mobile".
            const bool network = sub == 2 || sub == 3;
            const int units = countryPrice + 10 * (network && j % 3 != 0 ? 1 : sub);
            entries.push_back(
                {"00" + std::to_string(100000 + country) + std::to_string(sub) + std::to_string(j), name, units});
        }
        ++destination;
    }
    return entries;
}

std::string TariffNumber(const std::string &listPrefix)
{
    if (listPrefix.rfind("0049", 0) == 0)
        return "0" + listPrefix.substr(4);
    if (listPrefix.rfind("0111", 0) == 0)
        return listPrefix.substr(4);
    return listPrefix;
}

// The old tariff: the list one version earlier. Decided per destination:
// 6 % were renamed since (and 30 % of their prefixes are new), 3 % are new
// altogether; of the rest 2 % of the prefixes are new. 5 % extra rows are
// gone from the list, 1 % of the old rows have no selling price, and the old
// purchase prices differ a little from the new ones.
void WriteTariff(const QString &path, const std::vector<Entry> &list, int rows, std::mt19937 &random)
{
    CreateTariffDatabase(path);
    sqlite3 *handle = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &handle);
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(handle,
                       "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime) VALUES (?, ?, ?, ?, 0)",
                       -1, &insert, nullptr);
    std::uniform_int_distribution<int> percent(0, 99);
    auto add = [&](const std::string &number, const std::string &name, int purchase, bool priced) {
        sqlite3_bind_text(insert, 1, number.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        const double rate = purchase / 10000.0;
        if (priced)
            sqlite3_bind_double(insert, 3, std::ceil(rate * 1.6 * 100.0) / 100.0);
        else
            sqlite3_bind_null(insert, 3);
        sqlite3_bind_double(insert, 4, rate);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    };
    int written = 0;
    int destinationRoll = 0;
    for (size_t i = 0; i < list.size() && written < rows; ++i) {
        if (i == 0 || list[i].name != list[i - 1].name)
            destinationRoll = percent(random);
        const bool renamed = destinationRoll < 6;
        const bool newDestination = destinationRoll >= 6 && destinationRoll < 9;
        const int roll = percent(random);
        if (newDestination || roll < (renamed ? 30 : 2))
            continue; // new in the list
        const std::string name = renamed ? "Alt " + list[i].name : list[i].name;
        add(TariffNumber(list[i].prefix), name, list[i].purchaseUnits + (roll % 5) * 10, roll != 50);
        ++written;
        if (roll >= 95 && written < rows) { // a row the list has dropped
            add(TariffNumber(list[i].prefix) + "9", name, list[i].purchaseUnits, true);
            ++written;
        }
    }
    for (int i = 0; written < rows; ++i, ++written)
        add("00999" + std::to_string(i), "Weggefallen " + std::to_string(i / 10), 100, true);
    sqlite3_finalize(insert);
    sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
}

void WriteList(const QString &path, const std::vector<Entry> &list)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray text = "#Vorwahl;Ziel;Preis;Info;Preis2\r\n";
    text.reserve(qsizetype(list.size()) * 40);
    for (const Entry &entry : list) {
        text += entry.prefix.c_str();
        text += ';';
        text += entry.name.c_str();
        text += ';';
        text += QByteArray::number(entry.purchaseUnits / 10000.0, 'f', 4).replace('.', ',');
        text += ";;\r\n";
    }
    file.write(text);
}

class SilentMessages : public MessageSink {
public:
    void ShowMessage(MessageIcon, const QString &title, const QString &text) override
    {
        last = title + QStringLiteral(": ") + text;
        if (title == QLatin1String("Update Info"))
            statistics = QString(text).replace(QStringLiteral("\r\n\r\n"), QStringLiteral(": "))
                             .replace(QStringLiteral("\r\n"), QStringLiteral(", "));
    }
    QString last;
    QString statistics;
};

// Notes when each stage starts: a stage begins with the action value 0 at
// the start of its share of the overall value. The per-row calls within a
// stage never match another stage's start, so they never count as one.
class StageClock : public ProgressSink {
public:
    StageClock() { timer_.start(); }
    bool SetProgress(int overall, int action) override
    {
        if (action != 0)
            return false;
        for (const StageShare &stage : kRunStages) {
            if (stage.from == overall && (marks.empty() || marks.back().first != stage.name))
                marks.push_back({stage.name, timer_.nsecsElapsed()});
        }
        return false;
    }
    bool StopRequested() const override { return false; }
    std::vector<std::pair<const char *, qint64>> marks;

private:
    QElapsedTimer timer_;
};

struct Timing {
    double wall = -1;
    double cpu = -1;
};

// The fastest of `repeats` runs on copies of one generated tariff.
Timing Measure(int lines, int tariffRows, int repeats)
{
    QTemporaryDir dir;
    const QString listPath = dir.filePath(QStringLiteral("preise.csv"));
    const QString original = dir.filePath(QStringLiteral("original.mdb"));
    {
        // The generated entries go before the runs, so that the peak memory
        // of the process (/usr/bin/time -f %M) is the update's.
        std::mt19937 random(20240501u + unsigned(lines));
        const std::vector<Entry> list = GenerateList(lines, random);
        WriteList(listPath, list);
        WriteTariff(original, list, tariffRows, random);
    }

    Timing best{1e300, 1e300};
    for (int run = 0; run < repeats; ++run) {
        const QString database = dir.filePath(QStringLiteral("Numbers%1.mdb").arg(run));
        QFile::copy(original, database);
        RunRequest request{.databaseFile = database, .priceListFile = listPath,
                           .source = PriceListSource::LocalFile, .customerId = {},
                           .rule = PricingRule(TelvoroSettings())};
        request.maxRemovedPercent = 100; // the generated tariff loses some destinations on purpose
        SilentMessages messages;
        StageClock clock;
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        const RunOutcome outcome = RunUpdate(request, clock, messages);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        if (outcome != RunOutcome::Committed) {
            std::printf("run failed: %s\n", qPrintable(messages.last));
            return {};
        }
        std::printf("  %7d lines, %7d tariff rows: %.3f s (cpu %.3f s)  (", lines, tariffRows, seconds, cpuSeconds);
        for (size_t i = 0; i < clock.marks.size(); ++i) {
            const qint64 end = i + 1 < clock.marks.size() ? clock.marks[i + 1].second : timer.nsecsElapsed();
            std::printf("%s%s %.3f", i ? ", " : "", clock.marks[i].first, double(end - clock.marks[i].second) / 1e9);
        }
        std::printf(")\n");
        if (run == 0)
            std::printf("  %s\n", qPrintable(messages.statistics));
        if (seconds < best.wall)
            best = {seconds, cpuSeconds};
        QFile::remove(database);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    const int repeats = arguments.size() > 3 ? arguments.at(3).toInt() : 3;
    if (arguments.size() > 1) {
        const int lines = arguments.at(1).toInt();
        const int rows = arguments.size() > 2 ? arguments.at(2).toInt() : lines;
        const Timing best = Measure(lines, rows, repeats);
        std::printf("best: %.3f s (cpu %.3f s)\n", best.wall, best.cpu);
        return best.wall > 0 ? 0 : 1;
    }
    const Timing small = Measure(100000, 100000, repeats);
    const Timing large = Measure(1000000, 1000000, repeats);
    std::printf("full update, best of %d: 100k %.3f s (cpu %.3f s, target < 1.5 s), "
                "1M %.3f s (cpu %.3f s) = %.1fx (target <= 15x)\n",
                repeats, small.wall, small.cpu, large.wall, large.cpu, large.wall / small.wall);
    return small.wall > 0 && large.wall > 0 && small.wall < 1.5 && large.wall <= 15 * small.wall ? 0 : 1;
}
