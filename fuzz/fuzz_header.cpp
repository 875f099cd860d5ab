// Feeds arbitrary bytes to the header check of a downloaded price list and to
// the reading of its "Effective" date. Nothing may crash or hang.
#include "pricelist/downloadlist.h"

#include "fuzzinput.h"

#include <cstdint>

using namespace preisliste;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = WriteFuzzInput(data, size, QStringLiteral("answer.kvt"));
    if (path.isEmpty())
        return 0;
    CDownloadList download;
    download.SetTempFileName(path);
    if (download.CheckHeader() && !download.EffectiveDate().isValid())
        __builtin_trap(); // an accepted header always leaves a usable date
    (void)ParseEffectiveDate(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(std::min<std::size_t>(size, 64))));
    return 0;
}
