#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "Controllers/QRController.h"
#include "Controllers/ShareController.h"
#include "LogCapture.h"
#include "Platform/testing/FakePlatform.h"
#include "Services/Config.h"
#include "TestEnvironment.h"

#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>

using namespace Costants;
using Rendering = QRController::Rendering;
using Site = ShareController::Site;

Q_DECLARE_METATYPE(Rendering)
Q_DECLARE_METATYPE(Site)

namespace {

// Counts the posts of one notification name.
class PostCounter : public QObject
{
public:
    explicit PostCounter(const QString &name)
    {
        NotificationCenter::shared().addObserver(this, name,
                                                 [this](const Notification &) { ++count; });
    }
    int count = 0;
};

} // namespace

class QRShareTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void qrRequestAndName_data();
    void qrRequestAndName();
    void outsideClicks_data();
    void outsideClicks();
    void shareOnSite_data();
    void shareOnSite();
    void email_data();
    void email();

private:
    FakePlatform *m_platform = nullptr;
};

void QRShareTest::initTestCase()
{
    m_platform = &FakePlatform::installNew();
    // Nothing listens there: every image is drawn locally, no test waits for a network.
    Config config = Config::productionDefaults();
    config.qrHost = QUrl(QStringLiteral("http://127.0.0.1:9"));
    Config::install(config);
}

void QRShareTest::init()
{
    m_platform->fakeWorkspace = FakeWorkspace();
}

void QRShareTest::qrRequestAndName_data()
{
    QTest::addColumn<QString>("shortURL");
    QTest::addColumn<Rendering>("rendering");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("suggested");
    const QString source = QStringLiteral("&source=com.quorvella.app");
    QTest::newRow("slash encoded, 64")
        << "quorv.link/abc" << Rendering::Size64 << "quorv.link%2Fabc" + source + "&size=64&dummy="
        << "abc-64px.png";
    QTest::newRow("& = : kept, 128") << "quorv.link/a&b=c:d" << Rendering::Size128
                                     << "quorv.link%2Fa&b=c:d" + source + "&size=128&dummy="
                                     << "abc-128px.png";
    QTest::newRow("? and space, 256") << "quorv.link/a b?" << Rendering::Size256
                                      << "quorv.link%2Fa%20b%3F" + source + "&size=256&dummy="
                                      << "abc-256px.png";
    QTest::newRow("UTF-8, 512") << "quorv.link/café" << Rendering::Size512
                                << "quorv.link%2Fcaf%C3%A9" + source + "&size=512&dummy="
                                << "abc-512px.png";
    QTest::newRow("svg") << "quorv.link/abc" << Rendering::Svg
                         << "quorv.link%2Fabc" + source + "&type=svg6&dummy="
                         << "abc.svg";
}

void QRShareTest::qrRequestAndName()
{
    QFETCH(QString, shortURL);
    QFETCH(Rendering, rendering);
    QFETCH(QString, query);
    QFETCH(QString, suggested);
    const QUrl host(QStringLiteral("https://qr.example.test/"));
    const QString first = QRController::drawDummy();
    const QString second = QRController::drawDummy();
    QVERIFY(QRegularExpression(QStringLiteral("^[01]\\.\\d\\d$")).match(first).hasMatch());
    // Two requests of the same rendering never share a dummy, so no cache answers the second.
    QVERIFY(first != second);
    const QUrl url = QRController::qrImageURL(host, shortURL, rendering, first);
    QCOMPARE(QString::fromUtf8(url.toEncoded()),
             "https://qr.example.test/v1/qrcode?shortUrl=" + query + first);
    QVERIFY(QRController::qrImageURL(host, shortURL, rendering, second) != url);
    QCOMPARE(QRController::suggestedName(QStringLiteral("abc"), rendering), suggested);
}

void QRShareTest::outsideClicks_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<int>("closes");
    const QStringList outsideInside = {"IS OUTSIDE CTA VIEW", "IS INSIDE"};
    QTest::newRow("inside") << "centre" << true << QStringList{"TOUCHED INSIDE!!"} << 0;
    QTest::newRow("on the left edge") << "left" << true << outsideInside << 0;
    QTest::newRow("on the top edge") << "top" << true << outsideInside << 0;
    QTest::newRow("on the right edge") << "right" << true << outsideInside << 0;
    QTest::newRow("on the bottom edge") << "bottom" << true << outsideInside << 0;
    QTest::newRow("one in from the corner")
        << "corner+1" << true << QStringList{"TOUCHED INSIDE!!"} << 0;
    QTest::newRow("outside the popover")
        << "away" << true << QStringList{"IS OUTSIDE CTA VIEW"} << 1;
    QTest::newRow("popover not shown") << "away" << false << QStringList{} << 0;
}

