#include "run/listchange.h"

#include "history/updatehistory.h"
#include "pricelist/pricelistdownload.h"

namespace preisliste {

namespace {

template <typename Same>
ListNews Compare(const QString &databasePath, QString &error, Same &&same)
{
    const std::optional<HistoryRecord> last = LastAppliedList(databasePath, error);
    if (!error.isEmpty())
        return ListNews::Unknown;
    return last && same(*last) ? ListNews::AppliedLast : ListNews::New;
}

} // namespace

ListNews CompareWithLastApplied(const QString &databasePath, const QString &listId, qint32 sequence,
                                      QString &error)
{
    return Compare(databasePath, error, [&](const HistoryRecord &last) {
        return IsSameDownloadedList(last, PriceListServer().toString(), listId, sequence);
    });
}

ListNews CompareFileWithLastApplied(const QString &databasePath, const QString &sha256, QString &error)
{
    return Compare(databasePath, error,
                   [&](const HistoryRecord &last) { return !sha256.isEmpty() && last.sha256 == sha256; });
}

} // namespace preisliste
