#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One rendering of a QR code: asked from the QR service without blocking, checked, and drawn on
// this machine when the service cannot be reached or answers something that is no image. The
// completion runs once, on the GUI thread; deleting the download first drops it silently.
class QRCodeDownload : public QObject
{
    Q_OBJECT

public:
    enum class Format { Png, Svg };

    struct Result
    {
        QImage image;   // Png
        QByteArray svg; // Svg
        int status = 0; // the service's HTTP status; 0 when drawn locally
        bool drawnLocally = false;
    };
    using Completion = std::function<void(std::optional<Result>)>;

    struct Request
    {
        QUrl url; // the QR service's address for this rendering
        Format format = Format::Png;
        int size = 256;      // pixels, for Png
        QString encodedText; // what the code says, for a local drawing (the full short URL)
        int timeoutMs = 30000;
    };

    QRCodeDownload(QNetworkAccessManager *network, Request request, Completion completion,
                   QObject *parent = nullptr);
    ~QRCodeDownload() override;

    // The program's connection for QR images, made on first use on the GUI thread.
    [[nodiscard]] static QNetworkAccessManager *sharedNetwork();

private:
    void start(QNetworkAccessManager *network);
    void onFinished();
    [[nodiscard]] std::optional<Result> checkAnswer(int status, const QByteArray &body) const;
    void drawLocally(const QString &reason);
    void complete(std::optional<Result> result);

    Request m_request;
    Completion m_completion;
    QPointer<QNetworkReply> m_reply;
};
