// Writes the bundled sample data: a call shop's tariff database (Numbers.mdb)
// and the supplier's next purchase price list (preise.csv, server form), made
// so that one update meets every way a destination can be recognised or not.
// data/sample/README.md describes what is in them.

#include "benchsupport.h"
#include "destinationcatalog.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace preisliste::bench;

namespace {

const char *const kUsage =
    "Aufruf: generate_sample --dir ORDNER [--force]\n"
    "\n"
    "Schreibt die Beispieldaten nach ORDNER: Numbers.mdb (Tarifdatenbank mit\n"
    "einigen hundert Zeilen) und preise.csv (neue Einkaufspreisliste in der\n"
    "Serverform, UTF-8, CR LF). Die Daten sind bei jedem Aufruf dieselben.\n"
    "\n"
    "  --dir ORDNER  Zielordner, z. B. data/sample\n"
    "  --force       vorhandene Numbers.mdb und preise.csv ersetzen\n"
    "  --help        diese Hilfe\n";

constexpr std::uint64_t kSampleSeed = 20110301;
// The old tariff lists at most this many mobile prefixes per country.
constexpr std::size_t kMobilePrefixesInTariff = 3;

// Selling prices the operator set by hand (IsEdited), per destination name.
const std::map<std::string, double> kHandSetPrices = {
    {"Türkei", 0.09},        {"Türkei Mobil", 0.19},        {"Polen", 0.04},
    {"Polen Mobil", 0.12},   {"Rumänien Mobil", 0.19},      {"Serbien Mobil", 0.29},
    {"Nigeria Mobil", 0.25}, {"Bosnien-Herzegowina Mobil", 0.45}, {"Ghana Mobil", 0.35},
    {"Indien", 0.05},        {"Indien Mobil", 0.05},        {"Pakistan Mobil", 0.15},
    {"Libanon Mobil", 0.35}, {"Marokko Mobil", 0.59},       {"Deutschland Mobil", 0.15},
    {"Inmarsat", 9.90},
};
// Destinations whose rows Telvoro holds without a selling price yet.
const std::set<std::string> kWithoutSellingPrice = {"Mazedonien Mobil", "Georgien"};
// A destination whose rows were priced apart over the years.
const std::string kUnevenlyPriced = "Ukraine Mobil";

// Renamed by the supplier; the prefixes stay.
const std::map<std::string, std::string> kRenamed = {
    {"Weißrussland", "Belarus"},
    {"Weißrussland Mobil", "Belarus Mobil"},
    {"Elfenbeinküste Mobil", "ELFENBEINKÜSTE MOBIL"},
};
// Split up into networks, each with a new number block besides the old ones.
const std::set<std::string> kSplitIntoNetworks = {"Türkei Mobil", "Deutschland Mobil"};
const std::map<std::string, std::string> kNewNetworkBlocks = {
    {"Türkei Mobil Turkcell", "0090539"},        {"Türkei Mobil Vodafone", "0090546"},
    {"Türkei Mobil Avea", "0090559"},            {"Deutschland Mobil T-Mobile", "00491511"},
    {"Deutschland Mobil Vodafone", "00491520"}, {"Deutschland Mobil E-Plus", "00491577"},
    {"Deutschland Mobil O2", "00491590"},
};
// International destinations the supplier no longer carries.
const std::set<std::string> kDroppedByList = {"Kuba", "Kuba Mobil", "Iridium", "Jemen Mobil"};
// National numbers the list lacks; the tariff keeps them.
const std::set<std::string> kNationalNotListed = {"München", "Würzburg", "Deutschland Persönliche Rufnummer",
                                                  "Auskunft 11880"};
// New in the list only.
const std::set<std::string> kNotInTariff = {"Sperr-Notruf 116116"};

struct SampleRow {
    std::string prefix; // list form
    std::string name;
    double rate;
};

// Sub-destinations the list adds below a destination of the tariff, each at
// its parent's price unless a rate factor is given.
struct SubDestination {
    std::string parent;
    std::string name;
    std::vector<std::string> prefixes;
    double rateFactor = 1.0;
};

const std::vector<SubDestination> kSubDestinations = {
    {"Österreich Mobil", "Österreich Mobil A1", {"00436640", "00436641", "00436642"}},
    {"Österreich Mobil", "Österreich Mobil Orange", {"0043699"}, 1.18},
    {"Schweiz Mobil", "Schweiz Mobil Swisscom", {"004179"}},
    {"Polen Mobil", "Polen Mobil Play", {"004879"}},
    {"Türkei", "Türkei Istanbul", {"0090212", "0090216"}},
    {"Türkei", "Türkei Antalya", {"0090242"}, 0.92},
    {"Polen", "Polen Warschau", {"004822"}},
    {"Ägypten", "Ägypten Kairo", {"00202"}},
    {"Russland", "Russland Moskau", {"007495"}, 0.9},
};

const std::vector<SampleRow> kNewDestinations = {
    {"00211", "Südsudan", 0.2850},     {"0021191", "Südsudan Mobil", 0.3150},
    {"00299", "Grönland", 0.4450},     {"00975", "Bhutan", 0.1650},
    {"0097517", "Bhutan Mobil", 0.1750}, {"00298", "Färöer", 0.0950},
    {"00670", "Osttimor", 0.9850},
};

struct Sample {
    std::vector<TariffRow> tariff;
    std::vector<SampleRow> list;
};

std::string TariffName(const std::string &catalogName)
{
    return catalogName.rfind("Deutschland Mobil", 0) == 0 ? "Deutschland Mobil" : catalogName;
}

// The old tariff: every country with its fixed network and a few mobile
// prefixes, then the German national numbers.
std::vector<SampleRow> OldDestinationRows(SplitMix64 &random)
{
    std::vector<SampleRow> rows;
    std::map<std::string, double> rates; // one purchase price per name
    auto add = [&](const std::string &prefix, const std::string &name, double catalogRate) {
        auto [it, added] = rates.emplace(name, RoundToUnits(catalogRate * random.Uniform(0.95, 1.08)));
        rows.push_back({prefix, name, it->second});
    };
    for (const Country &country : Countries()) {
        add("00" + country.countryCode, country.name, country.fixedRate);
        std::vector<std::string> mobile = country.mobilePrefixes;
        if (!kSplitIntoNetworks.count(country.name + " Mobil") && mobile.size() > kMobilePrefixesInTariff)
            mobile.resize(kMobilePrefixesInTariff);
        for (const std::string &prefix : mobile)
            add("00" + country.countryCode + prefix, country.name + " Mobil", country.mobileRate);
    }
    for (const NationalDestination &national : NationalDestinations()) {
        if (kNotInTariff.count(national.name))
            continue;
        for (const std::string &number : national.numbers)
            add(ToListForm(number), TariffName(national.name), national.rate);
    }
    // USA and Kanada share the code 1: the tariff has it once.
    std::set<std::string> seen;
    std::erase_if(rows, [&](const SampleRow &row) { return !seen.insert(row.prefix).second; });
    return rows;
}

TariffRow ToTariffRow(const SampleRow &row, std::size_t index)
{
    TariffRow tariff;
    tariff.number = ToTariffForm(row.prefix);
    tariff.name = row.name;
    tariff.rateEk = row.rate;
    if (const auto hand = kHandSetPrices.find(row.name); hand != kHandSetPrices.end()) {
        tariff.priceEur = hand->second;
        tariff.isEdited = true;
    } else if (!kWithoutSellingPrice.count(row.name)) {
        tariff.priceEur = DefaultSellingPrice(row.rate);
        if (row.name == kUnevenlyPriced)
            *tariff.priceEur += 0.01 * static_cast<double>(index % 3);
    }
    if (row.name.rfind("Deutschland Service", 0) == 0 || row.name.rfind("Auskunft", 0) == 0)
        tariff.profile = "Service";
    if (row.name.find(" Mobil") != std::string::npos)
        tariff.graceTime = 3;
    return tariff;
}

// The supplier's new price per destination name: a quarter unchanged, the
// rest moved by up to 15 % either way.
double NewRate(const std::string &name, double oldRate, SplitMix64 &random, std::map<std::string, double> &rates)
{
    if (const auto it = rates.find(name); it != rates.end())
        return it->second;
    const double rate = random.Chance(0.25) ? oldRate : RoundToUnits(oldRate * random.Uniform(0.85, 1.12));
    rates.emplace(name, rate);
    return rate;
}

// The network a prefix of a split destination belongs to now.
std::string NetworkName(const std::string &prefix, const std::string &oldName)
{
    for (const Country &country : Countries()) {
        if (oldName != country.name + " Mobil")
            continue;
        for (const Operator &op : country.operators) {
            for (const std::string &owned : op.prefixes) {
                if (prefix == "00" + country.countryCode + owned)
                    return oldName + " " + op.name;
            }
        }
    }
    for (const NationalDestination &national : NationalDestinations()) {
        for (const std::string &number : national.numbers) {
            if (ToListForm(number) == prefix)
                return national.name;
        }
    }
    return oldName;
}

std::vector<SampleRow> NewListRows(const std::vector<SampleRow> &old, SplitMix64 &random)
{
    std::vector<SampleRow> list;
    std::map<std::string, double> rates;
    for (const SampleRow &row : old) {
        const bool national = row.prefix.rfind("0049", 0) == 0 || row.prefix.rfind("0111", 0) == 0;
        if (kDroppedByList.count(row.name) || (national && kNationalNotListed.count(row.name)))
            continue;
        std::string name = row.name;
        if (const auto renamed = kRenamed.find(name); renamed != kRenamed.end())
            name = renamed->second;
        if (kSplitIntoNetworks.count(name))
            name = NetworkName(row.prefix, name);
        list.push_back({row.prefix, name, NewRate(name, row.rate, random, rates)});
    }
    for (const auto &[name, prefix] : kNewNetworkBlocks)
        list.push_back({prefix, name, rates.at(name)});
    for (const SubDestination &sub : kSubDestinations) {
        const double rate = RoundToUnits(rates.at(sub.parent) * sub.rateFactor);
        for (const std::string &prefix : sub.prefixes)
            list.push_back({prefix, sub.name, rate});
    }
    for (const NationalDestination &national : NationalDestinations()) {
        if (kNotInTariff.count(national.name))
            list.push_back({ToListForm(national.numbers.front()), national.name, national.rate});
    }
    list.insert(list.end(), kNewDestinations.begin(), kNewDestinations.end());
    return list;
}

// Sorted by name as a German reader expects (Ä with A), then by prefix.
std::string SortKey(const std::string &name)
{
    static const std::pair<const char *, const char *> kFolds[] = {
        {"Ä", "A"}, {"Ö", "O"}, {"Ü", "U"}, {"ä", "a"}, {"ö", "o"}, {"ü", "u"}, {"ß", "ss"}, {"é", "e"}, {"ã", "a"},
    };
    std::string key = name;
    for (const auto &[from, to] : kFolds) {
        for (std::size_t at = key.find(from); at != std::string::npos; at = key.find(from, at))
            key.replace(at, std::strlen(from), to);
    }
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    return key;
}

Sample MakeSample()
{
    SplitMix64 random(kSampleSeed);
    Sample sample;
    const std::vector<SampleRow> old = OldDestinationRows(random);
    for (std::size_t i = 0; i < old.size(); ++i)
        sample.tariff.push_back(ToTariffRow(old[i], i));
    sample.list = NewListRows(old, random);
    std::stable_sort(sample.list.begin(), sample.list.end(), [](const SampleRow &a, const SampleRow &b) {
        const std::string ka = SortKey(a.name);
        const std::string kb = SortKey(b.name);
        return ka != kb ? ka < kb : a.prefix < b.prefix;
    });
    return sample;
}

bool WriteList(const std::filesystem::path &path, const std::vector<SampleRow> &rows)
{
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    WriteServerHeader(out, ListIdFromSeed(kSampleSeed), 128, "\r\n");
    for (const SampleRow &row : rows)
        std::fprintf(out, "%s;%s;%s\r\n", row.prefix.c_str(), row.name.c_str(), FormatListPrice(row.rate).c_str());
    const bool ok = std::fflush(out) == 0 && !std::ferror(out);
    std::fclose(out);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::filesystem::path dir;
    bool force = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--force") {
            force = true;
        } else if (arg == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    const std::filesystem::path tariffPath = dir / "Numbers.mdb";
    const std::filesystem::path listPath = dir / "preise.csv";
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (force) {
        std::filesystem::remove(tariffPath);
        std::filesystem::remove(listPath);
    }

    const Sample sample = MakeSample();
    TariffWriter writer;
    if (!writer.Create(tariffPath.string()))
        return 1;
    for (const TariffRow &row : sample.tariff) {
        if (!writer.Add(row))
            return 1;
    }
    if (!writer.Finish() || !WriteList(listPath, sample.list))
        return 1;
    std::printf("%s: %zu Zeilen\n%s: %zu Datenzeilen\n", tariffPath.c_str(), sample.tariff.size(), listPath.c_str(),
                sample.list.size());
    return 0;
}
