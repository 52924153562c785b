// The program among the desktop's own parts. The popover under a real window manager
// (openbox), which may hold the focus back from a window shown after a click that reached the
// program over D-Bus: a click into another program must still close it. The tray icon follows
// the desktop portal's light or dark preference.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "EndToEndSession.h"

#include <QDBusVariant>
#include <QScopeGuard>
#include <QTest>

// The appearance part of the desktop portal's settings on a session bus, as an older portal
// serves it: only Read, its answer wrapped in a second variant.
class FakePortalSettings : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    explicit FakePortalSettings(uint scheme)
        : m_scheme(scheme)
    {}
    bool serveOn(QDBusConnection bus)
    {
        return bus.registerObject("/org/freedesktop/portal/desktop", this,
                                  QDBusConnection::ExportAllSlots |
                                      QDBusConnection::ExportAllSignals) &&
               bus.registerService("org.freedesktop.portal.Desktop");
    }
    void change(uint scheme)
    {
        m_scheme = scheme;
        emit SettingChanged("org.freedesktop.appearance", "color-scheme", QDBusVariant(scheme));
    }

public slots:
    // Every key answers the scheme: the program asks for no other.
    QDBusVariant Read(const QString &, const QString &)
    {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(m_scheme)));
    }

signals:
    void SettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);

private:
    uint m_scheme;
};

class WindowManagerEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void clickIntoAnotherProgramClosesThePopover();
    void trayIconFollowsTheDesktopScheme();
};

void WindowManagerEndToEndTest::clickIntoAnotherProgramClosesThePopover()
{
    const QString missing =
        SignInDriver::missingPrerequisite(QUORVELLA_BINARY_DIR, {"openbox", "xmessage", "xprop"});
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    EndToEndSession session;
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    QProcess windowManager;
    QVERIFY(session.desktop.start(windowManager, "openbox", {"--sm-disable"}));
    // Managing from here on: openbox has announced itself on the root window.
    QTRY_VERIFY2_WITH_TIMEOUT(
        session.desktop.run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"})
            .value_or(QByteArray())
            .contains("window id"),
        qPrintable("openbox did not take the screen: " + windowManager.readAllStandardError()),
        20000);
    // Another program, managed by openbox, somewhere below the tray.
    QProcess other;
    QVERIFY(session.desktop.start(other, "xmessage",
                                  {"-geometry", "300x80+20+600", "another program"}));
    SignInDriver &user = *session.user;
    QVERIFY(user.waitForWindow("xmessage", 10000));

    // The program starts a sandbox of its own; its first start was earlier.
    SettingsStore::shared().setBool(Costants::Preferences::firstStartHintShown, true);
    SettingsStore::shared().synchronize();
    QVERIFY(user.startProgram(QUORVELLA_BINARY_DIR));
    QVERIFY(user.waitForLineStart("Quorvella: using the sandbox service at", 20000));
    QVERIFY(user.waitForLine("NETWORK REACHABLE", 20000));
    QVERIFY(user.clickTrayIcon());
    QVERIFY(user.waitForWindow(SignInDriver::signInPopoverTitle(), 10000));
    QTest::qWait(500); // as a user would look before clicking elsewhere
    QVERIFY(!user.window(SignInDriver::signInPopoverTitle()).isEmpty());

    QVERIFY(user.pointAt("xmessage", 150, 20, true));
    QTRY_VERIFY_WITH_TIMEOUT(user.window(SignInDriver::signInPopoverTitle()).isEmpty(), 5000);
    DesktopSession::stop(other);
    DesktopSession::stop(windowManager);
}

void WindowManagerEndToEndTest::trayIconFollowsTheDesktopScheme()
{
    const QString missing = SignInDriver::missingPrerequisite(QUORVELLA_BINARY_DIR);
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    EndToEndSession session;
    QVERIFY2(session.error().isEmpty(), qPrintable(session.error()));
    const auto bus = qScopeGuard([] { QDBusConnection::disconnectFromBus("portal"); });
    FakePortalSettings portal(1);
    QVERIFY(portal.serveOn(QDBusConnection::connectToBus(
        session.desktop.environment().value("DBUS_SESSION_BUS_ADDRESS"), "portal")));
    SignInDriver &user = *session.user;
    QVERIFY(user.startProgram(QUORVELLA_BINARY_DIR));
    // Prefers dark: the light logo. Then no preference, on the light palette of a bare X
    // server: the dark logo.
    QTRY_VERIFY_WITH_TIMEOUT(user.trayIconLightness() > 200, 20000);
    portal.change(0);
    QTRY_VERIFY_WITH_TIMEOUT(unsigned(user.trayIconLightness()) < 60, 5000);
}

QTEST_GUILESS_MAIN(WindowManagerEndToEndTest)
#include "tst_windowmanager_e2e.moc"
