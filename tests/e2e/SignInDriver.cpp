#include "SignInDriver.h"

#include <QRegularExpression>
#include <QTest>

SignInDriver::SignInDriver(DesktopSession &desktop)
    : m_desktop(desktop)
    , m_tray(desktop.environment().value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")))
{}

SignInDriver::~SignInDriver()
{
    DesktopSession::stop(m_program);
}

bool SignInDriver::startProgram(const QString &binaryDir)
{
    return m_desktop.start(m_program, binaryDir + QStringLiteral("/quorvella"),
                           {QStringLiteral("--sandbox")});
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
    const QString popover = window(signInPopoverTitle());
    // "Sign in" has the focus when the popover opens.
    return !popover.isEmpty() &&
           xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), popover}) &&
           xdotool({QStringLiteral("key"), QStringLiteral("space")});
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

QString SignInDriver::sandboxRequests()
{
    static const QRegularExpression origin(QStringLiteral("sandbox service at (http://\\S+);"));
    const QRegularExpressionMatch match = origin.match(output());
    if (!match.hasMatch())
        return {};
    QProcess fetch;
    fetch.start(QStringLiteral("python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import urllib.request,sys;"
                                "print(urllib.request.urlopen(sys.argv[1]).read().decode())"),
                 match.captured(1) + QStringLiteral("/__sandbox/requests?path=/connect")});
    fetch.waitForFinished(10000);
    return QString::fromUtf8(fetch.readAllStandardOutput());
}