void QRShareTest::outsideClicks()
{
    QFETCH(QString, where);
    QFETCH(bool, shown);
    QFETCH(QStringList, logged);
    QFETCH(int, closes);
    QRController qr(QStringLiteral("quorv.link/abc"), QStringLiteral("abc"), true);
    ShareController share(QStringLiteral("quorv.link/abc"), QStringLiteral("Sale"));
    qr.move(100, 100);
    share.move(600, 100);
    if (shown) {
        qr.show();
        share.show();
        QVERIFY(QTest::qWaitForWindowExposed(&qr));
    }
    auto *cta = qr.findChild<QWidget *>(QStringLiteral("ctaView"));
    QVERIFY(cta);
    const QRectF r(QPointF(cta->mapToGlobal(QPoint(0, 0))), QSizeF(cta->size()));
    const QHash<QString, QPointF> points = {
        {"centre", r.center()},
        {"left", {r.left(), r.center().y()}},
        {"top", {r.center().x(), r.top()}},
        {"right", {r.left() + r.width(), r.center().y()}},
        {"bottom", {r.center().x(), r.top() + r.height()}},
        {"corner+1", r.topLeft() + QPointF(1, 1)},
        {"away", {20, 20}},
    };
    PostCounter closeQr(NotificationViews::closeQrPopup);
    PostCounter closeShare(NotificationViews::closeSharePopup);
    LogCapture log;
    qr.localMatchingEvent(points.value(where));
    QCOMPARE(log.lines(), logged);
    QCOMPARE(closeQr.count, closes);
    // The share popover closes on the same rule: outside its background only.
    share.localMatchingEvent(points.value(where));
    QCOMPARE(closeShare.count, shown ? 1 : 0);
    share.localMatchingEvent(QPointF(share.mapToGlobal(QPoint(5, 5))));
    QCOMPARE(closeShare.count, shown ? 1 : 0);
}

void QRShareTest::shareOnSite_data()
{
    QTest::addColumn<Site>("site");
    QTest::addColumn<QString>("shortURL");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("notification");
    QTest::newRow("Facebook") << Site::Facebook << "quorv.link/abc"
                              << "https://www.facebook.com/sharer/sharer.php?u=https://"
                                 "quorv.link/abc"
                              << "qv-main-popover-close";
    QTest::newRow("Twitter, space") << Site::Twitter << "quorv.link/a b"
                                    << "https://twitter.com/share?url=https://quorv.link/a%20b"
                                    << "qv-close-popover";
    QTest::newRow("LinkedIn, query characters kept")
        << Site::Linkedin << "quorv.link/x?a=1&b@c"
        << "https://www.linkedin.com/sharing/share-offsite/?url=https://quorv.link/x?a=1&b@c"
        << "qv-close-popover";
    QTest::newRow("Twitter, UTF-8") << Site::Twitter << "quorv.link/ü#"
                                    << "https://twitter.com/share?url=https://quorv.link/%C3%BC%23"
                                    << "qv-close-popover";
}

void QRShareTest::shareOnSite()
{
    QFETCH(Site, site);
    QFETCH(QString, shortURL);
    QFETCH(QString, expected);
    QFETCH(QString, notification);
    PostCounter closeShare(NotificationViews::closeSharePopup);
    PostCounter closing(notification);
    PostCounter mainClose(NotificationViews::mainPopoverClose);
    PostCounter close(NotificationViews::closePopover);
    {
        ShareController share(shortURL, QStringLiteral("Title"));
        if (site == Site::Facebook)
            share.openFacebook();
        else if (site == Site::Twitter)
            share.openTwitter();
        else
            share.openLinkedin();
    }
    // At once: only the share popover closes. The site opens later, even with the
    // controller gone.
    QCOMPARE(closeShare.count, 1);
    QCOMPARE(closing.count, 0);
    QVERIFY(m_platform->fakeWorkspace.opened.isEmpty());
    QTRY_COMPARE(m_platform->fakeWorkspace.opened.size(), 1);
    QCOMPARE(m_platform->fakeWorkspace.opened.first().toEncoded(), expected.toUtf8());
    QCOMPARE(closing.count, 1);
    QCOMPARE(mainClose.count + close.count, 1);
}

void QRShareTest::email_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("hasMailProgram");
    QTest::addColumn<QString>("body");
    const QString greeting =
        QStringLiteral("Hi there,\nI'd like to share a branded link with you,\n\n");
    const QString tail = QStringLiteral(":\nhttps://quorv.link/a&b\n\nCreated with Quorvella");
    QTest::newRow("title") << "Sale & more" << true << greeting + "Sale & more" + tail;
    QTest::newRow("empty title starts with the colon") << "" << true << greeting + tail;
    QTest::newRow("no mail program") << "Sale" << false << QString();
}

void QRShareTest::email()
{
    QFETCH(QString, title);
    QFETCH(bool, hasMailProgram);
    QFETCH(QString, body);
    if (!hasMailProgram)
        m_platform->fakeWorkspace.handledSchemes = {QStringLiteral("https")};
    PostCounter closeShare(NotificationViews::closeSharePopup);
    PostCounter close(NotificationViews::closePopover);
    ShareController share(QStringLiteral("quorv.link/a&b"), title);
    share.openEmail();
    QCOMPARE(closeShare.count, 1);
    QTRY_COMPARE(close.count, 1);
    if (!hasMailProgram) {
        QVERIFY(m_platform->fakeWorkspace.opened.isEmpty());
        return;
    }
    QCOMPARE(m_platform->fakeWorkspace.opened.size(), 1);
    const QUrl mail = m_platform->fakeWorkspace.opened.first();
    QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
    QVERIFY(mail.path().isEmpty());
    const QUrlQuery query(mail);
    QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), title);
    QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), body);
}

QTEST_MAIN(QRShareTest)
#include "tst_qrshare.moc"
