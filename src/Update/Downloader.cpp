#include "Update/Downloader.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/Config.h"
#include "Update/ArchiveSignature.h"
#include "Update/PrivateFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

using namespace Costants;

namespace {
constexpr qint64 kChunk = 256 * 1024;

void log(const QVariantList &items)
{
    Logger::shared().log(items);
}
} // namespace

Downloader::Downloader(QObject *parent)
    : QObject(parent)
    , m_network(new QNetworkAccessManager(this))
{}

Downloader::~Downloader()
{
    // Nothing half-written stays behind: the partial file is discarded with the reply, and
    // nobody is told any more.
    m_completion = {};
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    delete m_file;
}

bool Downloader::startAttempt()
{
    m_folder = PrivateFolder::create(QStringLiteral("update"));
    if (!m_folder)
        log({QStringLiteral("can't make a private folder for the download")});
    return m_folder != nullptr;
}

QString Downloader::folder() const
{
    return m_folder ? m_folder->path() + QLatin1Char('/') : QString();
}

void Downloader::endAttempt()
{
    m_folder.reset();
}

QString Downloader::formatBytes(qint64 bytes)
{
    if (bytes < 1000 * 1000)
        return QString::number(qRound64(double(bytes) / 1000.0)) + QStringLiteral(" KB");
    return QString::number(double(bytes) / 1.0e6, 'f', 1) + QStringLiteral(" MB");
}

void Downloader::setManifestArchives(const QJsonObject &archives, const QString &announcedVersion)
{
    m_archives = archives;
    m_announcedVersion = announcedVersion;
}

std::optional<Downloader::Expected> Downloader::expected(const QString &fileName) const
{
    const QJsonObject entry = m_archives.value(fileName).toObject();
    const qint64 size = entry.value(QLatin1String("size")).toInteger(-1);
    const QByteArray sha256 = entry.value(QLatin1String("sha256")).toString().toLatin1().toLower();
    const QString version = entry.value(QLatin1String("version")).toString();
    const bool program = fileName == Updater::programZipName;
    if (size <= 0 || size > PrivateFolder::maxArchiveBytes || sha256.size() != 64 ||
        (program && version != m_announcedVersion))
        return std::nullopt;
    return Expected{size, sha256};
}

void Downloader::download(const QUrl &source, const QString &fileName, Completion completion)
{
    const QString destination = folder() + fileName;
    const QFileInfo existing(destination);
    if (existing.exists() || existing.isSymLink()) {
        log({QStringLiteral("file exists, deleting")});
        if (!QFile::remove(destination))
            log({QStringLiteral("Error on deleting file"), destination});
    } else {
        log({QStringLiteral("NOT EXISTING")});
    }
    log({QStringLiteral("downloading"), source.toString(), QStringLiteral("into"), destination});
    if (m_reply || m_check) {
        // One download at a time: an earlier one still running ends as a failure.
        if (m_reply) {
            m_reply->disconnect(this);
            m_reply->abort();
            m_reply->deleteLater();
        }
        delete m_check;
        complete(Result::failed);
    }
    delete m_file;
    m_file = new QFile(destination);
    m_pathToStoreFile = destination;
    m_completion = std::move(completion);
    m_source = source;
    // Only what the signed manifest describes is fetched, and no byte more.
    m_expected = expected(fileName);
    if (!m_expected) {
        log({QStringLiteral("the manifest does not describe ") + fileName});
        return complete(Result::badSignature);
    }
    m_maximumBytes = qMin(m_expected->size, m_sizeCeiling);
    QFile::remove(destination + QStringLiteral(".sig"));
    // Created here, never opened through whatever was there: a link or a folder fails.
    if (!m_folder || !m_file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        log({QStringLiteral("error writing file ") + destination + QStringLiteral(" : ") +
             m_file->errorString()});
        return complete(Result::failed);
    }

    QNetworkRequest request(source);
    request.setTransferTimeout(m_timeoutMs);
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(kChunk);
    connect(m_reply, &QNetworkReply::readyRead, this, &Downloader::receive);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &Downloader::wroteData);
    connect(m_reply, &QNetworkReply::finished, this, &Downloader::finishedDownloading);
}

void Downloader::receive()
{
    if (m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 300)
        return;
    // The read buffer holds at most kChunk bytes.
    const QByteArray data = m_reply->readAll();
    if (m_file->size() + data.size() > m_maximumBytes || m_file->write(data) != data.size())
        refuse();
}

