#include "SignInDriver.h"

#include "App/Costants.h"
#include "App/SettingsStore.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

SignInDriver::SignInDriver(DesktopSession &desktop)
    : m_desktop(desktop)
    , m_tray(desktop.environment().value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")))
{}

QString SignInDriver::missingPrerequisite(const QString &binaryDir, const QStringList &morePrograms)
{
    for (const QString &program : QStringList{QStringLiteral("xdotool"), QStringLiteral("Xvfb"),
                                              QStringLiteral("dbus-daemon")} +
                                      morePrograms) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + QStringLiteral(" is not installed");
    }
    if (!QFileInfo::exists(binaryDir + QStringLiteral("/quorvella-webview")))
        return QStringLiteral("the web view helper is not built (QUORVELLA_BUILD_WEBVIEW=OFF)");
    return {};
}

SignInDriver::~SignInDriver()
{
    DesktopSession::stop(m_program);
}

bool SignInDriver::startProgram(const QString &binaryDir, const QString &sandboxUrl)
{
    m_sandboxUrl = sandboxUrl;
    const QString option = sandboxUrl.isEmpty() ? QStringLiteral("--sandbox")
                                                : QStringLiteral("--sandbox=") + sandboxUrl;
    return m_desktop.start(m_program, binaryDir + QStringLiteral("/quorvella"), {option});
}

QString SignInDriver::output()
{
    m_output += QString::fromUtf8(m_program.readAllStandardOutput());
    return m_output;
}

bool SignInDriver::logged(const QString &line)
{
    return output().split(QLatin1Char('\n')).contains(line);
}

bool SignInDriver::waitForLine(const QString &line, int timeoutMs)
{
    return QTest::qWaitFor([&] { return logged(line); }, timeoutMs);
}

bool SignInDriver::waitForLineStart(const QString &start, int timeoutMs)
{
    return QTest::qWaitFor(
        [&] {
            const QStringList lines = output().split(QLatin1Char('\n'));
            return std::any_of(lines.cbegin(), lines.cend(),
                               [&](const QString &line) { return line.startsWith(start); });
        },
        timeoutMs);
}

bool SignInDriver::clickTrayIcon()
{
    if (!QTest::qWaitFor([this] { return !m_tray.items().isEmpty(); }, 20000))
        return false;
    return m_tray.activate();
}

bool SignInDriver::xdotool(const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(m_desktop.environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    return tool.waitForFinished(20000) && tool.exitCode() == 0;
}

QString SignInDriver::window(const QString &title)
{
    QProcess search;
    search.setProcessEnvironment(m_desktop.environment());
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                  QStringLiteral("--name"),
                  QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')});
    if (!search.waitForFinished(10000))
        return {};
    return QString::fromUtf8(search.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        .value(0);
}

bool SignInDriver::waitForWindow(const QString &title, int timeoutMs)
{
    return QTest::qWaitFor([&] { return !window(title).isEmpty(); }, timeoutMs);
}

bool SignInDriver::pressSignInButton()
{
    // "Sign in" has the focus when the popover opens.
    return pressKeyIn(signInPopoverTitle(), QStringLiteral("space"));
}

bool SignInDriver::pressKeyIn(const QString &title, const QString &key)
{
    const QString target = window(title);
    return !target.isEmpty() &&
           xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), target}) &&
           xdotool({QStringLiteral("key"), key});
}

bool SignInDriver::typeCredentials(const QString &email, const QString &password)
{
    const QString signIn = window(webViewTitle());
    if (signIn.isEmpty() ||
        !xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), signIn}))
        return false;
    QTest::qWait(500);
    // Into the e-mail field, as a user would: the page's first field, below its heading.
    if (!xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), signIn,
                  QStringLiteral("230"), QStringLiteral("209"), QStringLiteral("click"),
                  QStringLiteral("1")}))
        return false;
    QTest::qWait(300);
    const QString delay = QStringLiteral("40");
    return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), delay, email}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("Tab")}) &&
           xdotool({QStringLiteral("type"), QStringLiteral("--delay"), delay, password}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("Return")});
}

QString SignInDriver::sandboxUrl()
{
    if (!m_sandboxUrl.isEmpty())
        return m_sandboxUrl;
    static const QRegularExpression origin(QStringLiteral("sandbox service at (http://\\S+);"));
    const QRegularExpressionMatch match = origin.match(output());
    return match.hasMatch() ? match.captured(1) : QString();
}

QByteArray SignInDriver::sandboxControl(const QString &path)
{
    const QString origin = sandboxUrl();
    if (origin.isEmpty())
        return {};
    QProcess fetch;
    fetch.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import urllib.request,sys;"
                        "sys.stdout.write(urllib.request.urlopen(sys.argv[1]).read().decode())"),
         origin + QStringLiteral("/__sandbox/") + path});
    fetch.waitForFinished(10000);
    return fetch.readAllStandardOutput();
}

QString SignInDriver::sandboxRequests()
{
    return QString::fromUtf8(sandboxControl(QStringLiteral("requests?path=/connect")));
}

bool SignInDriver::signInWithDemoAccount()
{
    return waitForLine(QStringLiteral("NETWORK REACHABLE"), 20000) && clickTrayIcon() &&
           waitForWindow(signInPopoverTitle(), 10000) && pressSignInButton() &&
           waitForLineStart(QStringLiteral("loaded: http://127.0.0.1:"), 90000) &&
           waitForWindow(webViewTitle(), 20000) &&
           typeCredentials(QStringLiteral("demo@quorvella.test"), QStringLiteral("demo")) &&
           waitForLine(QStringLiteral("VALID TOKEN RESPONSE"), 30000);
}

bool SignInDriver::copyToClipboard(QProcess &xclip, const QString &text)
{
    // -quiet keeps xclip in the foreground, so it can be stopped.
    if (!m_desktop.start(
            xclip, QStringLiteral("xclip"),
            {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard")}))
        return false;
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    return true;
}

QString SignInDriver::clipboardText()
{
    QProcess read;
    read.setProcessEnvironment(m_desktop.environment());
    read.start(QStringLiteral("xclip"),
               {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    if (!read.waitForFinished(5000))
        return {};
    return QString::fromUtf8(read.readAllStandardOutput());
}

QString SignInDriver::waitForShortUrl(const QString &previous, int timeoutMs)
{
    QString text;
    const bool found = QTest::qWaitFor(
        [&] {
            text = clipboardText();
            return text.startsWith(QLatin1String("https://")) && text != previous &&
                   !text.contains(QLatin1String("example.com"));
        },
        timeoutMs);
    return found ? text : QString();
}

void SignInDriver::seedPreferences(const QString &rule)
{
    using namespace Costants::Preferences;
    SettingsStore &store = SettingsStore::shared();
    for (const QString &key : {appDefaultSet, startup, contextualMenu, automaticCopy,
                               skipDuplicateCheck, notificationBrandedLink})
        store.setBool(key, true);
    store.setString(optionActive, rule);
    store.synchronize();
}

QByteArray SignInDriver::notificationDaemon(const QStringList &arguments)
{
    QProcess control;
    control.setProcessEnvironment(m_desktop.environment());
    control.start(QStringLiteral("dunstctl"), arguments);
    if (!control.waitForFinished(5000))
        return {};
    return control.readAllStandardOutput();
}
