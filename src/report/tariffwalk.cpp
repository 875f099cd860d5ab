#include "report/tariffwalk.h"

#include "common/handover.h"
#include "common/workerthread.h"
#include "db/sqliteconnection.h"

#include <cstring>
#include <utility>
#include <vector>

namespace preisliste {

namespace {

void CopyInto(QByteArray &target, QByteArrayView bytes)
{
    target.resize(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(target.data(), bytes.data(), size_t(bytes.size()));
}

// The rows as the engine returns them, one step per row.
class StatementRows : public WalkRowSource {
public:
    bool Open(const TariffState &state)
    {
        // Number has text affinity, so every prefix is stored as text and
        // sorts in the byte order the walk compares in; a row without one
        // sorts first and counts as the empty prefix.
        return rows_.Prepare(*state.connection, QStringLiteral("SELECT Number, Name, Price_EUR, Rate_EK FROM %1 ORDER BY %2")
                                                    .arg(state.table, state.sortedByPrefix ? QStringLiteral("rowid")
                                                                                           : QStringLiteral("Number, rowid")));
    }
    bool Read(WalkRow &row) override
    {
        if (!rows_.Next())
            return false;
        CopyInto(row.prefix, rows_.Utf8(0));
        row.hasName = !rows_.IsNull(1);
        CopyInto(row.name, rows_.Utf8(1));
        row.price = rows_.Price(2);
        row.purchase = rows_.Price(3);
        return true;
    }
    bool Failed() const override { return rows_.Failed(); }
    QString Error() const override { return rows_.Error(); }

private:
    SqliteStatement rows_;
};

// A number of rows packed into one buffer: the texts one after the other,
// so that handing rows over costs one allocation per batch, not per row.
struct RowBatch {
    struct Row {
        qsizetype prefixEnd; // in `texts`, where the row's name starts
        qsizetype nameEnd;
        bool hasName;
        std::optional<double> price;
        std::optional<double> purchase;
    };
    QByteArray texts;
    std::vector<Row> rows;
};

// The rows read on a thread of their own, a bounded number ahead.
class RowsReadAhead : public WalkRowSource {
public:
    explicit RowsReadAhead(std::unique_ptr<StatementRows> rows) : rows_(std::move(rows)) {}
    ~RowsReadAhead() override { batches_.Abandon(); }

    bool Read(WalkRow &row) override
    {
        while (next_ == batch_.rows.size()) {
            std::optional<RowBatch> batch = batches_.Take();
            if (!batch) {
                reading_.Join(); // raises a failure of the reading thread here
                return false;
            }
            batch_ = std::move(*batch);
            next_ = 0;
            textAt_ = 0;
        }
        const RowBatch::Row &packed = batch_.rows[next_++];
        const QByteArrayView texts(batch_.texts);
        CopyInto(row.prefix, texts.sliced(textAt_, packed.prefixEnd - textAt_));
        CopyInto(row.name, texts.sliced(packed.prefixEnd, packed.nameEnd - packed.prefixEnd));
        textAt_ = packed.nameEnd;
        row.hasName = packed.hasName;
        row.price = packed.price;
        row.purchase = packed.purchase;
        return true;
    }
    // Both are read only once Read() has answered false: the reading
    // thread has finished then.
    bool Failed() const override { return rows_->Failed(); }
    QString Error() const override { return rows_->Error(); }

private:
    static constexpr std::size_t kRowsPerBatch = 1024;
    static constexpr std::size_t kBatchesAhead = 16;

    void ReadBatches()
    {
        RowBatch batch;
        WalkRow row;
        while (rows_->Read(row)) {
            batch.texts += row.prefix;
            const qsizetype prefixEnd = batch.texts.size();
            batch.texts += row.name;
            batch.rows.push_back({prefixEnd, batch.texts.size(), row.hasName, row.price, row.purchase});
            if (batch.rows.size() == kRowsPerBatch && !batches_.Put(std::exchange(batch, {})))
                return; // the walk ended early
        }
        if (!batch.rows.empty())
            batches_.Put(std::move(batch));
    }

    std::unique_ptr<StatementRows> rows_;
    Handover<RowBatch> batches_{kBatchesAhead};
    RowBatch batch_;
    std::size_t next_ = 0;
    qsizetype textAt_ = 0;
    WorkerThread reading_{[this] { ReadBatches(); }, [this] { batches_.Finish(); }};
};

} // namespace

bool TariffWalk::Open(const TariffState &state, bool readAhead)
{
    auto rows = std::make_unique<StatementRows>();
    const bool prepared = rows->Open(state);
    if (prepared && readAhead)
        source_ = std::make_unique<RowsReadAhead>(std::move(rows));
    else
        source_ = std::move(rows);
    if (!prepared)
        return false;
    Step();
    return hasRow_ || !Failed();
}

qint64 TariffWalk::TakePrefix(WalkRow &row)
{
    std::swap(row, current_);
    qint64 count = 1;
    for (Step(); hasRow_ && current_.prefix == row.prefix; Step())
        ++count;
    return count;
}

} // namespace preisliste
