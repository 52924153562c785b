// QR codes saved against the sandbox's QR service, which draws real codes: every file decodes
// as what it claims, and a scanner reads the link back, also when the service fails.
#include "Controllers/QRShare/QRController.h"
#include "ServiceHarness.h"
#include "Views/Popover.h"

#include <QMenu>
#include <QPainter>
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
        picture = file + ".png";
        image.save(picture);
    }
    QProcess zbar;
    zbar.start("zbarimg", {"--raw", "-q", picture});
    zbar.waitForFinished(10000);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

// Opens the download menu from the keyboard (Space or Enter) and picks its entry: 0 to 3 the
// PNGs of 64 to 512 pixels, 4 the SVG. The menu runs while the button is down, so the keys
// that pick are typed from inside it.
void pick(QPushButton *download, int entry, Qt::Key opening = Qt::Key_Space)
{
    // Looks until the menu shows, however slow the machine.
    auto *look = new QTimer(download);
    QObject::connect(look, &QTimer::timeout, download, [download, entry, look] {
        if (!download->menu()->isVisible())
            return;
        look->stop();
        look->deleteLater();
        for (int i = 0; i <= entry; ++i)
            QTest::keyClick(download->menu(), Qt::Key_Down);
        QTest::keyClick(download->menu(), Qt::Key_Return);
    });
    look->start(20);
    QTest::keyClick(download, opening);
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
        if (QStandardPaths::findExecutable("zbarimg").isEmpty())
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

    // Each entry of the download menu saves a file a scanner reads back, drawn here when the
    // service fails; a code too long for any QR code, or a folder that cannot be written,
    // ends in an error and writes nothing.
    void saveFromTheMenu_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("shortURL");
        QTest::addColumn<bool>("isHttps");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("name"); // below the chosen folder; "missing/…": not there
        QTest::addColumn<int>("size");     // 0: SVG; -1: the save fails
        const QString welcome = "quorv.link/welcome";
        const QString tooLong = "quorv.link/" + QString(3000, 'x');
        const QJsonObject none;
        const QJsonObject status{{"path", "/v1/qrcode"}, {"status", 500}};
        const QJsonObject drop{{"path", "/v1/qrcode"}, {"drop", true}};
        const QJsonObject garbage{{"path", "/v1/qrcode"}, {"malformedJson", true}};
        const QJsonObject errorPage{
            {"path", "/v1/qrcode"}, {"status", 500}, {"body", "<svg>error page</svg>"}};
        QTest::newRow("64") << 0 << welcome << true << none << "code.png" << 64;
        QTest::newRow("256, the one shown") << 2 << welcome << true << none << "code.png" << 256;
        QTest::newRow("svg") << 4 << welcome << true << none << "code.svg" << 0;
        QTest::newRow("http domain")
            << 1 << "dana.plain-demo.net/x" << false << none << "c.png" << 128;
        QTest::newRow("64, error status: local") << 0 << welcome << true << status << "c.png" << 64;
        QTest::newRow("256, dropped: local") << 2 << welcome << true << drop << "c.png" << 256;
        QTest::newRow("512, no PNG: local") << 3 << welcome << true << garbage << "c.png" << 512;
        QTest::newRow("svg, error status: local") << 4 << welcome << true << status << "c.svg" << 0;
        QTest::newRow("svg, no SVG: local") << 4 << welcome << true << garbage << "c.svg" << 0;
        QTest::newRow("http domain, dropped: local")
            << 1 << "dana.plain-demo.net/x" << false << drop << "c.png" << 128;
        QTest::newRow("png, too long") << 0 << tooLong << true << errorPage << "c.png" << -1;
        QTest::newRow("svg, too long") << 4 << tooLong << true << errorPage << "c.svg" << -1;
        QTest::newRow("png, folder not writable")
            << 3 << welcome << true << errorPage << "missing/c.png" << -1;
        QTest::newRow("svg, folder not writable")
            << 4 << welcome << true << errorPage << "missing/c.svg" << -1;
    }
    void saveFromTheMenu()
    {
        QFETCH(int, entry);
        QFETCH(QString, shortURL);
        QFETCH(bool, isHttps);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, name);
        QFETCH(int, size);
        TestEnvironment environment;
        if (!fault.isEmpty())
            QVERIFY(harness::arm(*m_sandbox, fault));
        LogCapture log;
        QTemporaryDir folder;
        const QString file = folder.filePath(name);
        m_platform->saveDialogs.script(1, file);
        QRController qr(shortURL, "abc", isHttps);
        QVERIFY(!qr.isLoading()); // nothing is fetched before the popover shows
        qr.show();
        // The 256-pixel save of a popover still loading waits for its own image.
        if (entry != 2) {
            QVERIFY(qr.isLoading());
            QTRY_VERIFY(!qr.isLoading());
            // (A code too long for any QR code has no picture.)
            QCOMPARE(qr.qr3().size(), shortURL.size() < 100 ? QSize(256, 256) : QSize(0, 0));
        }
        pick(qr.findChild<QPushButton *>("downloadButton"), entry);
        if (size < 0) {
            QTRY_COMPARE_WITH_TIMEOUT(m_platform->alertPresenter.shown().size(), 1, 15000);
            QCOMPARE(m_platform->alertPresenter.shown().first().message, "Error");
            QCOMPARE(m_platform->alertPresenter.shown().first().informativeText,
                     "Failed to save image.");
            QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     QStringList());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 15000);
        QCOMPARE(scan(file), (isHttps ? "https://" : "http://") + shortURL);
        if (size)
            QCOMPARE(QImage(file, "PNG").size(), QSize(size, size));
        else
            QVERIFY(QSvgRenderer(file).isValid());
        QVERIFY(m_platform->alertPresenter.shown().isEmpty());
        QCOMPARE(log.lines().filter(QRegularExpression("^QR code drawn locally: ")).isEmpty(),
                 fault.isEmpty());
    }

    // Chosen in the popover's download menu by keyboard alone; the name offered never leaves
    // the folder shown.
    void cancelAsksAnewEachTime_data()
    {
        QTest::addColumn<QString>("slashtag");
        QTest::addColumn<QString>("suggested");
        const auto row = [](const char *name, const char *slashtag, const char *suggested) {
            QTest::newRow(name) << QString(slashtag) << QString(suggested);
        };
        row("parent folders", "../../evil", "evil-64px.png");
        row("hidden file", ".profile", "profile-64px.png");
        row("backslash", "a\\b", "a-b-64px.png");
        row("nothing left", "./", "qr-code-64px.png");
    }
    void cancelAsksAnewEachTime()
    {
        QFETCH(QString, slashtag);
        TestEnvironment environment;
        PostCounter toggle(NotificationViews::togglePopover);
        PostCounter closeQr(NotificationViews::closeQrPopup);
        LogCapture log;
        Popover popover;
        popover.setTransient(nullptr);
        popover.setContentViewController(
            QRController::create("quorv.link/" + slashtag, slashtag, true));
        popover.show(QRect(900, 0, 24, 24));
        // The keyboard starts on the download button, the popover's only control.
        auto *download = popover.findChild<QPushButton *>("downloadButton");
        QCOMPARE(popover.focusWidget(), download);
        // Each save asks the service anew, with its own dummy value, while its panel is open.
        const auto dummies = [this] {
            QStringList values;
            for (const QJsonValue &request : harness::requests(*m_sandbox, "/v1/qrcode")) {
                const QUrlQuery query(request["query"].toString());
                if (query.queryItemValue("size") == QLatin1String("64"))
                    values.append(query.queryItemValue("dummy"));
            }
            return values;
        };
        const qsizetype panelsBefore = m_platform->saveDialogs.begun().size();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
            pick(download, 0, key); // Enter, then Space
            const int i = key == Qt::Key_Return ? 0 : 1;
            QTRY_COMPARE(m_platform->saveDialogs.begun().size(), panelsBefore + i + 1);
            QTRY_COMPARE(dummies().size(), i + 1);
            m_platform->saveDialogs.answer(0);
        }
        QVERIFY(dummies().first() != dummies().last());
        QTEST(m_platform->saveDialogs.begun().last().suggestedName, "suggested");
        // Once after the panel opened and once at cancel, each time.
        QTRY_COMPARE(toggle.count, 4);
        QCOMPARE(closeQr.count, 2);
        QCOMPARE(log.count("User Cancelled"), 2);
        QTest::keyClick(download, Qt::Key_Escape);
        QVERIFY(!popover.isShown());
    }
};

QTEST_MAIN(QRCodeTest)
#include "tst_qrcode.moc"
