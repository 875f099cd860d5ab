#pragma once

#include <QString>

QT_BEGIN_NAMESPACE
class QCommandLineParser;
class QLocale;
QT_END_NAMESPACE

namespace preisliste {

class PricingRule;

// The options of `preisliste update` that set the pricing rule the way the
// window's rule fields and switches do.
void AddRuleOptions(QCommandLineParser &parser);

// `rule` comes in as created from the settings and leaves as the window's
// rule would be after start-up and the same entries: markup mode, no floors,
// "...auf alle Einträge." unless --apply-to names criteria, and then exactly
// those. Percentages and amounts are read in `locale`. A value the window
// would not accept, or a combination of switches it does not allow, returns
// false with a German message naming the option in `error`.
bool ApplyRuleOptions(const QCommandLineParser &parser, const QLocale &locale, PricingRule &rule, QString &error);

// The lines of `preisliste update --help` describing these options.
QString RuleOptionsUsage();

} // namespace preisliste
