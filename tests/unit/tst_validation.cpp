#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "LogCapture.h"
#include "TestEnvironment.h"
#include "Utils/Validation.h"

#include <QTest>

using namespace Costants;

class ValidationTest : public QObject
{
    Q_OBJECT

private slots:
    void isValidUrl_data();
    void isValidUrl();
    void isBrandedDomainLink_data();
    void isBrandedDomainLink();
    void domainNamesOfOtherKinds_data();
    void domainNamesOfOtherKinds();
    void hostOf_data();
    void hostOf();
};

void ValidationTest::isValidUrl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("emailLogged");

    QTest::newRow("bare host path") << "example.com/path" << true << false;
    QTest::newRow("bare host") << "example.com" << true << false;
    QTest::newRow("www intranet") << "www.intranet" << true << false;
    QTest::newRow("https") << "https://example.com" << true << false;
    QTest::newRow("ftp") << "ftp://files.example.com/a" << true << false;
    QTest::newRow("upper scheme") << "HTTPS://X.COM" << true << false;
    QTest::newRow("http with at") << "http://user@example.com/x" << true << false;
    QTest::newRow("https with at") << "https://user:pw@example.com" << true << false;
    QTest::newRow("e-mail") << "jane@example.com" << false << true;
    QTest::newRow("e-mail plus") << "jane+tag@mail.example.co.uk" << false << true;
    QTest::newRow("mailto") << "mailto:jane@example.com" << false << true;
    // The scheme test is case-sensitive: "Https" with user information reads as an e-mail.
    QTest::newRow("Https with at") << "Https://user@example.com" << false << true;
    QTest::newRow("ftp with at") << "ftp://anon@example.com" << false << true;
    QTest::newRow("leading space") << " https://example.com" << false << false;
    QTest::newRow("trailing space") << "https://example.com " << false << false;
    QTest::newRow("trailing newline") << "https://example.com\n" << false << false;
    QTest::newRow("two urls") << "https://a.com https://b.com" << false << false;
    QTest::newRow("two urls comma") << "https://a.com,https://b.com" << false << false;
    QTest::newRow("sentence dot") << "example.com." << false << false;
    QTest::newRow("in brackets") << "(example.com)" << false << false;
    QTest::newRow("text around") << "see https://example.com" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("word") << "hello" << false << false;
    QTest::newRow("unknown TLD") << "example.notatld" << false << false;
    QTest::newRow("ipv4 bare") << "192.168.0.1" << false << false;
    QTest::newRow("ipv4 port") << "192.168.0.1:8080" << true << false;
    QTest::newRow("unicode host") << "b\u00fccher.de/x" << true << false;
    QTest::newRow("emoji then url") << "\U0001F600https://x.com" << false << false;
}

void ValidationTest::isValidUrl()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(bool, emailLogged);
    LogCapture log;
    QCOMPARE(Validation::isValidUrl(text), valid);
    QCOMPARE(log.lines(), emailLogged ? QStringList{"it is only an email..."} : QStringList{});
}

