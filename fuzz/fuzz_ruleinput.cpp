// Feeds arbitrary text to the readers of the rule fields, in the German and
// the C locale, and checks that what they accept reads back from its own
// display.
#include "common/localeformat.h"

#include <cstdint>

using namespace preisliste;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    static const QLocale locales[] = {QLocale(QLocale::German, QLocale::Germany), QLocale::c()};
    for (const QLocale &locale : locales) {
        if (const auto percent = ParsePercent(text, locale))
            (void)FormatPercent(*percent, locale);
        if (const auto amount = ParseCurrency(text, locale)) {
            const QString shown = FormatCurrency(*amount, locale, 4);
            if (ParseCurrency(shown, locale) != amount)
                __builtin_trap(); // a displayed amount must read back unchanged
            (void)FormatRoundUp(*amount, locale);
        }
    }
    return 0;
}