void Downloader::refuse()
{
    log({QStringLiteral("download refused: larger than ") + formatBytes(m_maximumBytes) +
         QStringLiteral(" or not writable")});
    // Ends in finishedDownloading as a failure.
    m_reply->abort();
}

void Downloader::wroteData(qint64 written, qint64 expected)
{
    if (expected > m_maximumBytes && m_reply)
        return refuse();
    const double percent = double(written) / double(expected) * 100.0;
    if (m_spinner)
        m_spinner->setValue(int(percent));
    log({QStringLiteral("Downloaded ") + formatBytes(written) + QStringLiteral(" / ") +
         formatBytes(expected) + QStringLiteral(" -> ") +
         QString::number(static_cast<float>(percent)) + QStringLiteral("%")});
}

void Downloader::finishedDownloading()
{
    QNetworkReply *reply = m_reply;
    reply->deleteLater();
    m_reply = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString destination = m_pathToStoreFile.value_or(QString());
    if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
        // An error answer is never saved as an archive.
        log({QStringLiteral("Download failed: ") + reply->errorString(), status});
        m_file->remove();
        delete std::exchange(m_file, nullptr);
        return complete(Result::failed);
    }
    const QByteArray rest = reply->read(qMin(reply->bytesAvailable(), kChunk));
    log({QStringLiteral("Download finished: ") + reply->url().toString()});
    const bool written = m_file->size() + rest.size() <= m_maximumBytes &&
                         m_file->write(rest) == rest.size() && m_file->flush();
    m_file->close();
    if (!written)
        log({QStringLiteral("error writing file ") + destination + QStringLiteral(" : ") +
             m_file->errorString()});
    delete std::exchange(m_file, nullptr);
    if (!written)
        return complete(Result::failed);
    fetchSignature(reply->url());
}

void Downloader::fetchSignature(const QUrl &source)
{
    QNetworkRequest request(QUrl(source.toString() + QStringLiteral(".sig")));
    request.setTransferTimeout(m_timeoutMs);
    m_reply = m_network->get(request);
    // A signature is 64 bytes: anything much longer is not one.
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > 1024 && m_reply)
            m_reply->abort();
    });
    connect(m_reply, &QNetworkReply::finished, this, [this] { verifySignature(m_reply); });
}

void Downloader::verifySignature(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    const QString destination = m_pathToStoreFile.value_or(QString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
        log({QStringLiteral("Download failed: ") + reply->errorString(), status});
        QFile::remove(destination);
        return complete(Result::failed);
    }
    const QByteArray signature = reply->read(qMin(reply->bytesAvailable(), qint64(1025)));
    // Checked off the GUI thread: the archive may be large. Its size and hash must be the ones
    // of the signed manifest, and its own signature must verify.
    const Expected expected = m_expected.value_or(Expected{});
    m_check = new QFutureWatcher<bool>(this);
    connect(m_check, &QFutureWatcher<bool>::finished, this, [this, signature] {
        const bool verified = m_check->result();
        m_check->deleteLater();
        m_check = nullptr;
        signatureChecked(verified, signature);
    });
    m_check->setFuture(QtConcurrent::run([destination, signature, expected] {
        return QFileInfo(destination).size() == expected.size &&
               ArchiveSignature::sha256(destination) == expected.sha256 &&
               ArchiveSignature::verify(destination, signature);
    }));
}

void Downloader::signatureChecked(bool verified, const QByteArray &signature)
{
    const QString destination = m_pathToStoreFile.value_or(QString());
    if (!verified) {
        log({QStringLiteral("signature does not verify, archive removed: ") + destination});
        QFile::remove(destination);
        return complete(Result::badSignature);
    }
    QFile sig(destination + QStringLiteral(".sig"));
    const bool kept = sig.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                      sig.write(signature) == signature.size();
    complete(kept ? Result::ok : Result::failed);
}

void Downloader::complete(Result result)
{
    if (result != Result::ok)
        m_folder.reset();
    if (Completion completion = std::exchange(m_completion, {}))
        completion(result);
}

void Downloader::downloadNewVersionArchive(QProgressBar *indicator, Completion completion)
{
    const QUrl source(Config::current().downloadHost.toString(QUrl::StripTrailingSlash) +
                      Updater::programArchivePath);
    const QString destination = folder() + Updater::programZipName;
    m_spinner = indicator;
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::storedAppZipPath,
                    QUrl::fromLocalFile(destination).toString(QUrl::FullyEncoded));
    store.synchronize();
    if (!completion)
        completion = [](Result) {
            log({QStringLiteral("DOWNLOADED NEW VERSION")});
        };
    download(source, Updater::programZipName, std::move(completion));
}
