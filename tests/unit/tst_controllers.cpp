// The sign-in, share and QR controllers, on the platform doubles.
#include "../integration/ServiceHarness.h"
#include "Controllers/QRShare/QRController.h"
#include "Controllers/QRShare/ShareController.h"
#include "Controllers/SignIn/LoginViewController.h"
#include "HttpSink.h"
#include "Views/Popover.h"
#include "Views/WindowNoTitleBar.h"

#include <QPushButton>
#include <QRegularExpression>

using namespace Costants;
using Rendering = QRController::Rendering;

Q_DECLARE_METATYPE(Rendering)

namespace {

// Shows the controller in a popover as the tray would, its first control focused.
void showIn(Popover &popover, std::unique_ptr<ViewController> content)
{
    popover.setTransient(nullptr);
    popover.setContentViewController(std::move(content));
    popover.show(QRect(900, 0, 24, 24));
}

// Tabs through the popover in the order of the eye until the focus is on this control.
void tabTo(Popover &popover, const QStringList &order, const QString &name)
{
    for (const QString &passed : order.mid(0, order.indexOf(name))) {
        QCOMPARE(popover.focusWidget()->objectName(), passed);
        QTest::keyClick(popover.focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(popover.focusWidget()->objectName(), name);
}

} // namespace

class ControllersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ControllerRegistry::registerAll(); }
    void init()
    {
        m_environment = std::make_unique<TestEnvironment>();
        m_platform = &FakePlatform::installNew();
        m_service = std::make_unique<HttpSink>();
        m_service->setResponse("/connect/token",
                               {200,
                                "application/json",
                                R"({"access_token":"access-9","token_type":"Bearer",
                                    "expires_in":3600,"refresh_token":"refresh-9"})",
                                {}});
        Config config = Config::productionDefaults().routedTo(m_service->origin());
        config.crashReportingDsn.clear();
        // Nothing listens there: every QR image is drawn locally, no test waits for a network.
        config.qrHost = QUrl(QStringLiteral("http://127.0.0.1:9"));
        Config::install(config);
    }
    void cleanup()
    {
        // Windows left open by a test close themselves here.
        NotificationCenter::shared().post(NotificationViews::closeWindowOauth);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_service.reset();
        m_environment.reset();
    }

    void failedNavigationKeepsWindow_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("sameView"); // the next click on "Sign in" reuses the page
        const QString notGood = QStringLiteral("oauth not so good");
        QTest::newRow("error instead of code")
            << "https://localhost/oauth?error=access_denied&state=1" << notGood << false;
        QTest::newRow("another address, its code redacted")
            << "https://elsewhere.example/oauth?code=abc"
            << "fail LINK: https://elsewhere.example/oauth?code=<redacted>" << true;
    }
    void failedNavigationKeepsWindow()
    {
        QFETCH(QString, failing);
        QFETCH(QString, logged);
        QFETCH(bool, sameView);
        LogCapture log;
        QPointer<WindowNoTitleBar> window = openWindow();
        QVERIFY(window);
        QPointer<FakeWebView> view = m_platform->lastWebView;
        view->loadPage(QUrl("http://127.0.0.1/connect/authorize?x=1"));
        view->failProvisional(failing);
        QVERIFY(log.contains(logged));
        QCOMPARE(log.contains("it is my redirect URI <3"), !sameView);
        QVERIFY(window->isOpen());
        QTest::qWait(50);
        QVERIFY(m_service->requests().isEmpty());
        // The next click starts the page afresh, in the same browser when it is still there.
        openWindow();
        QVERIFY(window->isOpen());
        QCOMPARE(m_platform->lastWebView == view, sameView);
        QCOMPARE(m_platform->lastWebView->loads.size(), sameView ? 2 : 1);
    }
    void windowEnds_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::newRow("the browser helper crashes") << true;
        QTest::newRow("the user closes the window") << false;
    }
    void windowEnds()
    {
        QFETCH(bool, crash);
        LogCapture log;
        QPointer<WindowNoTitleBar> window = openWindow();
        if (crash)
            m_platform->lastWebView->crash(QStringLiteral("the browser could not start"));
        else
            m_platform->lastWebView->userCloses();
        QVERIFY(!window || !window->isOpen());
        QVERIFY(log.contains("CLOSING WINDOW"));
        QCOMPARE(m_platform->alertPresenter.shown().size(), crash ? 1 : 0);
        if (crash) {
            QCOMPARE(m_platform->alertPresenter.shown().first().message,
                     QStringLiteral("Sign-in could not continue"));
            QVERIFY(m_platform->alertPresenter.shown().first().informativeText.contains(
                "could not start"));
        }
    }
    // The signed-out popover by keyboard alone: Tab in the order of the eye, Enter and Space
    // press the focused button, Esc closes.
    void signedOutPopoverByKeyboard()
    {
        const QStringList order{"loginButton", "createAccountButton", "openWebsiteButton",
                                "settingsButton"};
        PostCounter close(NotificationViews::closePopover);
        Popover popover;
        showIn(popover, std::make_unique<LoginViewController>());
        tabTo(popover, order, "createAccountButton");
        QTest::keyClick(popover.focusWidget(), Qt::Key_Return);
        QCOMPARE(m_platform->fakeWorkspace.opened.size(), 1);
        QCOMPARE(m_platform->fakeWorkspace.opened.at(0).path(), QStringLiteral("/sign-up"));
        QCOMPARE(close.count, 1);
        tabTo(popover, order.mid(1), "openWebsiteButton");
        QTest::keyClick(popover.focusWidget(), Qt::Key_Space);
        QCOMPARE(m_platform->fakeWorkspace.opened.size(), 2);
        QCOMPARE(m_platform->fakeWorkspace.opened.at(1), Config::current().dashboardHost);
        tabTo(popover, order.mid(2), "settingsButton");
        QTest::keyClick(popover.focusWidget(), Qt::Key_Escape);
        QVERIFY(!popover.isShown());
    }

    void qrRequestAndName_data()
    {
        QTest::addColumn<QString>("shortURL");
        QTest::addColumn<Rendering>("rendering");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("suggested");
        const QString source = QStringLiteral("&source=com.quorvella.app");
        // The sizes are checked on the wire in tst_qrcode and tst_screenshots.
        QTest::newRow("/ ? space UTF-8 encoded, & = : kept")
            << "quorv.link/a&b=c:d é?" << Rendering::Size128
            << "quorv.link%2Fa&b=c:d%20%C3%A9%3F" + source + "&size=128&dummy="
            << "abc-128px.png";
        QTest::newRow("svg") << "quorv.link/abc" << Rendering::Svg
                             << "quorv.link%2Fabc" + source + "&type=svg6&dummy="
                             << "abc.svg";
    }
    void qrRequestAndName()
    {
        QFETCH(QString, shortURL);
        QFETCH(Rendering, rendering);
        QFETCH(QString, query);
        QFETCH(QString, suggested);
        const QUrl host(QStringLiteral("https://qr.example.test/"));
        // Each save's own dummy, never shared, is tst_qrcode's to check on the wire.
        const QString dummy = QRController::drawDummy();
        QVERIFY(QRegularExpression(QStringLiteral("^[01]\\.\\d\\d$")).match(dummy).hasMatch());
        QCOMPARE(QString::fromUtf8(
                     QRController::qrImageURL(host, shortURL, rendering, dummy).toEncoded()),
                 "https://qr.example.test/v1/qrcode?shortUrl=" + query + dummy);
        QCOMPARE(QRController::suggestedName(QStringLiteral("abc"), rendering), suggested);
    }
    // Strictly inside the call-to-action: a click on its edge falls on the popover's background,
    // which keeps the popover open as well.
    void ctaEdges()
    {
        const QRectF cta(10, 20, 100, 50);
        for (const QPointF edge :
             {QPointF(10, 45), QPointF(60, 20), QPointF(110, 45), QPointF(60, 70)})
            QVERIFY(!QRController::isInsideCta(edge, cta));
        QVERIFY(QRController::isInsideCta(QPointF(11, 21), cta));
    }
    // Each choice closes the share popover at once and the main one half a second later; a
    // site opens then, the mail program at once. An e-mail row without an address stands for
    // a desktop without a mail program.
    void shareByKeyboard_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shortURL");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected"); // what opens, encoded; empty: nothing
        QTest::addColumn<QString>("notification");
        // Everything but the unreserved characters is encoded: "&" in a title ends nothing.
        const auto mail = [](const QString &title) {
            return "mailto:?subject=" + title +
                   "&body=Hi%20there%2C%0AI%27d%20like%20to%20share%20a%20branded%20link%20with"
                   "%20you%2C%0A%0A" +
                   title + "%3A%0Ahttps%3A%2F%2Fquorv.link%2Fa%26b%0A%0ACreated%20with%20Quorvella";
        };
        QTest::newRow("e-mail, Enter")
            << "emailButton" << int(Qt::Key_Return) << "quorv.link/a&b"
            << "Sale & more" << mail("Sale%20%26%20more") << "qv-close-popover";
        QTest::newRow("e-mail, empty title starts with the colon")
            << "emailButton" << int(Qt::Key_Space) << "quorv.link/a&b"
            << "" << mail("") << "qv-close-popover";
        QTest::newRow("e-mail, no mail program")
            << "emailButton" << int(Qt::Key_Return) << "quorv.link/a&b"
            << "Sale"
            << ""
            << "qv-close-popover";
        QTest::newRow("Facebook, Enter")
            << "facebookButton" << int(Qt::Key_Return) << "quorv.link/abc"
            << "Title"
            << "https://www.facebook.com/sharer/sharer.php?u=https://quorv.link/abc"
            << "qv-main-popover-close";
        QTest::newRow("Twitter, keypad Enter, UTF-8")
            << "twitterButton" << int(Qt::Key_Enter) << "quorv.link/ü#"
            << "Title"
            << "https://twitter.com/share?url=https://quorv.link/%C3%BC%23"
            << "qv-close-popover";
        QTest::newRow("no short URL: the popover closes, nothing opens")
            << "twitterButton" << int(Qt::Key_Space) << ""
            << "Title"
            << ""
            << "";
    }
    void shareByKeyboard()
    {
        QFETCH(QString, choice);
        QFETCH(int, key);
        QFETCH(QString, shortURL);
        QFETCH(QString, title);
        QFETCH(QString, expected);
        QFETCH(QString, notification);
        const bool email = choice == QLatin1String("emailButton");
        if (email && expected.isEmpty())
            m_platform->fakeWorkspace.handledSchemes = {QStringLiteral("https")};
        PostCounter closeShare(NotificationViews::closeSharePopup);
        PostCounter closing(notification);
        PostCounter mainClose(NotificationViews::mainPopoverClose);
        PostCounter close(NotificationViews::closePopover);
        QList<QUrl> &opened = m_platform->fakeWorkspace.opened;
        {
            Popover popover;
            showIn(popover, ShareController::create(shortURL, title));
            tabTo(popover, {"emailButton", "facebookButton", "twitterButton", "linkedinButton"},
                  choice);
            QTest::keyClick(popover.focusWidget(), static_cast<Qt::Key>(key));
        }
        // At once: only the share popover closes; the rest follows, even with the controller
        // gone.
        QCOMPARE(closeShare.count, 1);
        QCOMPARE(closing.count, 0);
        QCOMPARE(opened.size(), email && !expected.isEmpty() ? 1 : 0);
        QTest::qWait(ShareController::delayMs + 100);
        QCOMPARE(closing.count, notification.isEmpty() ? 0 : 1);
        QCOMPARE(mainClose.count + close.count, notification.isEmpty() ? 0 : 1);
        QCOMPARE(opened.size(), expected.isEmpty() ? 0 : 1);
        if (!expected.isEmpty())
            QCOMPARE(opened.first().toEncoded(), expected.toUtf8());
    }

private:
    // A click on "Sign in" in the signed-out popover.
    WindowNoTitleBar *openWindow()
    {
        Popover popover;
        showIn(popover, std::make_unique<LoginViewController>());
        QTest::mouseClick(popover.findChild<QPushButton *>("loginButton"), Qt::LeftButton);
        return m_platform->lastWebView ? LoginViewController::signInWindow() : nullptr;
    }

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<HttpSink> m_service;
    FakePlatform *m_platform = nullptr;
};

QTEST_MAIN(ControllersTest)
#include "tst_controllers.moc"
