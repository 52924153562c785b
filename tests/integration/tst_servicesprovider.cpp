// The services entry and the single-instance name on a private session bus.

#include "Platform/linux/DBusServicesProvider.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <QThread>

class ServicesProviderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void rebrandText_data();
    void rebrandText();
    void secondInstanceHandsOver();
    void nobodyAnswers();

private:
    [[nodiscard]] QDBusConnection connect(const QString &name)
    {
        m_names.append(name);
        return QDBusConnection::connectToBus(m_address, name);
    }

    QProcess m_bus;
    QString m_address;
    QStringList m_names;
    QList<std::optional<QString>> m_texts;
    QList<QStringList> m_commandLines;
};

void ServicesProviderTest::initTestCase()
{
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted(5000))
        QSKIP("dbus-daemon is not installed");
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 5000);
    m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_address.isEmpty());
}

void ServicesProviderTest::cleanupTestCase()
{
    m_bus.terminate();
    if (!m_bus.waitForFinished(3000))
        m_bus.kill();
}

void ServicesProviderTest::init()
{
    m_texts.clear();
    m_commandLines.clear();
}

void ServicesProviderTest::cleanup()
{
    for (const QString &name : std::as_const(m_names))
        QDBusConnection::disconnectFromBus(name);
    m_names.clear();
}

void ServicesProviderTest::rebrandText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error"); // empty: a plain answer
    QTest::newRow("a link") << "https://example.org/x" << QString();
    QTest::newRow("any text") << "hello" << QString();
    QTest::newRow("no text") << QString() << "Could not find the text for parsing.";
}

void ServicesProviderTest::rebrandText()
{
    QFETCH(QString, text);
    QFETCH(QString, error);
    const QDBusConnection own = connect(QStringLiteral("own"));
    DBusServicesProvider provider(own);
    QVERIFY(provider.install(
        [this](const std::optional<QString> &handed) -> std::optional<QString> {
            m_texts.append(handed);
            if (!handed)
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
    QThread *thread = QThread::create([&] { answer = caller.call(call, QDBus::Block, 5000); });
    thread->start();
    QTRY_VERIFY(thread->isFinished());
    delete thread;
    QCOMPARE(m_texts.size(), 1);
    QCOMPARE(m_texts.at(0), text.isEmpty() ? std::nullopt : std::optional<QString>(text));
    if (error.isEmpty()) {
        QCOMPARE(answer.type(), QDBusMessage::ReplyMessage);
    } else {
        QCOMPARE(answer.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(answer.errorMessage(), error);
    }
}

void ServicesProviderTest::secondInstanceHandsOver()
{
    DBusServicesProvider first(connect(QStringLiteral("first")));
    QVERIFY(first.claimSingleInstance());
    QVERIFY(first.install(
        {}, [this](const QStringList &arguments) { m_commandLines.append(arguments); }));
    DBusServicesProvider second(connect(QStringLiteral("second")));
    QVERIFY(!second.claimSingleInstance());
    const QStringList arguments{"quorvella", "--rebrand", "https://example.org/?a=1&b=2"};
    bool forwarded = false;
    QThread *thread =
        QThread::create([&] { forwarded = second.forwardCommandLine(arguments, nullptr); });
    thread->start();
    QTRY_VERIFY(thread->isFinished());
    delete thread;
    QVERIFY(forwarded);
    QCOMPARE(m_commandLines, QList<QStringList>{arguments});
}

void ServicesProviderTest::nobodyAnswers()
{
    DBusServicesProvider lonely(connect(QStringLiteral("lonely")));
    QString error;
    QVERIFY(!lonely.forwardCommandLine({"quorvella"}, &error));
    QVERIFY(!error.isEmpty());
    // The name is free: this one may run.
    QVERIFY(lonely.claimSingleInstance());
}

QTEST_GUILESS_MAIN(ServicesProviderTest)
#include "tst_servicesprovider.moc"
