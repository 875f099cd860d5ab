// Writes large, realistic purchase price lists in the server form, and
// optionally a tariff database that overlaps them, for benchmarks of the
// import and of the whole update. The same seed gives the same files.

#include "benchsupport.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

using namespace preisliste::bench;

namespace {

const char *const kUsage =
    "Aufruf: generate_pricelist --lines N --output DATEI [Optionen]\n"
    "\n"
    "Schreibt eine große, realistische Einkaufspreisliste in der Serverform\n"
    "(\"#kvtpricelist\", List-ID, List-Sequence, Effective, Leerzeile, dann\n"
    "Datenzeilen \"Vorwahl;Ziel;Preis\" mit Dezimalkomma, UTF-8). Derselbe\n"
    "Startwert ergibt dieselbe Datei.\n"
    "\n"
    "  --lines N          Anzahl der Datenzeilen, z. B. 10k, 100k, 1M\n"
    "  --output DATEI     Zieldatei (\"-\" für die Standardausgabe)\n"
    "  --seed S           Startwert des Zufallsgenerators (Vorgabe: 1)\n"
    "  --lf               Zeilenende LF statt CR LF\n"
    "  --tariff DATEI     zusätzlich eine passende Tarifdatenbank anlegen\n"
    "                     (SQLite, Tabelle Numbers; die Datei darf nicht existieren)\n"
    "  --tariff-rows M    Zeilen der Tarifdatenbank (Vorgabe: N/10, mindestens 100):\n"
    "                     etwa 88 % mit Vorwahl und Name aus der Liste, 8 % mit\n"
    "                     bekanntem Namen und einer Vorwahl, die die Liste nicht\n"
    "                     hat, 4 % alte Ziele, die in der Liste fehlen\n"
    "  --help             diese Hilfe\n"
    "\n"
    "Beispiel:\n"
    "  generate_pricelist --lines 100k --seed 7 --output liste.csv \\\n"
    "                     --tariff Numbers.mdb --tariff-rows 20k\n";

// Prefixes stay within the lengths real numbering plans have.
constexpr int kMaxExtraDigits = 8;

struct Options {
    std::uint64_t lines = 0;
    std::uint64_t seed = 1;
    std::string output;
    bool lineFeedOnly = false;
    std::string tariff;
    std::uint64_t tariffRows = 0;
};

struct Line {
    std::string prefix;
    std::size_t destination;
    double rate;
};

int UsageError(const std::string &message)
{
    std::fprintf(stderr, "%s\nHilfe: generate_pricelist --help\n", message.c_str());
    return 2;
}

// Returns -1 when the options are fine, else the exit code.
int ParseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--lf") {
            options.lineFeedOnly = true;
        } else if (arg == "--output") {
            if (!value(options.output))
                return UsageError("--output braucht eine Datei.");
        } else if (arg == "--tariff") {
            if (!value(options.tariff))
                return UsageError("--tariff braucht eine Datei.");
        } else if (arg == "--lines" || arg == "--seed" || arg == "--tariff-rows") {
            if (!value(text))
                return UsageError(arg + " braucht eine Zahl.");
            const auto count = arg == "--seed" && text == "0" ? std::optional<std::uint64_t>(0) : ParseCount(text);
            if (!count)
                return UsageError(arg + ": keine gültige Zahl: " + text);
            (arg == "--lines" ? options.lines : arg == "--seed" ? options.seed : options.tariffRows) = *count;
        } else {
            return UsageError("Unbekannte Option: " + arg);
        }
    }
    if (options.lines == 0)
        return UsageError("--lines fehlt.");
    if (options.output.empty())
        return UsageError("--output fehlt.");
    if (options.tariffRows == 0)
        options.tariffRows = std::max<std::uint64_t>(100, options.lines / 10);
    return -1;
}

std::string RandomDigits(SplitMix64 &random, int count)
{
    std::string digits;
    for (int i = 0; i < count; ++i)
        digits += static_cast<char>('0' + random.Below(10));
    return digits;
}

// Each destination's rate moves a little with the seed, as between two lists.
void VaryRates(std::vector<ListDestination> &destinations, SplitMix64 &random)
{
    for (ListDestination &destination : destinations)
        destination.rate = RoundToUnits(destination.rate * random.Uniform(0.9, 1.1));
}

// The catalog's prefixes first, then longer ones below them (number blocks
// of a network, regions of a country) until the list has `count` lines.
std::vector<Line> MakeLines(const std::vector<ListDestination> &destinations, std::uint64_t count,
                            SplitMix64 &random, std::unordered_set<std::string> &used)
{
    std::vector<Line> lines;
    for (std::size_t d = 0; d < destinations.size(); ++d) {
        for (const std::string &prefix : destinations[d].prefixes) {
            if (used.insert(prefix).second)
                lines.push_back({prefix, d, destinations[d].rate});
        }
    }
    random.Shuffle(lines);
    if (lines.size() > count)
        lines.resize(count);

    std::vector<std::size_t> extensible;
    for (std::size_t d = 0; d < destinations.size(); ++d) {
        if (destinations[d].extensible)
            extensible.push_back(d);
    }
    // Enough extra digits that the wanted number of prefixes exists.
    int maxDigits = 1 + static_cast<int>(std::ceil(std::log10(static_cast<double>(count) / 100.0 + 1.0)));
    int misses = 0;
    while (lines.size() < count) {
        const std::size_t d = extensible[random.Below(extensible.size())];
        const ListDestination &destination = destinations[d];
        const std::string &base = destination.prefixes[random.Below(destination.prefixes.size())];
        const int digits = 1 + static_cast<int>(random.Below(maxDigits));
        std::string prefix = base + RandomDigits(random, digits);
        if (!used.insert(prefix).second) {
            // Only when the blocks below the catalog are nearly all taken.
            if (++misses > 1000 && maxDigits < kMaxExtraDigits) {
                ++maxDigits;
                misses = 0;
            }
            continue;
        }
        misses = 0;
        // Some number blocks cost more or less than the rest of the network.
        const double rate = random.Chance(0.15) ? RoundToUnits(destination.rate * random.Uniform(0.9, 1.12))
                                                : destination.rate;
        lines.push_back({std::move(prefix), d, rate});
    }
    std::sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) { return a.prefix < b.prefix; });
    return lines;
}

