#include "Update/ArchiveSignature.h"

#include "Update/PrivateFolder.h"

#include <QFile>

#include <sodium.h>

#include <algorithm>

QByteArray ArchiveSignature::productionKey()
{
    // A build setting (QUORVELLA_UPDATE_PUBLIC_KEY), checked to be 64 hex digits.
    return QByteArray::fromHex(QUORVELLA_UPDATE_PUBLIC_KEY);
}

QList<QByteArray> ArchiveSignature::trustedKeys()
{
#ifdef QUORVELLA_TEST_TRUST
    // The sandbox's key: its signing seed is in the repository, so a release never has it.
    return {productionKey(), QByteArray::fromHex("68c6f659269737f11c821b586edabc48726d76fd674e59f"
                                                 "24f34d04c77828b8b")};
#else
    return {productionKey()};
#endif
}

bool ArchiveSignature::verifyBytes(const QByteArray &bytes, const QByteArray &signature)
{
    if (sodium_init() < 0 || signature.size() != crypto_sign_BYTES)
        return false;
    const QList<QByteArray> keys = trustedKeys();
    return std::any_of(keys.begin(), keys.end(), [&](const QByteArray &key) {
        return key.size() == crypto_sign_PUBLICKEYBYTES &&
               crypto_sign_verify_detached(
                   reinterpret_cast<const unsigned char *>(signature.constData()),
                   reinterpret_cast<const unsigned char *>(bytes.constData()),
                   static_cast<unsigned long long>(bytes.size()),
                   reinterpret_cast<const unsigned char *>(key.constData())) == 0;
    });
}

QByteArray ArchiveSignature::sha256(const QString &path)
{
    QFile file(path);
    if (sodium_init() < 0 || !file.open(QIODevice::ReadOnly))
        return {};
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (qint64 read; (read = file.read(chunk.data(), chunk.size())) > 0;)
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char *>(chunk.data()),
                                  static_cast<unsigned long long>(read));
    if (!file.atEnd())
        return {};
    QByteArray digest(crypto_hash_sha256_BYTES, Qt::Uninitialized);
    crypto_hash_sha256_final(&state, reinterpret_cast<unsigned char *>(digest.data()));
    return digest.toHex();
}

bool ArchiveSignature::verify(const QString &archivePath, const QByteArray &signature)
{
    const QList<QByteArray> keys = trustedKeys();
    return std::any_of(keys.begin(), keys.end(),
                       [&](const QByteArray &key) { return verify(archivePath, signature, key); });
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
