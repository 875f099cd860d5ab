#pragma once

#include <QByteArray>
#include <QByteArrayView>

struct sqlite3;

namespace preisliste {

// The SQL function CaseKey(name): the name with every letter folded to one
// case, umlauts included (Österreich and ÖSTERREICH give the same key), as
// UTF-8; Null stays Null. Two names are the same destination exactly when
// their keys are equal, so a statement folds each name once and then
// compares, groups and indexes the keys byte by byte. SQLite's own NOCASE
// folds only A-Z.
inline constexpr char kCaseKeyFunction[] = "CaseKey";

// Registers on one SQLite connection what the stages need from the engine:
// the functions IsNumeric(x) and CaseKey(x). Returns false when the engine
// refused a registration.
bool RegisterSqliteExtensions(sqlite3 *handle);

// The key CaseKey gives, for code that groups names itself.
QByteArray CaseKey(QByteArrayView utf8Name);

} // namespace preisliste
