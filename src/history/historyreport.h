#pragma once

#include "history/updatehistory.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>

namespace preisliste {

// "gespeichert", "fehlgeschlagen: <Grund>", "Probelauf: abgelehnt: <Grund>", ...
QString OutcomeText(const HistoryRecord &record);

// The records as a table with German headings, one line per update, in the
// order given; numbers and times in `locale`.
QString HistoryTable(const QList<HistoryRecord> &records, const QLocale &locale);

// The records with every field, as CSV for German spreadsheets like the
// change report: UTF-8 with BOM, ";" between fields, CR LF line ends, decimal
// commas, and no text that a spreadsheet would run as a formula.
QByteArray HistoryCsv(const QList<HistoryRecord> &records);

} // namespace preisliste
