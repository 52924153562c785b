// ArchiveSignature as a release builds it (without QUORVELLA_TEST_TRUST): an archive signed
// with the sandbox's key, whose seed anyone can read, is refused whatever the download host.
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "Update/ArchiveSignature.h"

#include <QTest>

#include <sodium.h>

class ReleaseTrustTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheReleaseKeyIsTrusted_data()
    {
        QTest::addColumn<QByteArray>("seed");
        QTest::newRow("the sandbox's key") << QByteArray("quorvella-sandbox-test-key-seed!");
        QTest::newRow("any other key") << QByteArray("some-key-that-nobody-should-use");
    }
    void onlyTheReleaseKeyIsTrusted()
    {
        QFETCH(QByteArray, seed);
        TestEnvironment environment;
        unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
        unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
        QVERIFY(sodium_init() >= 0);
        const QByteArray padded = seed.leftJustified(crypto_sign_SEEDBYTES);
        QCOMPARE(crypto_sign_seed_keypair(publicKey, secretKey,
                                          reinterpret_cast<const unsigned char *>(padded.data())),
                 0);
        const QByteArray archive = QByteArrayLiteral("PK\x05\x06 an archive");
        QByteArray signature(crypto_sign_BYTES, Qt::Uninitialized);
        crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char *>(archive.constData()),
                             archive.size(), secretKey);
        const QString path = environment.root() + QStringLiteral("/Quorvella.zip");
        QVERIFY(writeFile(path, archive));

        const QByteArray key(reinterpret_cast<const char *>(publicKey), sizeof publicKey);
        QVERIFY(ArchiveSignature::verify(path, signature, key)); // a sound signature
        QCOMPARE(ArchiveSignature::trustedKeys(), QList{ArchiveSignature::productionKey()});
        QVERIFY(!ArchiveSignature::verify(path, signature));
    }
};

QTEST_GUILESS_MAIN(ReleaseTrustTest)
#include "tst_releasetrust.moc"
