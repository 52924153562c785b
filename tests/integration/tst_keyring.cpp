// The tokens in a real Secret Service: a gnome-keyring daemon on the test's private session
// bus, unlocked with a password of the test's own. The locked keyring comes last.
#include "Platform/linux/SecretServiceKeyring.h"
#include "ServiceHarness.h"
#include "Services/TokenVault.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QStandardPaths>

using namespace Costants::Preferences;

namespace {

const QString kSecretService = QStringLiteral("org.freedesktop.secrets");

// What the keyring holds under the vault's entry; "<none>" when nothing, "<refused>" on error.
QString keyringEntry(Keyring &keyring)
{
    QString entry;
    keyring.read(QStringLiteral("tokens"), [&entry](Keyring::Result result, const QString &s) {
        entry = result == Keyring::Result::done       ? s
                : result == Keyring::Result::notFound ? QStringLiteral("<none>")
                                                      : QStringLiteral("<refused>");
    });
    return QTest::qWaitFor([&entry] { return !entry.isEmpty(); }, 10000)
               ? entry
               : QStringLiteral("<no answer>");
}

} // namespace

class KeyringTest : public ServiceTest
{
    Q_OBJECT

private:
    void prepare() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty())
            QSKIP("gnome-keyring-daemon is not installed (scripts/setup-debian.sh installs it)");
        // One daemon for the whole run: the keyring library keeps its connection to the first
        // one it met. Each row starts from an empty keyring instead.
        if (!m_daemon)
            startDaemon();
        m_keyring = std::make_unique<SecretServiceKeyring>(3000);
        m_platform->realKeyring = m_keyring.get();
        QCOMPARE(keyringEntry(*m_keyring), QStringLiteral("<none>"));
    }
    void release() override
    {
        TokenVault::install(nullptr);
        m_vault.reset();
        if (m_keyring) {
            auto removed = std::make_shared<bool>(false);
            m_keyring->remove(QStringLiteral("tokens"),
                              [removed](Keyring::Result) { *removed = true; });
            QTRY_VERIFY(*removed);
        }
        m_keyring.reset();
    }

    void startDaemon()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_keyringHome.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_keyringHome.path());
        m_daemon = std::make_unique<QProcess>();
        m_daemon->setProcessEnvironment(environment);
        m_daemon->start(QStringLiteral("gnome-keyring-daemon"),
                        {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                         QStringLiteral("--components=secrets")});
        // --unlock reads the new login keyring's password up to the end of input.
        m_daemon->write("test-keyring-password");
        m_daemon->closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered(kSecretService), 10000);
    }

    TokenVault::Place startVault()
    {
        m_vault = std::make_unique<TokenVault>(Platform::current().keyring());
        TokenVault::install(m_vault.get());
        m_vault->start();
        (void)QTest::qWaitFor([this] { return m_vault->place() != TokenVault::Place::undecided; },
                              10000);
        return m_vault->place();
    }

    // The secrets are out of the store, the rest stays, and TokenManager reads them whole.
    void verifyKeptInKeyring(const QString &access)
    {
        SettingsStore::reopenAll();
        SettingsStore &store = SettingsStore::shared();
        QVERIFY(!store.contains(accessToken) && !store.contains(refreshToken));
        QVERIFY(store.contains(tokenType) && store.contains(expiresAt));
        const QString entry = keyringEntry(*m_keyring);
        QVERIFY2(entry.contains(access), qPrintable(entry));
        QCOMPARE(TokenManager::load().value().access_token, access);
    }

    QTemporaryDir m_keyringHome;
    // Ended with the test: QProcess kills what it started.
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<SecretServiceKeyring> m_keyring;
    std::unique_ptr<TokenVault> m_vault;

private slots:
    // Tokens from the store move at start; a sign-in keeps its own there; sign-out empties it.
    void tokensLiveInTheKeyring()
    {
        const QString stored = harness::storeIssuedToken(*m_sandbox)["access_token"].toString();
        QCOMPARE(startVault(), TokenVault::Place::keyring);
        QVERIFY(m_log->contains("tokens moved from the settings store to the keyring"));
        QVERIFY(m_log->contains("tokens kept in the keyring"));
        verifyKeptInKeyring(stored);
        exchangeFreshCode();
        QTRY_VERIFY(TokenManager::load()->access_token != stored);
        verifyKeptInKeyring(TokenManager::load()->access_token.value());
        TokenManager::deleteToken();
        QTRY_COMPARE(keyringEntry(*m_keyring), QStringLiteral("<none>"));
        QVERIFY(!TokenManager::load());
    }

    // Locked, the keyring would have to ask for its password: nobody answers here. Locked
    // after the start, the newest tokens come back to the store; locked at a start, they
    // stay there.
    void aLockedKeyringLeavesThemInTheStore()
    {
        QCOMPARE(startVault(), TokenVault::Place::keyring);
        // A plain call: an interface object would introspect the service and leak its meta data.
        QDBusMessage lock = QDBusMessage::createMethodCall(
            kSecretService, QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
        lock << QVariant::fromValue(QList<QDBusObjectPath>{
            QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/collection/login"))});
        const QDBusMessage locked = QDBusConnection::sessionBus().call(lock);
        QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));
        const auto fallBacks = [this] {
            return m_log->lines().filter(": the tokens stay in the settings store").size();
        };
        exchangeFreshCode();
        QTRY_VERIFY_WITH_TIMEOUT(m_vault->place() == TokenVault::Place::store, 10000);
        QCOMPARE(fallBacks(), 1);
        const std::optional<QString> access = SettingsStore::shared().stringForKey(accessToken);
        QVERIFY(access.has_value());
        QCOMPARE(TokenManager::load()->access_token, access);
        // The next start finds the keyring locked and leaves them there, telling it once.
        TokenVault::install(nullptr);
        QCOMPARE(startVault(), TokenVault::Place::store);
        QCOMPARE(fallBacks(), 2);
        SettingsStore::reopenAll();
        QCOMPARE(SettingsStore::shared().stringForKey(accessToken), access);
        // New tokens go to the store as they always did.
        exchangeFreshCode();
        QTRY_VERIFY(SettingsStore::shared().stringForKey(accessToken) != access);
        QVERIFY(TokenManager::load().has_value());
    }
};

QTEST_MAIN(KeyringTest)
#include "tst_keyring.moc"
