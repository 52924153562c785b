#include "Update/ArchiveSignature.h"

#include "Update/PrivateFolder.h"

#include <QFile>
#include <QHostAddress>

#include <sodium.h>

QByteArray ArchiveSignature::productionKey()
{
    // A build setting (QUORVELLA_UPDATE_PUBLIC_KEY), checked to be 64 hex digits.
    return QByteArray::fromHex(QUORVELLA_UPDATE_PUBLIC_KEY);
}

QByteArray ArchiveSignature::sandboxKey()
{
    return QByteArray::fromHex("68c6f659269737f11c821b586edabc48726d76fd674e59f24f34d04c77828b8b");
}

bool ArchiveSignature::isSandbox(const QUrl &downloadHost)
{
    const QString host = downloadHost.host();
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

QByteArray ArchiveSignature::keyFor(const QUrl &downloadHost)
{
    return isSandbox(downloadHost) ? sandboxKey() : productionKey();
}

bool ArchiveSignature::verify(const QString &archivePath, const QByteArray &signature,
                              const QByteArray &publicKey)
{
    if (sodium_init() < 0 || signature.size() != crypto_sign_BYTES ||
        publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0 ||
        file.size() > PrivateFolder::maxArchiveBytes)
        return false;
    // Mapped, not read: the pages come and go as the check walks through them, so memory
    // stays bounded whatever the size.
    const uchar *content = file.map(0, file.size());
    return content && crypto_sign_verify_detached(
                          reinterpret_cast<const unsigned char *>(signature.constData()), content,
                          static_cast<unsigned long long>(file.size()),
                          reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}
