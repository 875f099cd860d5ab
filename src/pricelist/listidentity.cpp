#include "pricelist/listidentity.h"

#include "pricelist/pricelistheader.h"

#include <QCryptographicHash>
#include <QFile>

namespace preisliste {

namespace {

// Empty when the file cannot be read to its end.
QString Sha256Of(QFile &file)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

PriceListIdentity IdentifyPriceList(const QString &path, bool withDigest)
{
    PriceListIdentity identity;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return identity;
    if (withDigest) {
        identity.sha256 = Sha256Of(file);
        if (identity.sha256.isEmpty() || !file.seek(0))
            return identity;
    }
    const PriceListHeader header = ReadPriceListHeader(file);
    identity.listId = header.listId.value_or(QString());
    identity.sequence = header.sequence;
    identity.effective = header.effective;
    return identity;
}

FileDigestAside::FileDigestAside(const QString &path)
    : path_(path),
      worker_(
          [this] {
              QFile file(path_);
              if (file.open(QIODevice::ReadOnly))
                  digest_ = Sha256Of(file);
          },
          [] {})
{
}

QString FileDigestAside::Result()
{
    try {
        worker_.Join();
    } catch (const std::exception &) {
        // Out of memory: the digest stays unknown, and the list counts as new
        // to a later run that asks.
        return {};
    }
    return digest_;
}

bool TakesEffectLater(const std::optional<QDateTime> &effective, const QDateTime &now)
{
    return effective && effective->isValid() && *effective > now;
}

} // namespace preisliste
