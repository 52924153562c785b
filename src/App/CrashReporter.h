#pragma once

#include "App/CrashEvent.h"
#include "App/SentryDsn.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class MemoryPressureMonitor;

// Our client of the crash-reporting service: events as envelopes over HTTPS, sent in the
// background; a failing send is dropped and never blocks the program.
class CrashReporter : public QObject
{
    Q_OBJECT

public:
    // A client for the DSN, or nothing with the reason in error.
    [[nodiscard]] static std::unique_ptr<CrashReporter> create(const QString &dsn, QString *error);

    // Absent until start-up sets it; callers that find none send nothing.
    [[nodiscard]] static CrashReporter *shared();
    static void setShared(std::unique_ptr<CrashReporter> client);
    // Sends through the shared client when there is one; callable from any thread.
    static void capture(const CrashEvent &event);

    ~CrashReporter() override;

    void setTrackMemoryPressureAsEvent(
        bool enabled, const QString &pressurePath = QStringLiteral("/proc/pressure/memory"));
    // Installs the fatal-signal handler and sends the reports of earlier crashes.
    [[nodiscard]] bool startCrashHandler(QString *error,
                                         const QString &reportDirectory = QString());
    void setUser(const QString &id);
    [[nodiscard]] QString userId() const { return m_userId; }

    // Callable from any thread: the send itself happens on the reporter's thread.
    void send(const CrashEvent &event);

    // Sends each stored crash report; a report is deleted only once the service took it.
    void sendPendingReports(const QString &reportDirectory);

    [[nodiscard]] QByteArray envelope(const CrashEvent &event, const QString &eventId,
                                      const QDateTime &timestamp, const QString &userId) const;
    [[nodiscard]] const SentryDsn &dsn() const { return m_dsn; }
    [[nodiscard]] static QString release();

signals:
    // For observers such as tests; the program itself never waits for it.
    void delivered(const QString &eventId, bool accepted);

private:
    explicit CrashReporter(SentryDsn dsn);
    void post(const QByteArray &body, const QString &eventId, const QString &reportFile);

    SentryDsn m_dsn;
    QString m_userId;
    QNetworkAccessManager *m_network = nullptr;
    MemoryPressureMonitor *m_memoryPressure = nullptr;
};
