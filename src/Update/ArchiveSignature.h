#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Detached Ed25519 signatures of the update archives ("<archive>.sig" beside each one on the
// download host). Only archives signed with a key built into the program are installed. Which
// keys those are is decided when the program is built, never by a host name, a configuration
// file or a command-line flag.
class ArchiveSignature
{
public:
    ArchiveSignature() = delete;

    // The key of the published archives.
    [[nodiscard]] static QByteArray productionKey();
    // The release key and, only in a build configured for testing (QUORVELLA_TEST_TRUST), the
    // local sandbox's test key, whose secret half is public.
    [[nodiscard]] static QList<QByteArray> trustedKeys();

    // True only when `signature` is a valid signature of the whole file under one of the
    // trusted keys.
    [[nodiscard]] static bool verify(const QString &archivePath, const QByteArray &signature);
    // True only when `signature` is a valid signature of `bytes` under one of the trusted keys
    // (the update manifest, which is small).
    [[nodiscard]] static bool verifyBytes(const QByteArray &bytes, const QByteArray &signature);
    // The SHA-256 of the whole file, read in chunks; empty when it cannot be read.
    [[nodiscard]] static QByteArray sha256(const QString &path);
    // True only when `signature` is a valid signature of the whole file under `publicKey`.
    [[nodiscard]] static bool verify(const QString &archivePath, const QByteArray &signature,
                                     const QByteArray &publicKey);
};
