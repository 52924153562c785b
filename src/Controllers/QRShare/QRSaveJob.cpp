#include "Controllers/QRShare/QRSaveJob.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"
#include "Platform/SaveDialog.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Costants;

namespace {

// Its observer works on the popovers, so it runs after the current event.
void postTogglePopoverLater()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] { NotificationCenter::shared().post(NotificationViews::togglePopover); },
        Qt::QueuedConnection);
}

} // namespace

QRSaveJob *QRSaveJob::begin(Order order, QNetworkAccessManager *network, ImageKept kept)
{
    auto *job = new QRSaveJob(std::move(order), network, std::move(kept));
    QMetaObject::invokeMethod(job, &QRSaveJob::run, Qt::QueuedConnection);
    return job;
}

QRSaveJob::QRSaveJob(Order order, QNetworkAccessManager *network, ImageKept kept)
    : m_order(std::move(order))
    , m_network(network)
    , m_kept(std::move(kept))
{}

QRSaveJob::~QRSaveJob() = default;

void QRSaveJob::run()
{
    if (m_order.destination == Destination::Documents) {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QDir().mkpath(documents);
        m_path = documents + QStringLiteral("/qr.svg");
        downloadSvg();
        return;
    }
    NotificationCenter::shared().post(NotificationViews::closeQrPopup);
    if (!isSvg()) {
        m_imageReady = !m_order.image.isNull();
        if (!m_imageReady)
            m_download = std::make_unique<QRCodeDownload>(
                m_network, m_order.request, [this](std::optional<QRCodeDownload::Result> result) {
                    onImage(std::move(result));
                });
    }
    openPanel();
}

void QRSaveJob::openPanel()
{
    SavePanelOptions options;
    options.title = QStringLiteral("Save QR code");
    options.prompt = QStringLiteral("Save to file");
    options.nameFieldLabel = QStringLiteral("Pick a name");
    options.suggestedName = m_order.suggestedName;
    options.canSelectHiddenExtension = true;
    options.allowedTypes = {isSvg() ? QStringLiteral("svg") : QStringLiteral("png")};
    m_savePanel = Platform::current().createSaveDialog();
    m_savePanel->begin(
        options, [this](int response, const QString &path) { onPanelAnswer(response, path); });
    postTogglePopoverLater();
}

void QRSaveJob::onPanelAnswer(int response, const QString &path)
{
    if (response == SaveDialog::Cancel) {
        Logger::shared().log({QStringLiteral("User Cancelled")});
        NotificationCenter::shared().post(NotificationViews::togglePopover);
        finish();
        return;
    }
    if (response != SaveDialog::OK) {
        Logger::shared().log(
            {QStringLiteral("Panel shouldn't be anything other than OK or Cancel")});
        finish();
        return;
    }
    if (path.isEmpty()) {
        finish();
        return;
    }
    m_path = path;
    if (isSvg())
        downloadSvg();
    else
        writePngWhenReady();
}

void QRSaveJob::onImage(std::optional<QRCodeDownload::Result> result)
{
    m_imageReady = true;
    m_order.image = result ? result->image : QImage();
    if (m_kept && !m_order.image.isNull())
        m_kept(m_order.image);
    writePngWhenReady();
}

void QRSaveJob::writePngWhenReady()
{
    // The user may answer before the image arrives, or the other way round.
    if (m_path.isEmpty() || !m_imageReady)
        return;
    QByteArray png;
    QBuffer buffer(&png);
    QString error;
    if (m_order.image.isNull() || !buffer.open(QIODevice::WriteOnly) ||
        !m_order.image.save(&buffer, "PNG") || !writeFile(m_path, png, &error)) {
        if (!error.isEmpty())
            Logger::shared().log({QStringLiteral("error writing file : "), error});
        showFailure();
    }
    finish();
}

void QRSaveJob::downloadSvg()
{
    QRCodeDownload::Request request = m_order.request;
    request.timeoutMs = 60000;
    m_download = std::make_unique<QRCodeDownload>(
        m_network, request,
        [this](std::optional<QRCodeDownload::Result> result) { onSvg(std::move(result)); });
}

void QRSaveJob::onSvg(std::optional<QRCodeDownload::Result> result)
{
    if (!result) {
        showFailure();
        finish();
        return;
    }
    QString error;
    if (!writeFile(m_path, result->svg, &error)) {
        Logger::shared().log({QStringLiteral("error writing file : "), error});
        showFailure();
    }
    Logger::shared().log({QStringLiteral("Dispatched and downloaded!")});
    postTogglePopoverLater();
    finish();
}

void QRSaveJob::finish()
{
    // Not at once: this may run inside the download's own completion.
    deleteLater();
}

bool QRSaveJob::writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void QRSaveJob::showFailure()
{
    Alert alert;
    alert.message = QStringLiteral("Error");
    alert.informativeText = QStringLiteral("Failed to save image.");
    alert.style = Alert::Style::Informational;
    alert.buttons = {QStringLiteral("OK")};
    (void)Platform::current().alerts().runModal(alert);
}
