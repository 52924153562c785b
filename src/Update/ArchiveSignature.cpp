#include "Update/ArchiveSignature.h"

#include <QFile>
#include <QHostAddress>

#include <sodium.h>

QByteArray ArchiveSignature::productionKey()
{
    return QByteArray::fromHex("c9db4f4e72ea2e08949988724cefba8f991e9f58f20a869754ebe400a2b3ff71");
}

QByteArray ArchiveSignature::sandboxKey()
{
    return QByteArray::fromHex("68c6f659269737f11c821b586edabc48726d76fd674e59f24f34d04c77828b8b");
}

QByteArray ArchiveSignature::keyFor(const QUrl &downloadHost)
{
    const QString host = downloadHost.host();
    const bool local = host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
    return local ? sandboxKey() : productionKey();
}

bool ArchiveSignature::verify(const QString &archivePath, const QByteArray &signature,
                              const QByteArray &publicKey)
{
    if (sodium_init() < 0 || signature.size() != crypto_sign_BYTES ||
        publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char *>(signature.constData()),
               reinterpret_cast<const unsigned char *>(content.constData()),
               static_cast<unsigned long long>(content.size()),
               reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}
