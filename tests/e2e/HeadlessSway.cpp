#include "HeadlessSway.h"

#include "DesktopSession.h"
#include "TestFiles.h"

#include <QTest>

#include <pwd.h>
#include <unistd.h>

HeadlessSway::HeadlessSway()
{
    const bool root = ::geteuid() == 0;
    const passwd *nobody = root ? ::getpwnam("nobody") : nullptr;
    if (root && !nobody) {
        m_error = "no unprivileged user (nobody) to run sway as";
        return;
    }
    if (!m_runtime.isValid()) {
        m_error = "no runtime folder";
        return;
    }
    const QString config = m_runtime.filePath("config");
    if (!writeFile(config, "output HEADLESS-1 resolution 1280x800\n"))
        m_error = "cannot write the sway configuration";
    if (root && (::chown(qPrintable(m_runtime.path()), nobody->pw_uid, nobody->pw_gid) != 0 ||
                 ::chown(qPrintable(config), nobody->pw_uid, nobody->pw_gid) != 0))
        m_error = "cannot hand the runtime folder to nobody";
    if (!m_error.isEmpty())
        return;

    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("HOME", m_runtime.path());
    environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
    environment.insert("WLR_BACKENDS", "headless");
    environment.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    environment.insert("WLR_RENDERER", "pixman");
    m_sway.setProcessEnvironment(environment);
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{"sway", "-c", config};
    if (root) {
        // The compositor dies with the test, even when the test is killed.
        arguments = QStringList{"--reuid=" + QString::number(nobody->pw_uid),
                                "--regid=" + QString::number(nobody->pw_gid), "--clear-groups",
                                "--pdeathsig", "TERM"} +
                    arguments;
        m_sway.start("setpriv", arguments);
    } else {
        m_sway.start(arguments.takeFirst(), arguments);
    }
    if (!QTest::qWaitFor([this] { return !socket().isEmpty(); }, 15000))
        m_error = "sway did not start: " + QString::fromLocal8Bit(m_sway.readAll());
}

HeadlessSway::~HeadlessSway()
{
    DesktopSession::stop(m_sway);
}

QString HeadlessSway::socket() const
{
    const QStringList found = QDir(m_runtime.path()).entryList({"wayland-*"}, QDir::System);
    for (const QString &name : found)
        if (!name.endsWith(".lock"))
            return m_runtime.filePath(name);
    return {};
}

QString HeadlessSway::ipcSocket() const
{
    const QStringList found = QDir(m_runtime.path()).entryList({"sway-ipc.*"}, QDir::System);
    return found.isEmpty() ? QString() : m_runtime.filePath(found.first());
}
