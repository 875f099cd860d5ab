#include "common/stageresult.h"

#include "common/runsinks.h"

namespace preisliste {

StageResult StageResult::FromException(const std::exception &error, const QString &where)
{
    QString reason = QString::fromUtf8(error.what());
    if (!where.isEmpty())
        reason += QStringLiteral(" (%1)").arg(where);
    return Failed(reason);
}

void TellOperator(const StageResult &result, MessageSink &messages)
{
    if (result.notice)
        messages.ShowMessage(MessageIcon::Information, result.notice->title, result.notice->text);
    if (!result.IsFailed())
        return;
    switch (result.kind) {
    case FailureKind::WrongFile:
        messages.ShowError(QStringLiteral("Falsche Datei"));
        [[fallthrough]];
    case FailureKind::Error:
        messages.ShowError(QStringLiteral("Fehler: ") + result.reason);
        break;
    case FailureKind::Sentence:
        messages.ShowError(result.reason);
        break;
    }
}

} // namespace preisliste
