#include "benchsupport.h"

#include "destinationcatalog.h"

#include "db/tariffdatabase.h"

#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <set>

namespace preisliste::bench {

std::uint64_t SplitMix64::Next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double SplitMix64::Uniform(double low, double high)
{
    return low + (high - low) * static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

namespace {

// Networks of one country are priced a little apart from each other.
constexpr double kOperatorRateFactors[] = {0.96, 1.03, 1.08, 0.98, 1.05};
// A city's own prefix is usually a touch cheaper than the whole country.
constexpr double kCityRateFactor = 0.92;

// A country that shares its code with an earlier one (Kanada with the USA)
// has only its own area codes.
void AddCountry(const Country &country, bool sharedCode, std::vector<ListDestination> &out)
{
    const std::string code = "00" + country.countryCode;
    if (!sharedCode)
        out.push_back({country.name, {code}, country.fixedRate});
    for (const City &city : country.cities)
        out.push_back({country.name + " " + city.name, {code + city.areaCode}, country.fixedRate * kCityRateFactor});

    std::set<std::string> ownedByOperators;
    for (const Operator &op : country.operators)
        ownedByOperators.insert(op.prefixes.begin(), op.prefixes.end());
    ListDestination mobile{country.name + " Mobil", {}, country.mobileRate};
    for (const std::string &prefix : country.mobilePrefixes) {
        if (!ownedByOperators.count(prefix))
            mobile.prefixes.push_back(code + prefix);
    }
    if (!mobile.prefixes.empty())
        out.push_back(mobile);
    for (std::size_t i = 0; i < country.operators.size(); ++i) {
        const Operator &op = country.operators[i];
        ListDestination network{country.name + " Mobil " + op.name, {}, 0};
        network.rate = country.mobileRate * kOperatorRateFactors[i % std::size(kOperatorRateFactors)];
        for (const std::string &prefix : op.prefixes)
            network.prefixes.push_back(code + prefix);
        out.push_back(network);
    }
}

} // namespace

std::vector<ListDestination> CatalogDestinations()
{
    std::vector<ListDestination> destinations;
    std::set<std::string> countryCodes;
    for (const Country &country : Countries())
        AddCountry(country, !countryCodes.insert(country.countryCode).second, destinations);
    for (const NationalDestination &national : NationalDestinations()) {
        ListDestination destination{national.name, {}, national.rate};
        for (const std::string &number : national.numbers)
            destination.prefixes.push_back(ToListForm(number));
        // Short numbers such as 110 have no longer numbers below them.
        destination.extensible = national.numbers.front().front() == '0';
        destinations.push_back(destination);
    }
    return destinations;
}

std::string ToListForm(const std::string &tariffNumber)
{
    if (tariffNumber.rfind("00", 0) == 0)
        return tariffNumber;
    if (tariffNumber.rfind('0', 0) == 0)
        return "0049" + tariffNumber.substr(1);
    return "0111" + tariffNumber;
}

std::string ToTariffForm(const std::string &listPrefix)
{
    if (listPrefix.rfind("0049", 0) == 0)
        return "0" + listPrefix.substr(4);
    if (listPrefix.rfind("0111", 0) == 0)
        return listPrefix.substr(4);
    return listPrefix;
}

double RoundToUnits(double euros)
{
    return std::nearbyint(euros * 10000.0) / 10000.0;
}

std::string FormatListPrice(double euros)
{
    const auto units = static_cast<std::int64_t>(std::llround(euros * 10000.0));
    char text[40];
    std::snprintf(text, sizeof text, "%" PRId64 ",%04" PRId64, units / 10000, units % 10000);
    return text;
}

double DefaultSellingPrice(double netRate)
{
    // In whole 1/10000 euro first, so that 0.0125 * 1.904 is not taken to the
    // next cent by a representation error.
    const std::int64_t units = std::llround(netRate * 10000.0);
    const std::int64_t scaled = units * 1904; // 1/10000 euro times 1000
    const std::int64_t cents = (scaled + 100 * 1000 - 1) / (100 * 1000);
    return static_cast<double>(cents) / 100.0;
}

void WriteServerHeader(std::FILE *out, const std::string &listId, int sequence, const char *lineEnd)
{
    std::fprintf(out, "#kvtpricelist%sList-ID: %s%sList-Sequence: %d%sEffective: 01.03.2011 00:00%s%s", lineEnd,
                 listId.c_str(), lineEnd, sequence, lineEnd, lineEnd, lineEnd);
}

std::string ListIdFromSeed(std::uint64_t seed)
{
    SplitMix64 random(seed ^ 0x4B565450ULL);
    const std::uint64_t high = random.Next();
    const std::uint64_t low = random.Next();
    char text[48];
    std::snprintf(text, sizeof text, "{%08" PRIX64 "-%04" PRIX64 "-4%03" PRIX64 "-%04" PRIX64 "-%012" PRIX64 "}",
                  high >> 32, (high >> 16) & 0xFFFF, high & 0xFFF, (low >> 52 & 0x3FFF) | 0x8000,
                  low & std::uint64_t{0xFFFFFFFFFFFF});
    return text;
}

TariffWriter::~TariffWriter()
{
    sqlite3_finalize(insert_);
    sqlite3_close_v2(handle_);
}

bool TariffWriter::Fail(const char *what)
{
    std::fprintf(stderr, "%s: %s\n", what, handle_ ? sqlite3_errmsg(handle_) : "?");
    return false;
}

bool TariffWriter::Create(const std::string &path)
{
    const QString error = CreateTariffDatabase(QString::fromStdString(path));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return false;
    }
    if (sqlite3_open_v2(path.c_str(), &handle_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return Fail("Tarifdatenbank öffnen");
    if (sqlite3_exec(handle_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return Fail("BEGIN");
    const char *sql = "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime, Profile, IsEdited) "
                      "VALUES (?, ?, ?, ?, ?, ?, ?)";
    if (sqlite3_prepare_v2(handle_, sql, -1, &insert_, nullptr) != SQLITE_OK)
        return Fail("INSERT vorbereiten");
    return true;
}

bool TariffWriter::Add(const TariffRow &row)
{
    sqlite3_reset(insert_);
    sqlite3_bind_text(insert_, 1, row.number.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert_, 2, row.name.c_str(), -1, SQLITE_TRANSIENT);
    auto bindPrice = [this](int index, const std::optional<double> &price) {
        if (price)
            sqlite3_bind_double(insert_, index, RoundToUnits(*price));
        else
            sqlite3_bind_null(insert_, index);
    };
    bindPrice(3, row.priceEur);
    bindPrice(4, row.rateEk);
    sqlite3_bind_int(insert_, 5, row.graceTime);
    if (row.profile)
        sqlite3_bind_text(insert_, 6, row.profile->c_str(), -1, SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(insert_, 6);
    sqlite3_bind_int(insert_, 7, row.isEdited ? 1 : 0);
    return sqlite3_step(insert_) == SQLITE_DONE || Fail("INSERT");
}

bool TariffWriter::Finish()
{
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    return sqlite3_exec(handle_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK || Fail("COMMIT");
}

std::optional<std::uint64_t> ParseCount(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t factor = 1;
    std::string digits = text;
    const char unit = static_cast<char>(std::tolower(static_cast<unsigned char>(digits.back())));
    if (unit == 'k' || unit == 'm') {
        factor = unit == 'k' ? 1000 : 1000000;
        digits.pop_back();
    }
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })
        || digits.size() > 12)
        return std::nullopt;
    const std::uint64_t value = std::stoull(digits) * factor;
    if (value == 0)
        return std::nullopt;
    return value;
}

} // namespace preisliste::bench