bool WriteList(const Options &options, const std::vector<ListDestination> &destinations,
               const std::vector<Line> &lines)
{
    std::FILE *out = options.output == "-" ? stdout : std::fopen(options.output.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "%s: %s\n", options.output.c_str(), std::strerror(errno));
        return false;
    }
    const char *lineEnd = options.lineFeedOnly ? "\n" : "\r\n";
    WriteServerHeader(out, ListIdFromSeed(options.seed), 100 + static_cast<int>(options.seed % 900), lineEnd);
    for (const Line &line : lines) {
        std::fprintf(out, "%s;%s;%s%s", line.prefix.c_str(), destinations[line.destination].name.c_str(),
                     FormatListPrice(line.rate).c_str(), lineEnd);
    }
    const bool ok = std::fflush(out) == 0 && !std::ferror(out);
    if (out != stdout)
        std::fclose(out);
    if (!ok)
        std::fprintf(stderr, "%s: Schreibfehler\n", options.output.c_str());
    return ok;
}

// The shop's previous tariff: last list's purchase price, the derived
// selling price or now and then one set by hand.
TariffRow PreviousTariffRow(std::string number, std::string name, double listRate, SplitMix64 &random)
{
    TariffRow row;
    row.number = std::move(number);
    row.name = std::move(name);
    const double rate = RoundToUnits(listRate * random.Uniform(0.9, 1.1));
    row.rateEk = rate;
    if (random.Chance(0.04)) {
        row.isEdited = true;
        row.priceEur = std::ceil(DefaultSellingPrice(rate) * 10.0) / 10.0 - 0.01; // 0.19, 0.29, ...
        row.priceEur = std::max(*row.priceEur, 0.0);
    } else if (!random.Chance(0.01)) {
        row.priceEur = DefaultSellingPrice(rate);
    }
    return row;
}

bool WriteTariff(const Options &options, const std::vector<ListDestination> &destinations,
                 std::vector<Line> lines, std::unordered_set<std::string> &used, SplitMix64 &random)
{
    // Destinations that have since disappeared from the lists.
    static const char *const kFormerDestinations[][2] = {
        {"Serbien und Montenegro", "00381"}, {"Niederländische Antillen", "00599"},
        {"Jugoslawien", "0038"},             {"Zaire", "00243"},
        {"Tschechoslowakei", "0042"},        {"Deutschland Mobil Quam", "01505"},
    };
    const std::uint64_t total = options.tariffRows;
    const std::uint64_t fromList = std::min<std::uint64_t>(lines.size(), total * 88 / 100);
    const std::uint64_t sameName = (total - fromList) * 2 / 3;
    const std::uint64_t former = total - fromList - sameName;

    TariffWriter writer;
    if (!writer.Create(options.tariff))
        return false;
    random.Shuffle(lines);
    for (std::uint64_t i = 0; i < fromList; ++i) {
        const Line &line = lines[i];
        if (!writer.Add(PreviousTariffRow(ToTariffForm(line.prefix), destinations[line.destination].name, line.rate,
                                          random)))
            return false;
    }
    auto addUnlisted = [&](const std::string &base, const std::string &name, double rate) {
        for (;;) {
            std::string prefix = base + RandomDigits(random, 2 + static_cast<int>(random.Below(4)));
            if (used.insert(prefix).second)
                return writer.Add(PreviousTariffRow(ToTariffForm(prefix), name, rate, random));
        }
    };
    for (std::uint64_t i = 0; i < sameName; ++i) {
        const ListDestination &destination = destinations[random.Below(destinations.size())];
        if (!destination.extensible) {
            --i;
            continue;
        }
        if (!addUnlisted(destination.prefixes.front(), destination.name, destination.rate))
            return false;
    }
    for (std::uint64_t i = 0; i < former; ++i) {
        const auto &entry = kFormerDestinations[random.Below(std::size(kFormerDestinations))];
        const std::string base = entry[1][0] == '0' && entry[1][1] != '0' ? ToListForm(entry[1]) : entry[1];
        if (!addUnlisted(base, entry[0], random.Uniform(0.02, 0.3)))
            return false;
    }
    return writer.Finish();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv); // the tariff is created through Qt's file layer
    Options options;
    if (const int exitCode = ParseOptions(argc, argv, options); exitCode >= 0)
        return exitCode;

    SplitMix64 random(options.seed);
    std::vector<ListDestination> destinations = CatalogDestinations();
    VaryRates(destinations, random);
    std::unordered_set<std::string> used;
    used.reserve(options.lines * 2 + options.tariffRows);
    const std::vector<Line> lines = MakeLines(destinations, options.lines, random, used);
    if (!WriteList(options, destinations, lines))
        return 1;
    if (!options.tariff.empty() && !WriteTariff(options, destinations, lines, used, random))
        return 1;
    return 0;
}
