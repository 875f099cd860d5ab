#include "pricelist/listidentity.h"

#include "pricelist/pricelistheader.h"

#include <QCryptographicHash>
#include <QFile>

namespace preisliste {

PriceListIdentity IdentifyPriceList(const QString &path)
{
    PriceListIdentity identity;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return identity;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return identity;
    identity.sha256 = QString::fromLatin1(hash.result().toHex());
    if (!file.seek(0))
        return identity;
    const PriceListHeader header = ReadPriceListHeader(file);
    identity.listId = header.listId.value_or(QString());
    identity.sequence = header.sequence;
    identity.effective = header.effective;
    return identity;
}

bool TakesEffectLater(const std::optional<QDateTime> &effective, const QDateTime &now)
{
    return effective && effective->isValid() && *effective > now;
}

} // namespace preisliste
