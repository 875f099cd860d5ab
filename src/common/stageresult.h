#pragma once

#include <QString>

#include <exception>
#include <optional>

namespace preisliste {

class MessageSink;

// How a failed stage is told to the operator.
enum class FailureKind {
    Error,     // "Fehler: " and the reason
    WrongFile, // "Falsche Datei", then "Fehler: " and the reason
    Sentence,  // the reason alone: it says everything in a sentence of its own
};

// A message a finished stage has for the operator ("Update Info" with the
// merge's statistics, "Neuberechnung" with the recalculation's count).
struct StageNotice {
    QString title;
    QString text;
};

// How one stage of an update ended. A stage shows no message itself: the
// run turns its result into the messages the operator sees (TellOperator).
struct StageResult {
    enum class Status { Done, Stopped, Failed };

    Status status = Status::Done;
    FailureKind kind = FailureKind::Error;
    QString reason; // German, when failed
    std::optional<StageNotice> notice;

    static StageResult Done(std::optional<StageNotice> notice = std::nullopt)
    {
        return {Status::Done, FailureKind::Error, {}, std::move(notice)};
    }
    static StageResult Stopped() { return {Status::Stopped, FailureKind::Error, {}, std::nullopt}; }
    static StageResult Failed(QString reason, FailureKind kind = FailureKind::Error)
    {
        return {Status::Failed, kind, std::move(reason), std::nullopt};
    }
    // What a stage that threw (an amount out of range, a failed allocation)
    // tells; `where` names the row it came from, when known.
    static StageResult FromException(const std::exception &error, const QString &where = {});

    bool IsDone() const { return status == Status::Done; }
    bool IsStopped() const { return status == Status::Stopped; }
    bool IsFailed() const { return status == Status::Failed; }
};

// Shows what `result` has for the operator: the notice of a finished stage,
// the messages of a failed one, nothing for a stopped one.
void TellOperator(const StageResult &result, MessageSink &messages);

} // namespace preisliste
