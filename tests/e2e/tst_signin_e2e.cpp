// The sign-in as a user does it: a click on the tray icon, "Sign in", the sandbox's form typed
// into the web view, and the link list at the end. A real X server, a private session bus with
// a tray host, the real program, its web view helper and the sandbox.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "DesktopSession.h"
#include "StatusNotifierWatcher.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Costants;

class SignInEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void signInFromTheTray();

private:
    [[nodiscard]] QString output();
    [[nodiscard]] bool logged(const QString &line) { return output().split('\n').contains(line); }
    [[nodiscard]] bool loggedStart(const QString &start);
    // The visible window with exactly this title, or nothing.
    [[nodiscard]] QString window(const QString &title);
    bool xdotool(const QStringList &arguments);
    // What the sandbox received, for the failure message.
    [[nodiscard]] QString sandboxRequests();

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<StatusNotifierWatcher> m_tray;
    std::unique_ptr<QProcess> m_program;
    QString m_output;
};

void SignInEndToEndTest::initTestCase()
{
    for (const char *program : {"xdotool", "Xvfb", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(program))));
    }
    if (!QFileInfo::exists(QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-webview")))
        QSKIP("the web view helper is not built (QUORVELLA_BUILD_WEBVIEW=OFF)");
    m_environment = std::make_unique<TestEnvironment>();
    const QString runtime = m_environment->root() + QStringLiteral("/runtime");
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_environment->setVariable("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->error()));
    m_tray = std::make_unique<StatusNotifierWatcher>(
        m_desktop->environment().value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")));
    QVERIFY(m_tray->isRunning());
}

void SignInEndToEndTest::cleanupTestCase()
{
    if (m_program)
        DesktopSession::stop(*m_program);
    m_program.reset();
    m_tray.reset();
    m_desktop.reset();
    m_environment.reset();
}

QString SignInEndToEndTest::output()
{
    if (m_program)
        m_output += QString::fromUtf8(m_program->readAllStandardOutput());
    return m_output;
}

bool SignInEndToEndTest::loggedStart(const QString &start)
{
    for (const QString &line : output().split('\n')) {
        if (line.startsWith(start))
            return true;
    }
    return false;
}

bool SignInEndToEndTest::xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(m_desktop->environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(20000) && tool.exitCode() == 0;
}

QString SignInEndToEndTest::sandboxRequests()
{
    static const QRegularExpression origin(QStringLiteral("sandbox service at (http://\\S+);"));
    const QRegularExpressionMatch match = origin.match(output());
    if (!match.hasMatch())
        return {};
    QProcess curl;
    curl.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral(
             "import "
             "urllib.request,sys;print(urllib.request.urlopen(sys.argv[1]).read().decode())"),
         match.captured(1) + QStringLiteral("/__sandbox/requests?path=/connect")});
    curl.waitForFinished(10000);
    return QStringLiteral("\nsandbox requests: ") + QString::fromUtf8(curl.readAllStandardOutput());
}

QString SignInEndToEndTest::window(const QString &title)
{
    QProcess search;
    search.setProcessEnvironment(m_desktop->environment());
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                  QStringLiteral("--name"),
                  QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
    if (!search.waitForFinished(10000))
        return {};
    return QString::fromUtf8(search.readAllStandardOutput())
        .split('\n', Qt::SkipEmptyParts)
        .value(0);
}

void SignInEndToEndTest::signInFromTheTray()
{
    m_program = std::make_unique<QProcess>();
    QVERIFY(m_desktop->start(*m_program, QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella"),
                             {QStringLiteral("--sandbox")}));
    QTRY_VERIFY2_WITH_TIMEOUT(loggedStart("Quorvella: using the sandbox service at"),
                              qPrintable(output()), 20000);
    QTRY_VERIFY2_WITH_TIMEOUT(logged("NETWORK REACHABLE"), qPrintable(output()), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_tray->items().isEmpty(), 20000);

    // A click on the tray icon: signed out, so the sign-in popover.
    QVERIFY(m_tray->activate());
    QTRY_VERIFY2_WITH_TIMEOUT(logged("TOGGLING"), qPrintable(output()), 10000);
    QString popover;
    QTRY_VERIFY_WITH_TIMEOUT(!(popover = window(QStringLiteral("Quorvella sign in"))).isEmpty(),
                             10000);

    // "Sign in" has the focus.
    QVERIFY(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), popover}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("space")}));
    QTRY_VERIFY2_WITH_TIMEOUT(logged("login"), qPrintable(output()), 10000);
    QTRY_VERIFY2_WITH_TIMEOUT(logged("View OAUTH"), qPrintable(output()), 10000);
    QVERIFY(output().contains("&acr_values=cmd:relogin,register&prompt=login"));
    QTRY_VERIFY2_WITH_TIMEOUT(loggedStart("loaded: http://127.0.0.1:"), qPrintable(output()),
                              90000);

    QString signIn;
    QTRY_VERIFY_WITH_TIMEOUT(!(signIn = window(QStringLiteral("Quorvella"))).isEmpty(), 20000);
    QVERIFY(xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), signIn}));
    QTest::qWait(500);
    // Into the e-mail field, as a user would: the page's first field, below its heading.
    QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), signIn,
                     QStringLiteral("230"), QStringLiteral("209"), QStringLiteral("click"),
                     QStringLiteral("1")}));
    QTest::qWait(300);
    QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"),
                     QStringLiteral("demo@quorvella.test")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
    QVERIFY(xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"),
                     QStringLiteral("demo")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));

    if (!QTest::qWaitFor([this] { return logged("it is my redirect URI <3"); }, 30000)) {
        const QStringList lines = output().split('\n');
        qWarning("%s", qPrintable(lines.mid(std::max<qsizetype>(0, lines.size() - 30)).join('\n')));
        qWarning("%s", qPrintable(sandboxRequests()));
    }
    QVERIFY(logged("it is my redirect URI <3"));
    QTRY_VERIFY2_WITH_TIMEOUT(logged("oauth went good"), qPrintable(output()), 5000);
    QTRY_VERIFY2_WITH_TIMEOUT(logged("CLOSING WINDOW"), qPrintable(output()), 5000);
    QTRY_VERIFY2_WITH_TIMEOUT(logged("VALID TOKEN RESPONSE"), qPrintable(output()), 15000);

    // The token is in the shared store, and the link list is what the user sees now.
    std::optional<QString> accessToken;
    QTRY_VERIFY_WITH_TIMEOUT(
        (accessToken =
             SettingsStore(SettingsStore::sharedFilePath()).stringForKey(Preferences::accessToken)),
        10000);
    const std::optional<QString> refreshToken =
        SettingsStore(SettingsStore::sharedFilePath()).stringForKey(Preferences::refreshToken);
    QVERIFY(refreshToken);
    QTRY_VERIFY_WITH_TIMEOUT(!window(QStringLiteral("Quorvella links")).isEmpty(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(window(QStringLiteral("Quorvella")).isEmpty(), 15000);

    // Nothing secret reached standard output.
    const QString log = output();
    QVERIFY(!log.contains(*accessToken));
    QVERIFY(!log.contains(*refreshToken));
    QVERIFY(!log.contains(QStringLiteral("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8")));
    static const QRegularExpression code(
        QStringLiteral("code[=:] ?(?!<redacted>)[A-Za-z0-9_-]{6,}"));
    QVERIFY2(!code.match(log).hasMatch(), qPrintable(code.match(log).captured()));
}

QTEST_GUILESS_MAIN(SignInEndToEndTest)
#include "tst_signin_e2e.moc"
