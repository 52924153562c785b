#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

// Fetches the update archives one after the other, each with its detached signature. An
// archive stays at its destination only when the whole answer arrived with a success status
// and its signature verifies (the signature is kept beside it as "<archive>.sig"); every
// download ends with exactly one call of its completion.
class Downloader : public QObject
{
    Q_OBJECT

public:
    enum class Result { ok, failed, badSignature };
    using Completion = std::function<void(Result)>;

    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    void download(const QUrl &source, const QString &destination, Completion completion);
    // "/apps/macapp/Quorvella.zip" into the temporary folder; its place is stored first.
    void downloadNewVersionArchive(QProgressBar *indicator, Completion completion = {});

    void setSpinner(QProgressBar *indicator) { m_spinner = indicator; }
    // Without data for this long a download fails (60 s).
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    // The byte count in KB up to 1 MB, in MB above ("262 KB", "1.5 MB").
    [[nodiscard]] static QString formatBytes(qint64 bytes);

private:
    void wroteData(qint64 written, qint64 expected);
    void finishedDownloading();
    void fetchSignature(const QUrl &source);
    void verifySignature(QNetworkReply *reply);
    void complete(Result result);

    std::optional<QString> m_pathToStoreFile;
    Completion m_completion;
    QPointer<QProgressBar> m_spinner;
    int m_timeoutMs = 60000;
    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_source;
    QSaveFile *m_file = nullptr;
};
