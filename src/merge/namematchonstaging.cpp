#include "merge/namematchonstaging.h"

#include "db/sqliteextensions.h"
#include "merge/mergestatements.h"

#include <utility>

namespace preisliste {

namespace {

constexpr int kStateNameMatch = 1;

} // namespace

NameMatchOnStaging::NameMatchOnStaging(const SqliteConnection &connection)
    : lookup_(connection.Prepare(mergesql::LookUpBestName()))
{
}

bool NameMatchOnStaging::Bind(SqliteStatement &insert, std::optional<QByteArrayView> name)
{
    // A row without a name matches none, as in the merge's own name match.
    const Match none;
    const Match *match = &none;
    if (name) {
        // Looked up without a copy of the name.
        auto known = recent_.find(QByteArray::fromRawData(name->data(), name->size()));
        if (known == recent_.end()) {
            Match looked;
            if (!LookUp(*name, looked))
                return false;
            if (recent_.size() >= kNamesRemembered)
                recent_.clear();
            known = recent_.emplace(name->toByteArray(), std::move(looked)).first;
        }
        match = &known->second;
    }
    insert.BindValue(4, match->price);
    insert.BindValue(5, match->oldName);
    if (match->found) {
        insert.BindInt(6, kStateNameMatch);
        ++matchedRows_;
        matchesLackPrices_ = matchesLackPrices_ || match->price.IsNull();
    } else {
        insert.BindNull(6);
    }
    return true;
}

bool NameMatchOnStaging::LookUp(QByteArrayView name, Match &match)
{
    lookup_.BindText(1, CaseKey(name));
    match.found = lookup_.Next();
    if (match.found) {
        match.price = lookup_.Value(0);
        match.oldName = lookup_.Value(1);
        // A copy is missing only when memory ran out; binding Null instead
        // would lose the operator's price.
        if (!match.price.IsValid() || !match.oldName.IsValid())
            error_ = QStringLiteral("Nicht genug Arbeitsspeicher für den Namensabgleich.");
    }
    lookup_.Reset();
    return !lookup_.Failed() && error_.isEmpty();
}

} // namespace preisliste
