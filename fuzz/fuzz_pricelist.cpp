// Feeds arbitrary bytes through everything that reads a price list: the
// header reader, the line reader with its encoding detection, the field splitter and the number
// readers. Nothing may crash, hang or read out of bounds.
#include "common/currency.h"
#include "common/numerictext.h"
#include "pricelist/pricelistfile.h"

#include "fuzzinput.h"

#include <cstdint>

using namespace preisliste;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = WriteFuzzInput(data, size, QStringLiteral("preise.csv"));
    if (path.isEmpty())
        return 0;
    PriceListReader reader;
    if (!reader.Open(path))
        return 0;
    const PriceListHeader header = reader.ReadHeader();
    if (header.dataOffset > reader.Size() || header.lineCount < 0)
        __builtin_trap(); // the data lines begin within the list
    qint64 lastPosition = -1;
    while (const auto line = reader.ReadFileLine()) {
        if (reader.Position() <= lastPosition)
            __builtin_trap(); // every line must move the reader on
        lastPosition = reader.Position();
        const PriceListFields fields = ParseCsvLine(*line);
        for (const auto &field : fields) {
            if (!field)
                continue;
            const double number = ReadLeadingNumber(*field);
            (void)Currency::TryFromDouble(number);
            (void)IsNumericText(*field);
            (void)Currency::Parse(*field);
        }
    }
    return 0;
}
