#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace preisliste::bench {

// A small generator whose sequence is the same on every platform and standard
// library, so a seed always gives the same file.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    // 0 <= result < bound (bound > 0).
    std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }
    // low <= result < high.
    double Uniform(double low, double high);
    bool Chance(double probability) { return Uniform(0.0, 1.0) < probability; }

    template <typename T>
    void Shuffle(std::vector<T> &items)
    {
        for (std::size_t i = items.size(); i > 1; --i)
            std::swap(items[i - 1], items[Below(i)]);
    }

private:
    std::uint64_t state_;
};

// A destination as the price list names it, with its prefixes in the list's
// form: "00" + country code, "0049" + national number without its 0, "0111"
// + a number that has no leading 0.
struct ListDestination {
    std::string name;
    std::vector<std::string> prefixes;
    double rate = 0; // net purchase price per minute
    bool extensible = true; // longer prefixes below these ones exist
};

// Every destination of the catalog: countries with their cities, mobile
// networks and operators, then the German national ones.
std::vector<ListDestination> CatalogDestinations();

// The price list's form of a tariff number and back: 030 <-> 004930,
// 112 <-> 0111112; international numbers stay as they are.
std::string ToListForm(const std::string &tariffNumber);
std::string ToTariffForm(const std::string &listPrefix);

// A price rounded to 1/10000 euro.
double RoundToUnits(double euros);
// "0,0125": four decimals and a decimal comma, as the lists write prices.
std::string FormatListPrice(double euros);
// The selling price the shop would have set: net purchase price with 19 %
// VAT and 60 % on top, taken up to whole cents.
double DefaultSellingPrice(double netRate);

// The header block of the server form, with its closing blank line.
void WriteServerHeader(std::FILE *out, const std::string &listId, int sequence, const char *lineEnd);

// A list identifier in GUID form, fixed by the seed.
std::string ListIdFromSeed(std::uint64_t seed);

struct TariffRow {
    std::string number;
    std::string name;
    std::optional<double> priceEur;
    std::optional<double> rateEk;
    int graceTime = 0;
    std::optional<std::string> profile;
    bool isEdited = false;
};

// Writes a new tariff database: the Numbers table as the program creates
// it, filled with plain SQLite inserts in one transaction.
class TariffWriter {
public:
    ~TariffWriter();
    // Fails (with a message on stderr) when the file exists.
    bool Create(const std::string &path);
    bool Add(const TariffRow &row);
    bool Finish();

private:
    bool Fail(const char *what);

    sqlite3 *handle_ = nullptr;
    sqlite3_stmt *insert_ = nullptr;
};

// Parses a positive count such as "100000", "100k" or "1M".
std::optional<std::uint64_t> ParseCount(const std::string &text);

} // namespace preisliste::bench
