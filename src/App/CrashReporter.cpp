#include "App/CrashReporter.h"

#include "App/CrashHandler.h"
#include "App/MemoryPressureMonitor.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimeZone>
#include <QUuid>

namespace {

constexpr int kTransferTimeoutMs = 15000;

QMutex &sharedMutex()
{
    static QMutex mutex;
    return mutex;
}

std::unique_ptr<CrashReporter> &sharedSlot()
{
    static std::unique_ptr<CrashReporter> client;
    return client;
}

QString newEventId()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

QString isoTime(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

std::unique_ptr<CrashReporter> CrashReporter::create(const QString &dsn, QString *error)
{
    std::optional<SentryDsn> parsed = SentryDsn::parse(dsn, error);
    if (!parsed)
        return nullptr;
    return std::unique_ptr<CrashReporter>(new CrashReporter(*parsed));
}

CrashReporter::CrashReporter(SentryDsn dsn)
    : m_dsn(std::move(dsn))
    , m_network(new QNetworkAccessManager(this))
{}

CrashReporter::~CrashReporter() = default;

CrashReporter *CrashReporter::shared()
{
    QMutexLocker locker(&sharedMutex());
    return sharedSlot().get();
}

void CrashReporter::setShared(std::unique_ptr<CrashReporter> client)
{
    std::unique_ptr<CrashReporter> previous;
    {
        QMutexLocker locker(&sharedMutex());
        previous = std::exchange(sharedSlot(), std::move(client));
    }
}

void CrashReporter::capture(const CrashEvent &event)
{
    if (CrashReporter *client = shared())
        client->send(event);
}

QString CrashReporter::release()
{
    return QStringLiteral("quorvella@") + QStringLiteral(QUORVELLA_VERSION);
}

void CrashReporter::setTrackMemoryPressureAsEvent(bool enabled, const QString &pressurePath)
{
    delete m_memoryPressure;
    m_memoryPressure = nullptr;
    if (!enabled)
        return;
    m_memoryPressure = new MemoryPressureMonitor(pressurePath, 5000, this);
    connect(
        m_memoryPressure, &MemoryPressureMonitor::pressureRaised, this,
        [this](MemoryPressureMonitor::Level level, const MemoryPressureMonitor::Reading &reading) {
            CrashEvent event;
            event.level = QStringLiteral("warning");
            event.message =
                QStringLiteral("Memory pressure: ") + MemoryPressureMonitor::levelName(level);
            event.tags.insert(QStringLiteral("memory_pressure"),
                              MemoryPressureMonitor::levelName(level));
            event.extra.insert(QStringLiteral("some_avg10"), reading.someAvg10);
            event.extra.insert(QStringLiteral("full_avg10"), reading.fullAvg10);
            send(event);
        });
    // Without the kernel's pressure file there is nothing to watch; that is not an error.
    m_memoryPressure->start();
}

bool CrashReporter::startCrashHandler(QString *error, const QString &reportDirectory)
{
    const QString directory =
        reportDirectory.isEmpty() ? CrashHandler::defaultReportDirectory() : reportDirectory;
    // Reports of the last run are read before this run's handler can write its own.
    sendPendingReports(directory);
    if (!CrashHandler::install(directory, release(), error))
        return false;
    CrashHandler::setUserId(m_userId);
    return true;
}

void CrashReporter::setUser(const QString &id)
{
    m_userId = id;
    CrashHandler::setUserId(id);
}

void CrashReporter::send(const CrashEvent &event)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, event] { send(event); }, Qt::QueuedConnection);
        return;
    }
    const QString eventId = newEventId();
    post(envelope(event, eventId, QDateTime::currentDateTimeUtc(), m_userId), eventId, QString());
}

QByteArray CrashReporter::envelope(const CrashEvent &event, const QString &eventId,
                                   const QDateTime &timestamp, const QString &userId) const
{
    QJsonObject header{{QStringLiteral("event_id"), eventId},
                       {QStringLiteral("sent_at"), isoTime(QDateTime::currentDateTimeUtc())}};
    QJsonObject item{{QStringLiteral("type"), QStringLiteral("event")}};

    QJsonObject tags;
    for (auto it = event.tags.cbegin(); it != event.tags.cend(); ++it)
        tags.insert(it.key(), it.value());
    QJsonObject payload{{QStringLiteral("event_id"), eventId},
                        {QStringLiteral("timestamp"), isoTime(timestamp)},
                        {QStringLiteral("platform"), QStringLiteral("native")},
                        {QStringLiteral("level"), event.level},
                        {QStringLiteral("message"), event.message},
                        {QStringLiteral("tags"), tags},
                        {QStringLiteral("extra"), QJsonObject::fromVariantMap(event.extra)},
                        {QStringLiteral("release"), release()}};
    if (!userId.isEmpty())
        payload.insert(QStringLiteral("user"), QJsonObject{{QStringLiteral("id"), userId}});

    return QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n' +
           QJsonDocument(item).toJson(QJsonDocument::Compact) + '\n' +
           QJsonDocument(payload).toJson(QJsonDocument::Compact) + '\n';
}

void CrashReporter::sendPendingReports(const QString &reportDirectory)
{
    const QDir directory(reportDirectory);
    const QStringList files = directory.entryList({QStringLiteral("*.crash")}, QDir::Files);
    for (const QString &name : files) {
        const QString path = directory.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const std::optional<CrashHandler::Report> report =
            CrashHandler::parseReport(file.read(4096));
        file.close();
        if (!report) {
            QFile::remove(path); // unreadable leftovers would be retried for ever
            continue;
        }
        CrashEvent event;
        event.level = QStringLiteral("fatal");
        event.message = QStringLiteral("Fatal signal ") + CrashHandler::signalName(report->signal);
        event.tags.insert(QStringLiteral("signal"), CrashHandler::signalName(report->signal));
        if (!report->release.isEmpty())
            event.tags.insert(QStringLiteral("crashed_release"), report->release);
        const QDateTime when = QDateTime::fromSecsSinceEpoch(report->timestamp, QTimeZone::utc());
        const QString eventId = newEventId();
        post(envelope(event, eventId, when, report->userId), eventId, path);
    }
}

void CrashReporter::post(const QByteArray &body, const QString &eventId, const QString &reportFile)
{
    QNetworkRequest request(m_dsn.envelopeUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-sentry-envelope"));
    request.setRawHeader("X-Sentry-Auth",
                         m_dsn.authHeader(QStringLiteral(QUORVELLA_VERSION)).toUtf8());
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = m_network->post(request, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, eventId, reportFile] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool accepted =
            reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
        if (accepted && !reportFile.isEmpty())
            QFile::remove(reportFile);
        emit delivered(eventId, accepted);
    });
}
