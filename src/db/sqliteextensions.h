#pragma once

struct sqlite3;

namespace preisliste {

// The collation that compares text without regard to letter case for every
// letter, umlauts included (Österreich = ÖSTERREICH). SQLite's own NOCASE
// folds only A-Z.
inline constexpr char kCaseInsensitiveCollation[] = "UNICODE_CI";

// Registers on one SQLite connection what the stages need from the engine:
// the function IsNumeric(x) and the collation above. Returns false when the
// engine refused a registration.
bool RegisterSqliteExtensions(sqlite3 *handle);

// The comparison behind the collation, for code that orders names itself.
int CompareCaseInsensitive(const char *a, int aLength, const char *b, int bLength);

} // namespace preisliste
