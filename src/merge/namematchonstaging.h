#pragma once

#include "db/sqliteconnection.h"

#include <QByteArray>
#include <QHashFunctions> // std::hash of QByteArray
#include <QString>

#include <optional>
#include <unordered_map>

namespace preisliste {

// The name match made as the import stores each row, once PrepareNameMatch
// has built tmpBestName: binds the match of the row's name (?4 price, ?5 old
// name, ?6 state) to mergesql::StageRowMatchingItsName(). The values are
// bound exactly as tmpBestName holds them, whatever their type.
//
// Lists give the prefixes of one destination together, so the last names
// looked up are remembered; a bounded number, as a list may have a million
// different names.
class NameMatchOnStaging {
public:
    explicit NameMatchOnStaging(const SqliteConnection &connection);

    bool IsPrepared() const { return !lookup_.Failed(); }
    // False after an error, which Error() describes.
    bool Bind(SqliteStatement &insert, std::optional<QByteArrayView> name);
    const QString &Error() const { return error_.isEmpty() ? lookup_.Error() : error_; }
    // The rows bound with a match so far.
    int MatchedRows() const { return matchedRows_; }
    // Whether one of them got no price: the old name had none, filled in.
    bool MatchesLackPrices() const { return matchesLackPrices_; }

private:
    struct Match {
        bool found = false;
        SqlValue price;
        SqlValue oldName;
    };
    static constexpr size_t kNamesRemembered = 4096;

    bool LookUp(QByteArrayView name, Match &match);

    SqliteStatement lookup_;
    std::unordered_map<QByteArray, Match> recent_; // by the name's bytes as the list has them
    QString error_;
    int matchedRows_ = 0;
    bool matchesLackPrices_ = false;
};

} // namespace preisliste
