#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Favicons and avatars, fetched asynchronously on the GUI thread's network access and kept in
// memory for the life of the program, one entry per address (a favicon address names one
// host). Several rows asking for the same address share one request. A fetch that fails or
// does not decode calls nobody back: the image shown stays as it was.
class ImageCache : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const QImage &)>;

    static ImageCache &shared();

    // The network access to fetch with; without one the cache makes its own on first use.
    void setNetwork(QNetworkAccessManager *network);

    // Calls `handler` on the GUI thread with the image, at once when it is cached, never
    // after `context` went away.
    void load(const QUrl &url, QObject *context, Handler handler);
    [[nodiscard]] bool contains(const QUrl &url) const;
    [[nodiscard]] qsizetype count() const { return m_images.size(); }
    void clear();

    // The favicon service's address for the host of a destination; empty without a host. An
    // icon of more than the service's 16 pixels (a dense screen) is asked for by its size.
    [[nodiscard]] static QUrl faviconUrl(const QUrl &faviconHost, const QString &destination,
                                         int pixels = 16);
    // The image in the bytes of an answer, decoded as the format its first bytes show or, failing
    // that, its content type declares (png, jpeg, gif, ico, svg); null for anything else or
    // above 1 MB. Naming the format spares loading every image plugin of the system to guess.
    [[nodiscard]] static QImage decode(const QByteArray &data, const QByteArray &contentType);
    // The image cut to a circle of `size` points at the given pixel ratio.
    [[nodiscard]] static QPixmap circular(const QImage &image, int size, qreal devicePixelRatio);

private:
    struct Waiter
    {
        QPointer<QObject> context;
        Handler handler;
    };

    void finished(QNetworkReply *reply, const QString &key);

    QNetworkAccessManager *network();

    QPointer<QNetworkAccessManager> m_network;
    QNetworkAccessManager *m_ownNetwork = nullptr;
    QHash<QString, QImage> m_images;
    QHash<QString, QList<Waiter>> m_waiting;
    // Addresses the service answered with a client error (no icon for that host): asking again
    // would only repeat the answer.
    QSet<QString> m_missing;
};
