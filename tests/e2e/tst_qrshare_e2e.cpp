// The QR and share popovers on a real X server with the desktop's own facilities: the QR code
// from the sandbox saved through the file dialog, and a site's share page handed to the
// desktop's URL handler, here a recording stand-in registered in the test's XDG folders.
#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "Controllers/QRShare/QRController.h"
#include "Controllers/QRShare/QRSaveJob.h"
#include "Controllers/QRShare/ShareController.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Platform/linux/LinuxPlatform.h"
#include "SandboxProcess.h"
#include "Services/Config.h"
#include "TestEnvironment.h"
#include "Views/Popover.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonObject>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

void keepScreenshot(QWidget &widget, const QString &name)
{
    const QString folder = QStringLiteral(QUORVELLA_BINARY_DIR "/../screenshots");
    QDir().mkpath(folder);
    QVERIFY(widget.grab().toImage().save(folder + '/' + name));
}

} // namespace

class QRShareEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void qrPopoverSavesThroughTheFileDialog();
    void shareOpensTheSiteWithTheDesktopHandler();

private:
    std::unique_ptr<SandboxProcess> m_sandbox;
    std::unique_ptr<TestEnvironment> m_environment;
    QNetworkAccessManager m_network;
};

void QRShareEndToEndTest::initTestCase()
{
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("needs an X server (run under xvfb-run)");
    m_environment = std::make_unique<TestEnvironment>();
    // The file dialog opens in the test's own Documents folder.
    m_environment->setVariable("HOME", QFile::encodeName(m_environment->root()));
    m_sandbox = std::make_unique<SandboxProcess>();
    QVERIFY2(m_sandbox->isRunning(), qPrintable(m_sandbox->startError()));
    m_network.setProxy(QNetworkProxy::NoProxy);
    QRController::setNetworkAccessManager(&m_network);
    Config::install(Config::productionDefaults().routedTo(m_sandbox->baseUrl()));
    Platform::install(std::make_unique<LinuxPlatform>());
}

void QRShareEndToEndTest::qrPopoverSavesThroughTheFileDialog()
{
    // A slow QR service: the popover shows its spinner meanwhile, and nothing freezes.
    QCOMPARE(m_sandbox
                 ->control("POST", "/__sandbox/faults",
                           QJsonObject{{"path", "/v1/qrcode"}, {"delayMs", 1500}, {"times", 1}})
                 .status,
             200);
    Popover popover;
    popover.setContentViewController(QRController::create("quorv.link/welcome", "welcome", true));
    auto *qr = static_cast<QRController *>(popover.contentViewController());
    popover.show(QRect(900, 0, 24, 24));
    QVERIFY(QTest::qWaitForWindowExposed(&popover));
    QVERIFY(qr->isLoading());
    keepScreenshot(popover, "popover-qr-loading.png");
    QTRY_VERIFY_WITH_TIMEOUT(!qr->isLoading(), 10000);
    QCOMPARE(qr->qr3().size(), QSize(256, 256));

    // The download menu's 512-pixel entry, below the popover's edge, clicked as the user
    // does: the click in the menu must neither close the popover nor get lost.
    auto *menu = qr->findChild<QMenu *>("downloadMenu");
    auto *button = qr->findChild<QPushButton *>("downloadButton");
    QVERIFY(menu && button);
    QAction *entry = menu->actions().at(3);
    QVERIFY(entry->text().contains("512"));
    int closes = 0;
    NotificationCenter::shared().addObserver(&popover, Costants::NotificationViews::closeQrPopup,
                                             [&closes](const Notification &) { ++closes; });
    // Through the windows, as the X server delivers clicks.
    QTimer::singleShot(300, menu, [menu, entry] {
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {},
                          menu->actionGeometry(entry).center());
    });
    // The menu runs until the entry is picked.
    QTest::mouseClick(popover.windowHandle(), Qt::LeftButton, {},
                      button->mapTo(&popover, button->rect().center()));
    QPointer<QFileDialog> dialog;
    QTRY_VERIFY([&dialog] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *candidate = qobject_cast<QFileDialog *>(window);
                candidate && candidate->isVisible())
                dialog = candidate;
        }
        return !dialog.isNull();
    }());
    QCOMPARE(dialog->windowTitle(), "Save QR code");
    QCOMPARE(dialog->labelText(QFileDialog::Accept), "Save to file");
    QCOMPARE(dialog->labelText(QFileDialog::FileName), "Pick a name");
    QVERIFY(dialog->selectedFiles().value(0).endsWith("/welcome-512px.png"));
    QTest::qWait(200); // let the dialog paint before it is photographed
    keepScreenshot(*dialog, "dialog-save-qr.png");
    const QString file = m_environment->root() + "/saved/welcome-512px.png";
    QDir().mkpath(QFileInfo(file).path());
    dialog->selectFile(file);
    static_cast<QDialog *>(dialog.data())->accept();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 10000);
    QTRY_COMPARE(QImage(file, "PNG").size(), QSize(512, 512));
    // Closed once, by the save; the click in the menu was no click outside.
    QCOMPARE(closes, 1);
}

void QRShareEndToEndTest::shareOpensTheSiteWithTheDesktopHandler()
{
    const QString recording = m_environment->root() + "/opened.txt";
    const QString recorder = m_environment->root() + "/bin/record-url";
    writeFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + recording.toUtf8() + "'\n");
    QFile::setPermissions(recorder, QFile::permissions(recorder) | QFile::ExeOwner);
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    writeFile(data + "/applications/qv-record-url.desktop",
              "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + recorder.toUtf8() +
                  " %u\nMimeType=x-scheme-handler/https;x-scheme-handler/mailto;\n");
    writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + "/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/https=qv-record-url.desktop\n"
              "x-scheme-handler/mailto=qv-record-url.desktop\n");
    Workspace &workspace = Platform::current().workspace();
    QVERIFY(workspace.hasHandlerFor("mailto"));
    QVERIFY(!workspace.hasHandlerFor("x-quorvella-nothing"));

    Popover popover;
    popover.setContentViewController(
        ShareController::create("quorv.link/spring sale", "Spring sale"));
    popover.show(QRect(900, 0, 24, 24));
    QVERIFY(QTest::qWaitForWindowExposed(&popover));
    auto *linkedin = popover.findChild<QPushButton *>("linkedinButton");
    QVERIFY(linkedin);
    QTest::mouseClick(linkedin, Qt::LeftButton);
    const auto recorded = [&recording] {
        QFile file(recording);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(recorded(),
                              QStringLiteral("https://www.linkedin.com/sharing/share-offsite/"
                                             "?url=https://quorv.link/spring%20sale"),
                              10000);
}

QTEST_MAIN(QRShareEndToEndTest)
#include "tst_qrshare_e2e.moc"
