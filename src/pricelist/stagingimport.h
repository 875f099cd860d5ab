#pragma once

#include "common/stageresult.h"
#include "pricelist/pricelistfile.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace preisliste {

class SqliteStatement;
struct RunContext;

// The staging table, created anew by every import in the connection's
// temporary schema: the tariff file never holds it.
inline const QString kCreateImport2Statement = QStringLiteral(
    "CREATE TEMP TABLE Import2 (Vorwahl VARCHAR(255), Ziel VARCHAR(255), PreisEk CURRENCY, "
    "ImportState INTEGER, OldName VARCHAR(255), VkPreis CURRENCY, IsEdited BIT);");

// The data lines an import did not take, on the run's connection: the line's
// number in the file (from 1, header included), the line as read and why.
inline const QString kSkippedLinesTable = QStringLiteral("temp.SkippedLines");

// Why a data line cannot become a tariff row, or nothing when it can. A line
// is taken only with a numeric prefix and a purchase price from 0 to below
// 3 € per minute: a line without a usable price could only be sold at 0 or
// below.
std::optional<QString> SkipReason(const QString &line, const PriceListFields &fields);

// Stores one line's prefix, name and purchase price (?1, ?2, ?3) in Import2.
inline const QString kPlainStagingInsert =
    QStringLiteral("INSERT INTO Import2 (Vorwahl, Ziel, PreisEk) VALUES (?1, ?2, ?3)");

// How the import stores the lines it takes: an insert into Import2 that
// takes prefix, name and purchase price as ?1, ?2 and ?3, and what binds its
// further parameters for a line's name (false after an error, described by
// `error`).
struct StagingStatement {
    QString sql = kPlainStagingInsert;
    std::function<bool(SqliteStatement &insert, std::optional<QByteArrayView> name)> bindMore;
    std::function<QString()> error;
};

// Reads the price list at `path` into Import2, inside the run's transaction;
// the lines it skips go to kSkippedLinesTable. Fails when the file is
// rejected or the database refuses a row, and stops when the operator asks
// to; the caller then rolls back.
StageResult ImportPriceListFile(const QString &path, RunContext &context,
                                const StagingStatement &staging = StagingStatement());

} // namespace preisliste
