#include "Views/ImageCache.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>

namespace {
// Icons are small: a fetch that takes longer than this is given up.
constexpr int kTransferTimeoutMs = 15000;
// Nor does an icon need more bytes than this; a larger answer is not decoded.
constexpr qsizetype kMaxImageBytes = 1024 * 1024;

QByteArray formatOf(const QByteArray &data, const QByteArray &contentType)
{
    static const QList<std::pair<QByteArray, const char *>> signatures{
        {QByteArray("\x89PNG\r\n\x1a\n"), "png"},
        {QByteArray("\xff\xd8\xff"), "jpeg"},
        {QByteArray("GIF8"), "gif"},
        {QByteArray("\0\0\1\0", 4), "ico"}};
    for (const auto &[signature, format] : signatures) {
        if (data.startsWith(signature))
            return format;
    }
    static const QHash<QByteArray, QByteArray> types{{"image/png", "png"},
                                                     {"image/jpeg", "jpeg"},
                                                     {"image/gif", "gif"},
                                                     {"image/x-icon", "ico"},
                                                     {"image/vnd.microsoft.icon", "ico"},
                                                     {"image/svg+xml", "svg"}};
    return types.value(contentType.split(';').constFirst().trimmed().toLower());
}
} // namespace

ImageCache &ImageCache::shared()
{
    static ImageCache cache;
    return cache;
}

void ImageCache::setNetwork(QNetworkAccessManager *network)
{
    m_network = network;
}

QNetworkAccessManager *ImageCache::network()
{
    if (m_network)
        return m_network;
    if (!m_ownNetwork)
        m_ownNetwork = new QNetworkAccessManager(this);
    return m_ownNetwork;
}

bool ImageCache::contains(const QUrl &url) const
{
    return m_images.contains(url.toString());
}

void ImageCache::clear()
{
    m_images.clear();
    m_missing.clear();
}

void ImageCache::load(const QUrl &url, QObject *context, Handler handler)
{
    if (!url.isValid() || url.isEmpty())
        return;
    const QString key = url.toString();
    if (const auto found = m_images.constFind(key); found != m_images.constEnd()) {
        handler(*found);
        return;
    }
    if (m_missing.contains(key))
        return;
    const bool inFlight = m_waiting.contains(key);
    m_waiting[key].append({QPointer<QObject>(context), std::move(handler)});
    if (inFlight)
        return;
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = network()->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] { finished(reply, key); });
}

void ImageCache::finished(QNetworkReply *reply, const QString &key)
{
    reply->deleteLater();
    const QList<Waiter> waiters = m_waiting.take(key);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QImage image;
    if (reply->error() == QNetworkReply::NoError && status < 300)
        image = decode(reply->readAll(),
                       reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
    if (image.isNull()) {
        if (status >= 400 && status < 500)
            m_missing.insert(key);
        return;
    }
    m_images.insert(key, image);
    for (const Waiter &waiter : waiters) {
        if (waiter.context)
            waiter.handler(image);
    }
}

QImage ImageCache::decode(const QByteArray &data, const QByteArray &contentType)
{
    const QByteArray format = formatOf(data, contentType);
    if (format.isEmpty() || data.size() > kMaxImageBytes)
        return {};
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QUrl ImageCache::faviconUrl(const QUrl &faviconHost, const QString &destination, int pixels)
{
    const QString host = QUrl(destination).host();
    if (host.isEmpty())
        return {};
    QUrl url = faviconHost;
    url.setPath(QStringLiteral("/s2/favicons"));
    QString query = QStringLiteral("domain=") + host;
    if (pixels > 16)
        query += QStringLiteral("&sz=") + QString::number(pixels);
    url.setQuery(query);
    return url;
}

QPixmap ImageCache::circular(const QImage &image, int size, qreal devicePixelRatio)
{
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, pixels, pixels));
    painter.setClipPath(circle);
    painter.drawImage(QRectF(0, 0, pixels, pixels), image);
    painter.end();
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}
