#include "App/AppDelegate.h"
#include "App/Clock.h"
#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/NotificationCenter.h"
#include "App/PopoversManager.h"
#include "App/SettingsStore.h"
#include "App/StatusItemImage.h"
#include "App/ViewControllerFactory.h"
#include "HttpSink.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/Config.h"
#include "Services/TokenManager.h"
#include "TestEnvironment.h"
#include "Utils/WatchPause.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>

using namespace Costants;

namespace {

QByteArray storeBytes()
{
    QFile file(SettingsStore::sharedFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One start of the program on the current store, with fresh doubles.
struct Start
{
    explicit Start(bool trayAvailable = true)
        : platform(FakePlatform::installNew())
    {
        platform.trayAvailable = trayAvailable;
        delegate.applicationDidFinishLaunching();
    }
    FakePlatform &platform;
    AppDelegate delegate;
};

} // namespace

class AppDelegateTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> m_environment;

private slots:
    // The first start of each test shows the sign-in popover: a plain view stands in for it.
    void initTestCase()
    {
        ViewControllerFactory::registerCreator(QStringLiteral("LoginViewController"),
                                               [] { return std::make_unique<ViewController>(); });
    }

    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        Config::install(Config::productionDefaults());
    }

    void cleanup()
    {
        Clock::install(nullptr);
        CrashReporter::setShared(nullptr);
        m_environment.reset();
    }

