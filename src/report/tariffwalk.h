#pragma once

#include "db/sqlitestatement.h"
#include "report/changereport.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace preisliste {

// One row of a tariff in the report's walk; the buffers are reused from row
// to row.
struct WalkRow {
    QByteArray prefix;
    QByteArray name;
    bool hasName = false;
    std::optional<double> price;
    std::optional<double> purchase;
};

// Where the walk's rows come from, in the order of their prefixes.
class WalkRowSource {
public:
    virtual ~WalkRowSource() = default;
    // False at the end and after an error.
    virtual bool Read(WalkRow &row) = 0;
    virtual bool Failed() const = 0;
    virtual QString Error() const = 0;
};

// The rows of one tariff sorted by prefix, handed out one prefix at a time.
class TariffWalk {
public:
    // `readAhead`: the rows are read on a thread of their own, while the
    // caller works on the rows read before. Only for a tariff on a
    // connection that nothing else uses during the walk.
    bool Open(const TariffState &state, bool readAhead = false);
    bool HasRow() const { return hasRow_; }
    const QByteArray &Prefix() const { return current_.prefix; }
    // Asked once the walk has no row left, or Open() has failed.
    bool Failed() const { return source_ && source_->Failed(); }
    QString Error() const { return source_ ? source_->Error() : QString(); }

    // Moves the first row of the current prefix into `row` and skips the
    // prefix's other rows; returns how many rows the prefix has.
    qint64 TakePrefix(WalkRow &row);

private:
    void Step() { hasRow_ = source_->Read(current_); }

    std::unique_ptr<WalkRowSource> source_;
    WalkRow current_;
    bool hasRow_ = false;
};

} // namespace preisliste
