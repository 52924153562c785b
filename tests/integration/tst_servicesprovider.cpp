// The services entry and the single-instance name on a private session bus.

#include "Platform/linux/DBusServicesProvider.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <functional>

class ServicesProviderTest : public QObject
{
    Q_OBJECT

private:
    [[nodiscard]] QDBusConnection connect(const QString &name)
    {
        m_names.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }
    // Runs a blocking bus call off the GUI thread, whose loop must serve the other side.
    static void offThread(const std::function<void()> &work)
    {
        QThread *thread = QThread::create(work);
        thread->start();
        QTRY_VERIFY(thread->isFinished());
        delete thread;
    }

    QProcess m_bus;
    QString m_address;
    QStringList m_names;

private slots:
    void initTestCase()
    {
        m_bus.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        QVERIFY2(m_bus.waitForStarted(5000), "dbus-daemon is not installed");
        QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 5000);
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
    }
    void cleanupTestCase()
    {
        m_bus.terminate();
        if (!m_bus.waitForFinished(3000))
            m_bus.kill();
    }
    void cleanup()
    {
        for (const QString &name : std::as_const(m_names))
            QDBusConnection::disconnectFromBus(name);
        m_names.clear();
    }

    void rebrandText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error"); // empty: a plain answer
        QTest::newRow("a text") << "https://example.org/x?a=1&b=2" << QString();
        QTest::newRow("no text") << QString() << "Could not find the text for parsing.";
    }
    void rebrandText()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        DBusServicesProvider provider(connect(QStringLiteral("own")));
        QList<std::optional<QString>> handed;
        QVERIFY(provider.install(
            [&handed](const std::optional<QString> &given) -> std::optional<QString> {
                handed.append(given);
                if (!given)
                    return QStringLiteral("Could not find the text for parsing.");
                return std::nullopt;
            },
            {}));
        QDBusConnection caller = connect(QStringLiteral("caller"));
        QDBusMessage call = QDBusMessage::createMethodCall(
            DBusServicesProvider::serviceName, DBusServicesProvider::objectPath,
            DBusServicesProvider::serviceName, QStringLiteral("RebrandText"));
        call << text;
        QDBusMessage answer;
        offThread([&] { answer = caller.call(call, QDBus::Block, 5000); });
        QCOMPARE(handed, (QList<std::optional<QString>>{
                             text.isEmpty() ? std::nullopt : std::optional<QString>(text)}));
        QCOMPARE(answer.type(),
                 error.isEmpty() ? QDBusMessage::ReplyMessage : QDBusMessage::ErrorMessage);
        QCOMPARE(answer.errorMessage(), error);
    }

    // With nobody holding the name there is no one to hand over to, and the name is free. A
    // second start handing its command line to the running program is tst_signin_e2e's.
    void forwardWithNobodyThere()
    {
        DBusServicesProvider provider(connect(QStringLiteral("second")));
        bool forwarded = true;
        QString error;
        offThread([&] { forwarded = provider.forwardCommandLine({"quorvella"}, &error); });
        QVERIFY(!forwarded);
        QVERIFY(!error.isEmpty());
        QVERIFY(provider.claimSingleInstance());
    }
};

QTEST_GUILESS_MAIN(ServicesProviderTest)
#include "tst_servicesprovider.moc"
