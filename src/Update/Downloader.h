#pragma once

#include "Update/PrivateFolder.h"

#include <QFutureWatcher>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryDir;

// Fetches the update archives one after the other, each with its detached signature, into a
// private folder made for the attempt (see PrivateFolder). An archive stays there only when
// the whole answer arrived with a success status and its signature verifies (the signature is
// kept beside it as "<archive>.sig"); every download ends with exactly one call of its
// completion. A failure removes the attempt's folder with all it holds.
class Downloader : public QObject
{
    Q_OBJECT

public:
    enum class Result { ok, failed, badSignature };
    using Completion = std::function<void(Result)>;

    explicit Downloader(QObject *parent = nullptr);
    ~Downloader() override;

    // Makes a new private folder for an attempt, removing the one of an earlier attempt. False
    // when none can be made.
    [[nodiscard]] bool startAttempt();
    // The attempt's folder, ending with "/"; empty when there is none.
    [[nodiscard]] QString folder() const;
    // Removes the attempt's folder with all it holds.
    void endAttempt();

    // Downloads `source` into the attempt's folder as `fileName`.
    void download(const QUrl &source, const QString &fileName, Completion completion);
    // "/apps/macapp/Quorvella.zip" into the attempt's folder; its place is stored first.
    void downloadNewVersionArchive(QProgressBar *indicator, Completion completion = {});

    void setSpinner(QProgressBar *indicator) { m_spinner = indicator; }
    // The signed manifest's "archives": {"Quorvella.zip": {"version", "size", "sha256"}, …}.
    // A download is refused unless its entry is there (for the program, with the announced
    // version), and kept only when size and hash match.
    void setManifestArchives(const QJsonObject &archives, const QString &announcedVersion);
    // A download larger than this, or than the manifest says, is refused as soon as that
    // shows (PrivateFolder::maxArchiveBytes).
    void setMaximumSize(qint64 bytes) { m_sizeCeiling = bytes; }
    // Without data for this long a download fails (60 s).
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    // The byte count in KB up to 1 MB, in MB above ("262 KB", "1.5 MB").
    [[nodiscard]] static QString formatBytes(qint64 bytes);

private:
    struct Expected
    {
        qint64 size = -1;
        QByteArray sha256; // hex, lower case
    };
    [[nodiscard]] std::optional<Expected> expected(const QString &fileName) const;
    void receive();
    void refuse();
    void wroteData(qint64 written, qint64 expected);
    void finishedDownloading();
    void fetchSignature(const QUrl &source);
    void verifySignature(QNetworkReply *reply);
    void signatureChecked(bool verified, const QByteArray &signature);
    void complete(Result result);

    std::optional<QString> m_pathToStoreFile;
    Completion m_completion;
    QPointer<QProgressBar> m_spinner;
    int m_timeoutMs = 60000;
    qint64 m_sizeCeiling = PrivateFolder::maxArchiveBytes;
    qint64 m_maximumBytes = PrivateFolder::maxArchiveBytes; // of the download under way
    QJsonObject m_archives;
    QString m_announcedVersion;
    std::optional<Expected> m_expected;
    QPointer<QFutureWatcher<bool>> m_check;
    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_source;
    QFile *m_file = nullptr;
    std::unique_ptr<QTemporaryDir> m_folder;
};
