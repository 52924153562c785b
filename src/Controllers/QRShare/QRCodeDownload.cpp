#include "Controllers/QRShare/QRCodeDownload.h"

#include "App/Logger.h"
#include "Utils/QRRenderer.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSvgRenderer>

QRCodeDownload::QRCodeDownload(QNetworkAccessManager *network, Request request,
                               Completion completion, QObject *parent)
    : QObject(parent)
    , m_request(std::move(request))
    , m_completion(std::move(completion))
{
    start(network);
}

QRCodeDownload::~QRCodeDownload()
{
    m_completion = nullptr;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QNetworkAccessManager *QRCodeDownload::sharedNetwork()
{
    static QPointer<QNetworkAccessManager> network;
    if (!network)
        network = new QNetworkAccessManager(QCoreApplication::instance());
    return network;
}

void QRCodeDownload::start(QNetworkAccessManager *network)
{
    if (!m_request.url.isValid() || !network) {
        // Finish after the caller has its object, as a network answer would.
        QMetaObject::invokeMethod(
            this, [this] { drawLocally(QStringLiteral("no address for the QR service")); },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_request.url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    request.setTransferTimeout(m_request.timeoutMs);
    m_reply = network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &QRCodeDownload::onFinished);
}

void QRCodeDownload::onFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0) {
        drawLocally(reply->errorString());
        return;
    }
    std::optional<Result> result = checkAnswer(status, reply->readAll());
    if (!result) {
        drawLocally(QStringLiteral("the QR service answered %1 without an image").arg(status));
        return;
    }
    if (m_request.format == Format::Svg)
        Logger::shared().log({QStringLiteral("Success: "), status});
    complete(std::move(result));
}

std::optional<QRCodeDownload::Result> QRCodeDownload::checkAnswer(int status,
                                                                  const QByteArray &body) const
{
    // An error page is no drawing, whatever its type says.
    if (status < 200 || status >= 300)
        return std::nullopt;
    Result result;
    result.status = status;
    if (m_request.format == Format::Png) {
        if (!result.image.loadFromData(body, "PNG"))
            return std::nullopt;
        return result;
    }
    QSvgRenderer renderer(body);
    if (!body.contains("<svg") || !renderer.isValid())
        return std::nullopt;
    result.svg = body;
    return result;
}

void QRCodeDownload::drawLocally(const QString &reason)
{
    Result result;
    result.drawnLocally = true;
    if (m_request.format == Format::Png)
        result.image = QRRenderer::render(m_request.encodedText, m_request.size);
    else
        result.svg = QRRenderer::renderSvg(m_request.encodedText);
    if (result.image.isNull() && result.svg.isEmpty()) {
        Logger::shared().log({QStringLiteral("QR code unavailable: "), reason});
        complete(std::nullopt);
        return;
    }
    Logger::shared().log({QStringLiteral("QR code drawn locally: "), reason});
    complete(std::move(result));
}

void QRCodeDownload::complete(std::optional<Result> result)
{
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(std::move(result));
}
