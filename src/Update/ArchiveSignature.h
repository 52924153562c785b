#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Detached Ed25519 signatures of the update archives ("<archive>.sig" beside each one on the
// download host). Only archives signed with the key built into the program are installed.
class ArchiveSignature
{
public:
    ArchiveSignature() = delete;

    // The key of the published archives.
    [[nodiscard]] static QByteArray productionKey();
    // The local sandbox signs with a test key of its own; it is trusted only for a download
    // host on this machine.
    [[nodiscard]] static QByteArray sandboxKey();
    [[nodiscard]] static QByteArray keyFor(const QUrl &downloadHost);
    // Whether the download host is the local sandbox, whose test-only settings are honoured.
    [[nodiscard]] static bool isSandbox(const QUrl &downloadHost);

    // True only when `signature` is a valid signature of the whole file under `publicKey`.
    [[nodiscard]] static bool verify(const QString &archivePath, const QByteArray &signature,
                                     const QByteArray &publicKey);
};
