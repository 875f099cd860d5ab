#pragma once

#include <string>
#include <vector>

namespace preisliste::bench {

// A mobile network with the prefixes it owns, after the country code.
struct Operator {
    std::string name;
    std::vector<std::string> prefixes;
};

// A city with its area code, after the country code.
struct City {
    std::string name;
    std::string areaCode;
};

// One country as a carrier lists it: the country code for the fixed network,
// cities, mobile prefixes and the networks that own some of them. Rates are
// net purchase prices per minute in euros, as wholesale lists had them.
struct Country {
    std::string name;        // German name, as on the lists ("Österreich")
    std::string countryCode; // without the "00"
    double fixedRate;
    double mobileRate;
    std::vector<std::string> mobilePrefixes; // after the country code
    std::vector<Operator> operators;
    std::vector<City> cities;
};

// About a hundred countries with real country codes and mobile prefixes.
// Germany is not among them: its numbers are national in the tariff.
const std::vector<Country> &Countries();

// One destination of the German national network in the tariff's form: the
// number with its leading 0 ("030"), or without one for the short numbers
// ("112"), with the net purchase price per minute.
struct NationalDestination {
    std::string name;
    std::vector<std::string> numbers;
    double rate;
};

const std::vector<NationalDestination> &NationalDestinations();

} // namespace preisliste::bench
