// Feeds arbitrary bytes to the header check of a downloaded price list and to
// the reading of its "Effective" date. Nothing may crash or hang.
#include "pricelist/pricelistdownload.h"

#include <QBuffer>

#include <cstdint>

using namespace preisliste;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer answer(&bytes);
    answer.open(QIODevice::ReadOnly);
    PriceListDownload download;
    if (download.CheckHeader(answer) && !download.EffectiveDate().isValid())
        __builtin_trap(); // an accepted header always leaves a usable date
    (void)ParseEffectiveDate(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(std::min<std::size_t>(size, 64))));
    return 0;
}
