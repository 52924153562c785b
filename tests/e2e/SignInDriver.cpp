#include "SignInDriver.h"

#include "App/Costants.h"
#include "App/SettingsStore.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

SignInDriver::SignInDriver(DesktopSession &desktop)
    : m_desktop(desktop)
    , m_tray(desktop.environment().value("DBUS_SESSION_BUS_ADDRESS"))
{}

QString SignInDriver::missingPrerequisite(const QString &binaryDir, const QStringList &morePrograms)
{
    for (const QString &program : QStringList{"xdotool", "Xvfb", "dbus-daemon"} + morePrograms) {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return program + " is not installed";
    }
    if (!QFileInfo::exists(binaryDir + "/quorvella-webview"))
        return "the web view helper is not built (QUORVELLA_BUILD_WEBVIEW=OFF)";
    return {};
}

SignInDriver::~SignInDriver()
{
    DesktopSession::stop(m_program);
}

bool SignInDriver::startProgram(const QString &binaryDir, const QString &sandboxUrl)
{
    const QString option = sandboxUrl.isEmpty() ? "--sandbox" : "--sandbox=" + sandboxUrl;
    return m_desktop.start(m_program, binaryDir + "/quorvella", {option});
}

QString SignInDriver::output()
{
    m_output += QString::fromUtf8(m_program.readAllStandardOutput());
    return m_output;
}

bool SignInDriver::reported(bool ok, const QString &awaited)
{
    if (!ok) {
        const QStringList lines = output().split('\n');
        qWarning("waited in vain for %s; the program's last words:\n%s", qPrintable(awaited),
                 qPrintable(lines.mid(std::max<qsizetype>(0, lines.size() - 40)).join('\n')));
    }
    return ok;
}

bool SignInDriver::waitForLine(const QString &line, int timeoutMs)
{
    return reported(QTest::qWaitFor([&] { return output().split('\n').contains(line); }, timeoutMs),
                    line);
}

bool SignInDriver::waitForLineStart(const QString &start, int timeoutMs)
{
    const auto found = [&] {
        const QStringList lines = output().split('\n');
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&](const QString &line) { return line.startsWith(start); });
    };
    return reported(QTest::qWaitFor(found, timeoutMs), start);
}

bool SignInDriver::clickTrayIcon()
{
    if (!QTest::qWaitFor([this] { return !m_tray.items().isEmpty(); }, 20000))
        return false;
    return m_tray.activate();
}

bool SignInDriver::xdotool(const QStringList &arguments)
{
    return m_desktop.run("xdotool", arguments, 20000).has_value();
}

QString SignInDriver::window(const QString &title)
{
    const QString pattern = '^' + QRegularExpression::escape(title) + '$';
    return QString::fromUtf8(
               m_desktop.run("xdotool", {"search", "--onlyvisible", "--name", pattern})
                   .value_or(QByteArray()))
        .split('\n', Qt::SkipEmptyParts)
        .value(0);
}

bool SignInDriver::waitForWindow(const QString &title, int timeoutMs)
{
    return reported(QTest::qWaitFor([&] { return !window(title).isEmpty(); }, timeoutMs),
                    "the window " + title);
}

bool SignInDriver::pressSignInButton()
{
    // "Sign in" has the focus when the popover opens.
    return pressKeyIn(signInPopoverTitle(), "space");
}

bool SignInDriver::pressKeyIn(const QString &title, const QString &key)
{
    const QString target = window(title);
    return !target.isEmpty() && xdotool({"windowfocus", "--sync", target}) && xdotool({"key", key});
}

bool SignInDriver::pressKeys(const QStringList &keys)
{
    for (const QString &key : keys) {
        if (!xdotool({"key", key}))
            return false;
        QTest::qWait(150);
    }
    return true;
}

bool SignInDriver::pointAt(const QString &title, int x, int y, bool click)
{
    const QString target = window(title);
    QStringList arguments{"mousemove", "--window", target, QString::number(x), QString::number(y)};
    if (click)
        arguments += {"click", "1"};
    return !target.isEmpty() && xdotool(arguments);
}

bool SignInDriver::type(const QString &text)
{
    return xdotool({"type", "--delay", "40", text});
}

bool SignInDriver::typeCredentials(const QString &email, const QString &password)
{
    const QString signIn = window(webViewTitle());
    if (signIn.isEmpty() || !xdotool({"windowfocus", "--sync", signIn}))
        return false;
    QTest::qWait(500);
    // Into the e-mail field, as a user would: the page's first field, below its heading.
    if (!pointAt(webViewTitle(), 230, 209, true))
        return false;
    QTest::qWait(300);
    return type(email) && xdotool({"key", "Tab"}) && type(password) && xdotool({"key", "Return"});
}

bool SignInDriver::signInWithDemoAccount()
{
    return waitForLine("NETWORK REACHABLE", 20000) && clickTrayIcon() &&
           waitForWindow(signInPopoverTitle(), 10000) && pressSignInButton() &&
           waitForLineStart("loaded: http://127.0.0.1:", 90000) &&
           waitForWindow(webViewTitle(), 20000) && typeCredentials("demo@quorvella.test", "demo") &&
           waitForLine("VALID TOKEN RESPONSE", 30000);
}

bool SignInDriver::copyToClipboard(QProcess &xclip, const QString &text)
{
    // -quiet keeps xclip in the foreground, so it can be stopped.
    if (!m_desktop.start(xclip, "xclip", {"-quiet", "-selection", "clipboard"}))
        return false;
    xclip.write(text.toUtf8());
    xclip.closeWriteChannel();
    return true;
}

QString SignInDriver::clipboardText()
{
    return QString::fromUtf8(
        m_desktop.run("xclip", {"-o", "-selection", "clipboard"}, 5000).value_or(QByteArray()));
}

QString SignInDriver::waitForShortUrl(const QString &previous, int timeoutMs)
{
    QString text;
    const bool found = QTest::qWaitFor(
        [&] {
            text = clipboardText();
            return text.startsWith("https://") && text != previous && !text.contains("example.com");
        },
        timeoutMs);
    return reported(found, "a short URL") ? text : QString();
}

void SignInDriver::seedPreferences(const QString &rule)
{
    using namespace Costants::Preferences;
    SettingsStore &store = SettingsStore::shared();
    for (const QString &key : {appDefaultSet, startup, contextualMenu, automaticCopy,
                               skipDuplicateCheck, notificationBrandedLink, firstStartHintShown})
        store.setBool(key, true);
    store.setString(optionActive, rule);
    store.synchronize();
}
