#pragma once

#include <QString>

namespace preisliste {

struct RunContext;

// The staging table, created anew by every import.
inline const QString kCreateImport2Statement = QStringLiteral(
    "CREATE TABLE Import2 (Vorwahl VARCHAR(255), Ziel VARCHAR(255), PreisEk CURRENCY, "
    "ImportState INTEGER, OldName VARCHAR(255), VkPreis CURRENCY, IsEdited BIT);");

// Reads the price list at `path` into Import2, inside the run's transaction.
// Returns false when the file is rejected, the database refuses a row, or the
// operator stops the run; the caller then rolls back.
bool ImportPriceListFile(const QString &path, RunContext &context);

} // namespace preisliste
