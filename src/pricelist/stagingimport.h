#pragma once

#include "common/stageresult.h"
#include "pricelist/pricelistfile.h"

#include <QString>

#include <optional>

namespace preisliste {

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

// Reads the price list at `path` into Import2, inside the run's transaction;
// the lines it skips go to kSkippedLinesTable. Fails when the file is
// rejected or the database refuses a row, and stops when the operator asks
// to; the caller then rolls back.
StageResult ImportPriceListFile(const QString &path, RunContext &context);

} // namespace preisliste