    // The running program's tray icon follows the panel: a new palette or a new colour-scheme
    // preference from the desktop redraws it, paused too, in the variant that stands out. A
    // plain light panel and a portal that prefers dark are tst_windowmanager_e2e's.
    void trayIconFollowsThePanel_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<int>("scheme"); // -1: the portal does not answer
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("dark");
        const QColor light(0xEF, 0xEF, 0xEF), ink(0x1D, 0x1D, 0x1F), night(0x2B, 0x2B, 0x2B);
        QTest::newRow("mid grey, light text")
            << QColor(0x80, 0x80, 0x80) << light << -1 << false << true;
        QTest::newRow("no preference, dark theme") << night << light << 0 << false << true;
        QTest::newRow("prefers light, dark theme") << night << light << 2 << false << false;
        QTest::newRow("paused, prefers dark") << light << ink << 1 << true << true;
        QTest::newRow("paused, dark theme") << night << light << -1 << true << true;
    }
    void trayIconFollowsThePanel()
    {
        QFETCH(QColor, window);
        QFETCH(QColor, text);
        QFETCH(int, scheme);
        QFETCH(bool, paused);
        QFETCH(bool, dark);
        const auto restore = qScopeGuard([] { QGuiApplication::setPalette(QPalette()); });
        if (paused)
            WatchPause::pauseFor(30);
        // Started on a panel of the other kind, then the desktop changes.
        QGuiApplication::setPalette(QPalette(dark ? Qt::white : Qt::black));
        Start start;
        // The variant shown: every drawn pixel light (for a dark panel) or every one dark.
        const auto shown = [&start] {
            const QImage image = start.platform.lastStatusItem->image().pixmap(22, 22).toImage();
            int light = 0, ink = 0, other = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() > 250)
                        ++(pixel.lightness() > 200 ? light : pixel.lightness() < 60 ? ink : other);
            return other || bool(light) == bool(ink) || light + ink <= 40 ? "unclear"
                   : light                                                ? "dark"
                                                                          : "light";
        };
        QCOMPARE(shown(), dark ? "light" : "dark");
        QPalette theme;
        theme.setColor(QPalette::Window, window);
        theme.setColor(QPalette::WindowText, text);
        QGuiApplication::setPalette(theme);
        if (scheme >= 0)
            start.platform.fakeColorScheme.setPreference(uint(scheme));
        QCOMPARE(shown(), dark ? "dark" : "light");
    }

    void defaultsAreWrittenOnce()
    {
        {
            LogCapture log;
            Start start;
            const SettingsStore &store = SettingsStore::shared();
            QCOMPARE(store.stringForKey(Preferences::optionActive),
                     QStringLiteral("qv-option-notification"));
            for (const QString &key :
                 {Preferences::startup, Preferences::contextualMenu, Preferences::automaticCopy,
                  Preferences::skipDuplicateCheck, Preferences::notificationBrandedLink,
                  Preferences::appDefaultSet})
                QVERIFY2(store.boolForKey(key), qPrintable(key));
            QVERIFY(!store.contains(Preferences::optionSlashtagRebrand));
            QVERIFY(SettingsStore::standard().boolForKey(Preferences::crashOnExceptions));

            const QStringList lines = log.lines();
            QVERIFY(lines.contains("setting default"));
            QVERIFY(lines.indexOf("setting default") < lines.indexOf("qv-option-notification"));
            QVERIFY(lines.indexOf("RUNNING ON PRODUCTION") < lines.indexOf("setting default"));
            // Without a DSN the program says so and goes on.
            QCOMPARE(lines.value(0), QStringLiteral("Sentry can't be started"));

            QCOMPARE(start.platform.cacheEmptied, 1);
        }
        SettingsStore::shared().setString(Preferences::optionActive,
                                          Preferences::OptionsRebrand::autoRebrand);
        SettingsStore::shared().setString(Preferences::userId, QStringLiteral("account-9"));
        const QByteArray before = storeBytes();
        // The second start reports crashes, as the signed-in user.
        HttpSink sink;
        Config config = Config::productionDefaults();
        config.crashReportingDsn =
            QStringLiteral("http://0123456789abcdef0123456789abcdef@127.0.0.1:%1/1")
                .arg(sink.origin().port());
        Config::install(config);

        LogCapture log;
        SettingsStore::reopenAll(); // a new process sees only the file
        Start second;
        // Only the update check's hour stamp is written again, with the same value.
        QCOMPARE(storeBytes(), before);
        QVERIFY(!log.contains("setting default"));
        QVERIFY(log.contains("qv-option-autoRebrand"));
        QVERIFY(!log.contains("Sentry can't be started"));
        QCOMPARE(CrashReporter::shared()->userId(), QStringLiteral("account-9"));

        // After a sign-out the defaults are set again: all there already, nothing is written.
        SettingsStore::shared().removeKeys(Preferences::signOutKeys);
        SettingsStore::shared().synchronize();
        const QByteArray signedOut = storeBytes();
        const qsizetype seen = log.lines().size();
        // What the sign-out posts once it removed its keys.
        NotificationCenter::shared().post(NotificationViews::resetDefault);
        QCOMPARE(storeBytes(), signedOut);
        QCOMPARE(log.lines().mid(seen), QStringList{"qv-option-autoRebrand"});
    }

    // "--pause" handed over by a second start: the tray shows the paused icon and says until
    // when, also after a restart, until "--resume" comes. That copies stay untouched meanwhile
    // is tst_signin_e2e's; a pause that ends by itself, tst_clipboardmonitor's.
    void pauseFromTheCommandLineOutlivesARestart()
    {
        ManualClock clock(QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
        Clock::install(&clock);
        const auto tray = [](const Start &start) {
            const FakeStatusItem *item = start.platform.lastStatusItem;
            const bool paused = item->image().pixmap(22).toImage() ==
                                StatusItemImage::paused().pixmap(22).toImage();
            return (paused ? QStringLiteral("paused: ") : QStringLiteral("logo: ")) +
                   item->toolTip();
        };
        const QString until = "paused: Quorvella: watching paused until " +
                              QLocale().toString(QTime(9, 30), WatchPause::shortTimeFormat());
        {
            Start start;
            QCOMPARE(tray(start), QStringLiteral("logo: Quorvella"));
            start.platform.fakeServices.handCommandLine({"quorvella", "--pause=30"});
            QCOMPARE(tray(start), until);
        }
        SettingsStore::reopenAll();
        clock.advance(29 * 60 * 1000);
        Start restarted;
        QCOMPARE(tray(restarted), until);
        restarted.platform.fakeServices.handCommandLine({"quorvella", "--resume"});
        QCOMPARE(tray(restarted), QStringLiteral("logo: Quorvella"));
    }

    // The user sees where the program lives once: at the first start while signed out.
    void firstStartHint_data()
    {
        QTest::addColumn<bool>("startedBefore");
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("shown"); // "popover", "notification" or ""
        QTest::newRow("first start") << false << false << true << "popover";
        QTest::newRow("first start without a tray") << false << false << false << "notification";
        QTest::newRow("later start without a tray") << true << false << false << "";
        QTest::newRow("signed in") << false << true << true << "";
    }

    void firstStartHint()
    {
        QFETCH(bool, startedBefore);
        QFETCH(bool, signedIn);
        QFETCH(bool, tray);
        QFETCH(QString, shown);
        if (startedBefore) {
            const Start earlier(tray);
            SettingsStore::reopenAll();
        }
        if (signedIn)
            QVERIFY(TokenManager("access-1", "Bearer",
                                 QDateTime::currentDateTimeUtc().addSecs(3600), "refresh-1")
                        .save());
        Start start(tray);
        QCOMPARE(start.platform.lastStatusItem->isVisible(), tray);
        const QList<UserNotification> delivered = start.platform.userNotifications.delivered();
        const bool popover = start.delegate.popoversManager()->popoverLogin()->isShown();
        QCOMPARE(popover, shown == "popover");
        QCOMPARE(delivered.size(), shown == "notification" ? 1 : 0);
        if (shown == "notification") {
            QCOMPARE(delivered.first().title, QStringLiteral("Quorvella is running"));
            // Its click opens what the tray icon would.
            start.platform.userNotifications.activate(delivered.first());
            QVERIFY(start.delegate.popoversManager()->popoverLogin()->isShown());
        }
        QVERIFY(SettingsStore(SettingsStore::sharedFilePath())
                    .boolForKey(Preferences::firstStartHintShown));
    }

    // The running version is 1.0.0: the greeting comes only when it is the one announced, and
    // only at the first start after the update. The updater's removal is tst_install_e2e's.
    void updaterWakeUpShowsAlertOnce_data()
    {
        QTest::addColumn<QString>("announced");
        QTest::newRow("the new version runs") << "1.0.0";
        QTest::newRow("the old version is back") << "1.0.1";
    }
    void updaterWakeUpShowsAlertOnce()
    {
        QFETCH(QString, announced);
        const bool updated = announced == QLatin1String("1.0.0");
        SettingsStore &store = SettingsStore::shared();
        store.setBool(Preferences::updaterUpdating, true);
        store.setString(Preferences::updaterAnnouncedVersion, announced);
        store.setBool(Preferences::updateMandatoryRequested, true);
        {
            FakePlatform &platform = FakePlatform::installNew();
            platform.bundleInfo.applications = m_environment->applicationsFolder();
            AppDelegate delegate;
            delegate.applicationDidFinishLaunching();
            QVERIFY(!store.contains(Preferences::updaterUpdating));
            QVERIFY(!store.contains(Preferences::updaterAnnouncedVersion));
            QCOMPARE(store.objectForKey(Preferences::updateMandatoryRequested), QVariant(!updated));
            QCOMPARE(platform.alertPresenter.shown().size(), updated ? 1 : 0);
            if (!updated)
                return;
            const Alert &alert = platform.alertPresenter.shown().first();
            QCOMPARE(alert.message, QStringLiteral("You're up to date!"));
            QCOMPARE(alert.informativeText,
                     QStringLiteral("You have the latest version of Quorvella"));
            QCOMPARE(alert.buttons, QStringList{"OK"});
            QVERIFY(alert.style == Alert::Style::Warning);
        }
        Start next;
        QVERIFY(next.platform.alertPresenter.shown().isEmpty());
    }

    void launchAtLoginNote_data()
    {
        QTest::addColumn<QVariant>("dontAsk");
        QTest::addColumn<bool>("startup");
        QTest::addColumn<QString>("expected");
        QTest::newRow("don't ask again") << QVariant(true) << true << "don't ask again preference";
        QTest::newRow("opens at login") << QVariant() << true << "already opening at login";
        QTest::newRow("neither") << QVariant(false) << false << "";
    }

    void launchAtLoginNote()
    {
        QFETCH(QVariant, dontAsk);
        QFETCH(bool, startup);
        QFETCH(QString, expected);
        SettingsStore &store = SettingsStore::shared();
        store.setBool(Preferences::appDefaultSet, true);
        store.setBool(Preferences::startup, startup);
        if (dontAsk.isValid())
            store.setBool(Preferences::dontAskLaunchLogin, dontAsk.toBool());
        LogCapture log;
        Start start;
        for (const QString note : {"don't ask again preference", "already opening at login"})
            QCOMPARE(log.contains(note), expected == note);
        QVERIFY(start.platform.alertPresenter.shown().isEmpty()); // a note, never a dialogue
        // Defaults written earlier, and no rule chosen since.
        QVERIFY(log.contains("no options active rebrand rule default"));
        QVERIFY(!store.contains(Preferences::optionActive));
        // The launcher is registered at every start; unticking only changes what it reads.
        QCOMPARE(start.platform.fakeLoginItems.enabledItems.value(Launcher::helperIdentifier),
                 true);
    }

    // Second starts and the services call: what reaches the pipeline, with the clipboard's rules
    // (each of them is tst_validation's; here that they apply).
    void servicesEntryIsInstalled_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<QString>("notLogged");
        const auto row = [](const char *name, const QStringList &arguments, const QString &logged,
                            const QString &notLogged) {
            QTest::newRow(name) << (QStringList{"quorvella"} + arguments) << logged << notLogged;
        };
        const QString handed = QStringLiteral("copied link handed on: ");
        row("own scheme link", {"quorvella://open?x=1"}, "redirect deep link", "TOGGLING");
        row("rebrand without text", {"--rebrand", ""}, "Could not find the text for parsing.", "");
        row("rebrand an own short link", {"--rebrand", "https://quorv.link/abc"},
            "services text is no link, ignoring", handed + "https://quorv.link/abc");
        row("bad command line", {"--rebrand"},
            "command line refused: --rebrand needs the text to rebrand", "");
    }
    void servicesEntryIsInstalled()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, logged);
        QFETCH(QString, notLogged);
        Start start;
        // The pipeline does nothing further with this option.
        SettingsStore::shared().setString(Preferences::optionActive,
                                          Preferences::OptionsRebrand::doNothing);
        SettingsStore::shared().setStringArray(Preferences::domainNames, {"quorv.link"});
        QCOMPARE(start.platform.fakeServices.installs, 1);
        QCOMPARE(start.platform.fakeServices.rebrandText(std::nullopt),
                 std::optional<QString>("Could not find the text for parsing."));
        LogCapture log;
        start.platform.fakeServices.handCommandLine(arguments);
        QVERIFY2(log.contains(logged), qPrintable(log.lines().join('|')));
        if (!notLogged.isEmpty())
            QVERIFY2(!log.contains(notLogged), qPrintable(log.lines().join('|')));
    }
};

QTEST_MAIN(AppDelegateTest)
#include "tst_appdelegate.moc"
