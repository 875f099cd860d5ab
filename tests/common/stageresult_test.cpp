#include "common/stageresult.h"

#include "support/testsupport.h"

#include <stdexcept>

namespace preisliste {
namespace {

using test::RecordingMessages;

// What the operator sees of each kind of result, in order.
TEST(TellOperator, ShowsEachResultAsTheOperatorKnowsIt)
{
    struct Case {
        const char *name;
        StageResult result;
        QStringList texts;
        MessageIcon icon;
    };
    const Case cases[] = {
        {"done", StageResult::Done(), {}, MessageIcon::Information},
        {"done with a notice", StageResult::Done(StageNotice{"Neuberechnung", "2 of 3 records updated."}),
         {"2 of 3 records updated."}, MessageIcon::Information},
        {"stopped", StageResult::Stopped(), {}, MessageIcon::Information},
        {"error", StageResult::Failed("database is locked"), {"Fehler: database is locked"}, MessageIcon::Error},
        {"wrong file", StageResult::Failed("Die Datei ist keine Preisliste.", FailureKind::WrongFile),
         {"Falsche Datei", "Fehler: Die Datei ist keine Preisliste."}, MessageIcon::Error},
        {"sentence", StageResult::Failed("Die Preisliste enthält keine gültigen Einträge.", FailureKind::Sentence),
         {"Die Preisliste enthält keine gültigen Einträge."}, MessageIcon::Error},
        {"exception with its row", StageResult::FromException(std::overflow_error("zu groß"), "Vorwahl 0043"),
         {"Fehler: zu groß (Vorwahl 0043)"}, MessageIcon::Error},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingMessages messages;
        TellOperator(c.result, messages);
        EXPECT_EQ(messages.Texts(), c.texts);
        for (const auto &message : messages.messages)
            EXPECT_EQ(message.icon, c.icon);
    }
}

} // namespace
} // namespace preisliste
