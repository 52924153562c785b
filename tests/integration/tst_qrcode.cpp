// QR codes saved against the sandbox's QR service, which draws real codes: every file decodes
// as what it claims, and a scanner reads the link back, also when the service fails.
#include "Controllers/QRShare/QRController.h"
#include "Controllers/QRShare/QRSaveJob.h"
#include "ServiceHarness.h"
#include "Views/Popover.h"

#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTimer>

using namespace Costants;

namespace {

// What a scanner reads from the picture in the file (an SVG is rasterised first).
QString scan(const QString &file)
{
    QString picture = file;
    if (file.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(file);
        QImage image(400, 400, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        picture = file + QStringLiteral(".png");
        image.save(picture);
    }
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), picture});
    zbar.waitForFinished(10000);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

// The saves of the popover's menu: 64, 128, 256 and 512 pixels, SVG, SVG into Documents.
QRSaveJob *save(QRController &qr, int action)
{
    switch (action) {
    case 1:
        return qr.saveQR1();
    case 2:
        return qr.saveQR2();
    case 3:
        return qr.saveQR3();
    case 4:
        return qr.saveQR4();
    case 5:
        return qr.saveSVG();
    default:
        return qr._saveSVG();
    }
}

} // namespace

class QRCodeTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<SandboxProcess> m_sandbox;
    QNetworkAccessManager m_network;
    FakePlatform *m_platform = nullptr;

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
            QSKIP("zbarimg (zbar-tools) is not installed: scripts/setup-debian.sh installs it");
        m_sandbox = std::make_unique<SandboxProcess>();
        QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
        m_network.setProxy(QNetworkProxy::NoProxy);
        QRController::setNetworkAccessManager(&m_network);
        Config::install(Config::productionDefaults().routedTo(m_sandbox->baseUrl()));
        m_platform = &FakePlatform::installNew();
    }

    void init()
    {
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/faults").status, 200);
        QCOMPARE(m_sandbox->control("DELETE", "/__sandbox/requests").status, 200);
        m_platform->alertPresenter.clear();
    }

    void savedFileDecodes_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("shortURL");
        QTest::addColumn<bool>("isHttps");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<int>("size"); // 0: SVG
        const QString welcome = QStringLiteral("quorv.link/welcome");
        const QJsonObject none;
        const QJsonObject status{{"path", "/v1/qrcode"}, {"status", 500}};
        const QJsonObject drop{{"path", "/v1/qrcode"}, {"drop", true}};
        const QJsonObject garbage{{"path", "/v1/qrcode"}, {"malformedJson", true}};
        QTest::newRow("64") << 1 << welcome << true << none << 64;
        QTest::newRow("128") << 2 << welcome << true << none << 128;
        QTest::newRow("256, the one shown") << 3 << welcome << true << none << 256;
        QTest::newRow("512") << 4 << welcome << true << none << 512;
        QTest::newRow("svg") << 5 << welcome << true << none << 0;
        QTest::newRow("svg into Documents") << 6 << welcome << true << none << 0;
        QTest::newRow("http domain") << 2 << "dana.plain-demo.net/x" << false << none << 128;
        QTest::newRow("64, error status: local") << 1 << welcome << true << status << 64;
        QTest::newRow("256, dropped: local") << 3 << welcome << true << drop << 256;
        QTest::newRow("512, no PNG: local") << 4 << welcome << true << garbage << 512;
        QTest::newRow("svg, error status: local") << 5 << welcome << true << status << 0;
        QTest::newRow("svg, no SVG: local") << 5 << welcome << true << garbage << 0;
        QTest::newRow("svg into Documents, dropped") << 6 << welcome << true << drop << 0;
        QTest::newRow("http domain, dropped: local")
            << 2 << "dana.plain-demo.net/x" << false << drop << 128;
    }

    void savedFileDecodes()
    {
        QFETCH(int, action);
        QFETCH(QString, shortURL);
        QFETCH(bool, isHttps);
        QFETCH(QJsonObject, fault);
        QFETCH(int, size);
        TestEnvironment environment;
        // The Documents folder of the test's own home.
        environment.setVariable("HOME", QFile::encodeName(environment.root()));
        if (!fault.isEmpty())
            QVERIFY(harness::arm(*m_sandbox, fault));
        LogCapture log;
        QTemporaryDir folder;
        const QString file =
            action == 6
                ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/qr.svg"
                : folder.filePath(size ? "code.png" : "code.svg");
        if (action != 6)
            m_platform->saveDialogs.script(1, file);
        QRController qr(shortURL, QStringLiteral("abc"), isHttps);
        QVERIFY(!qr.isLoading()); // nothing is fetched before the popover shows
        qr.show();
        // The 256-pixel save of a popover still loading waits for its own image.
        if (action != 3) {
            QVERIFY(qr.isLoading());
            QTRY_VERIFY(!qr.isLoading());
            QCOMPARE(qr.qr3().size(), QSize(256, 256));
        }
        QPointer<QRSaveJob> job = save(qr, action);
        QTRY_VERIFY_WITH_TIMEOUT(!job, 15000);
        QVERIFY(m_platform->alertPresenter.shown().isEmpty());
        const QString link = (isHttps ? "https://" : "http://") + shortURL;
        QCOMPARE(scan(file), link);
        if (size) {
            QCOMPARE(QImage(file, "PNG").size(), QSize(size, size));
        } else {
            QFile svg(file);
            QVERIFY(svg.open(QIODevice::ReadOnly));
            QVERIFY(QSvgRenderer(svg.readAll()).isValid());
        }
        bool local = false;
        for (const QString &line : log.lines())
            local = local || line.startsWith(QLatin1String("QR code drawn locally: "));
        QCOMPARE(local, !fault.isEmpty());
    }

    void failureWritesNothing_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("shortURL");
        QTest::addColumn<QString>("path");
        // Too long for any QR code: the service refuses it and it cannot be drawn here either.
        const QString tooLong = "quorv.link/" + QString(3000, QLatin1Char('x'));
        QTest::newRow("png, too long") << 1 << tooLong << "code.png";
        QTest::newRow("svg, too long") << 5 << tooLong << "code.svg";
        QTest::newRow("png, folder not writable") << 4 << "quorv.link/welcome"
                                                  << "missing/code.png";
        QTest::newRow("svg, folder not writable") << 5 << "quorv.link/welcome"
                                                  << "missing/code.svg";
    }

    void failureWritesNothing()
    {
        QFETCH(int, action);
        QFETCH(QString, shortURL);
        QFETCH(QString, path);
        TestEnvironment environment;
        QVERIFY(harness::arm(
            *m_sandbox,
            {{"path", "/v1/qrcode"}, {"status", 500}, {"body", "<svg>error page</svg>"}}));
        QTemporaryDir folder;
        m_platform->saveDialogs.script(1, folder.filePath(path));
        QRController qr(shortURL, QStringLiteral("abc"), true);
        QPointer<QRSaveJob> job = save(qr, action);
        QTRY_VERIFY_WITH_TIMEOUT(!job, 15000);
        QCOMPARE(m_platform->alertPresenter.shown().size(), 1);
        QCOMPARE(m_platform->alertPresenter.shown().first().message, QStringLiteral("Error"));
        QCOMPARE(m_platform->alertPresenter.shown().first().informativeText,
                 QStringLiteral("Failed to save image."));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // Chosen in the popover's download menu by keyboard alone; the name offered never leaves
    // the folder shown.
    void cancelAsksAnewEachTime_data()
    {
        QTest::addColumn<QString>("slashtag");
        QTest::addColumn<QString>("suggested");
        QTest::newRow("plain") << "welcome"
                               << "welcome-64px.png";
        QTest::newRow("parent folders") << "../../evil"
                                        << "evil-64px.png";
        QTest::newRow("hidden file") << ".profile"
                                     << "profile-64px.png";
        QTest::newRow("backslash") << "a\\b"
                                   << "a-b-64px.png";
        QTest::newRow("nothing left") << "./"
                                      << "qr-code-64px.png";
    }
    void cancelAsksAnewEachTime()
    {
        QFETCH(QString, slashtag);
        QFETCH(QString, suggested);
        TestEnvironment environment;
        PostCounter toggle(NotificationViews::togglePopover);
        PostCounter closeQr(NotificationViews::closeQrPopup);
        LogCapture log;
        Popover popover;
        popover.setTransient(nullptr);
        popover.setContentViewController(
            QRController::create(QStringLiteral("quorv.link/") + slashtag, slashtag, true));
        popover.show(QRect(900, 0, 24, 24));
        // The keyboard starts on the download button, the popover's only control.
        auto *download = popover.findChild<QPushButton *>(QStringLiteral("downloadButton"));
        QCOMPARE(popover.focusWidget(), download);
        // Each save asks the service anew, with its own dummy value, while its panel is open.
        const auto dummies = [this] {
            QStringList values;
            for (const QJsonValue &request : harness::requests(*m_sandbox, "/v1/qrcode")) {
                const QUrlQuery query(request["query"].toString());
                if (query.queryItemValue(QStringLiteral("size")) == QLatin1String("64"))
                    values.append(query.queryItemValue(QStringLiteral("dummy")));
            }
            return values;
        };
        const qsizetype panelsBefore = m_platform->saveDialogs.begun().size();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
            // Enter, then Space, open the menu, which runs while the button is down: Down and
            // Enter pick its first entry from inside.
            QTimer::singleShot(50, download, [download] {
                if (!download->menu()->isVisible())
                    return;
                QTest::keyClick(download->menu(), Qt::Key_Down);
                QTest::keyClick(download->menu(), Qt::Key_Return);
            });
            QTest::keyClick(download, key);
            const int i = key == Qt::Key_Return ? 0 : 1;
            QTRY_COMPARE(m_platform->saveDialogs.begun().size(), panelsBefore + i + 1);
            QTRY_COMPARE(dummies().size(), i + 1);
            m_platform->saveDialogs.answer(0);
        }
        QVERIFY(dummies().first() != dummies().last());
        QCOMPARE(m_platform->saveDialogs.begun().last().suggestedName, suggested);
        QCOMPARE(m_platform->saveDialogs.begun().last().title, QStringLiteral("Save QR code"));
        // Once after the panel opened and once at cancel, each time.
        QTRY_COMPARE(toggle.count, 4);
        QCOMPARE(closeQr.count, 2);
        QCOMPARE(log.count(QStringLiteral("User Cancelled")), 2);
        QTest::keyClick(download, Qt::Key_Escape);
        QVERIFY(!popover.isShown());
    }
};

QTEST_MAIN(QRCodeTest)
#include "tst_qrcode.moc"