void ValidationTest::isBrandedDomainLink_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("domainNames"); // empty: never written
    QTest::addColumn<bool>("branded");
    QTest::addColumn<QStringList>("logLines");

    const QStringList names = {"quorv.link", "go.example.com", "[::1]"};
    QTest::newRow("branded") << "https://quorv.link/abc" << names << true
                             << QStringList{"checking DOMAIN NAME: quorv.link"};
    QTest::newRow("second name") << "http://go.example.com/x" << names << true
                                 << QStringList{"checking DOMAIN NAME: go.example.com"};
    QTest::newRow("other case") << "https://Quorv.link/abc" << names << false
                                << QStringList{"checking DOMAIN NAME: Quorv.link"};
    QTest::newRow("www not trimmed") << "https://www.quorv.link/abc" << names << false
                                     << QStringList{"checking DOMAIN NAME: www.quorv.link"};
    QTest::newRow("port ignored") << "https://quorv.link:8443/abc" << names << true
                                  << QStringList{"checking DOMAIN NAME: quorv.link"};
    QTest::newRow("userinfo") << "https://me@quorv.link/abc" << names << true
                              << QStringList{"checking DOMAIN NAME: quorv.link"};
    QTest::newRow("query") << "https://quorv.link?x=1" << names << true
                           << QStringList{"checking DOMAIN NAME: quorv.link"};
    // Without a scheme the host is read as after "https://", so a short link copied without
    // its scheme is still recognised.
    QTest::newRow("schemeless") << "quorv.link/abc" << names << true
                                << QStringList{"checking DOMAIN NAME: quorv.link"};
    QTest::newRow("other host") << "https://example.org/x" << names << false
                                << QStringList{"checking DOMAIN NAME: example.org"};
    QTest::newRow("subdomain") << "https://a.quorv.link/x" << names << false
                               << QStringList{"checking DOMAIN NAME: a.quorv.link"};
    QTest::newRow("invalid text") << " https://quorv.link/abc" << names << false << QStringList{};
    QTest::newRow("e-mail") << "me@quorv.link" << names << false
                            << QStringList{"it is only an email..."};
    QTest::newRow("never written") << "https://quorv.link/abc" << QStringList{} << false
                                   << QStringList{"checking DOMAIN NAME: quorv.link"};
}

void ValidationTest::isBrandedDomainLink()
{
    QFETCH(QString, text);
    QFETCH(QStringList, domainNames);
    QFETCH(bool, branded);
    QFETCH(QStringList, logLines);
    TestEnvironment env;
    if (!domainNames.isEmpty())
        SettingsStore::shared().setStringArray(Preferences::domainNames, domainNames);
    LogCapture log;
    QCOMPARE(Validation::isBrandedDomainLink(text), branded);
    QCOMPARE(log.lines(), logLines);
}

void ValidationTest::domainNamesOfOtherKinds_data()
{
    QTest::addColumn<QVariant>("stored");

    QTest::newRow("text") << QVariant(QStringLiteral("quorv.link"));
    QTest::newRow("mixed array") << QVariant(QVariantList{42, QStringLiteral("quorv.link")});
    QTest::newRow("dictionary") << QVariant(QVariantMap{{"quorv.link", true}});
    QTest::newRow("number") << QVariant(7);
}

void ValidationTest::domainNamesOfOtherKinds()
{
    QFETCH(QVariant, stored);
    TestEnvironment env;
    SettingsStore &store = SettingsStore::shared();
    if (stored.typeId() == QMetaType::QVariantList)
        store.setArray(Preferences::domainNames, stored.toList());
    else if (stored.typeId() == QMetaType::QVariantMap)
        store.setDictionary(Preferences::domainNames, stored.toMap());
    else if (stored.typeId() == QMetaType::QString)
        store.setString(Preferences::domainNames, stored.toString());
    else
        store.setInteger(Preferences::domainNames, stored.toLongLong());
    LogCapture log;
    QVERIFY(!Validation::isBrandedDomainLink(QStringLiteral("https://quorv.link/abc")));
}

void ValidationTest::hostOf_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("host"); // empty: none

    QTest::newRow("plain") << "https://Example.com/x"
                           << "Example.com";
    QTest::newRow("port") << "http://a.com:80"
                          << "a.com";
    QTest::newRow("userinfo") << "http://u:p@a.com/x"
                              << "a.com";
    QTest::newRow("ipv6") << "http://[::1]:8080/"
                          << "::1";
    QTest::newRow("schemeless") << "a.com/x?y"
                                << "a.com";
    QTest::newRow("fragment") << "https://a.com#x"
                              << "a.com";
    QTest::newRow("no host") << "https:///path"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("unclosed ipv6") << "http://[::1/"
                                   << "";
}

void ValidationTest::hostOf()
{
    QFETCH(QString, link);
    QFETCH(QString, host);
    const std::optional<QString> found = Validation::hostOf(link);
    QCOMPARE(found.value_or(QString()), host);
    QCOMPARE(found.has_value(), !host.isEmpty());
}

QTEST_GUILESS_MAIN(ValidationTest)
#include "tst_validation.moc"
