#pragma once

#include "Services/ReachabilitySource.h"

#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>

class QTcpSocket;

// Reachability found out by opening a TCP connection to the host. It reports the first result
// and then only changes. It probes periodically only while the host is not reachable (to see
// it come back); once it is, it waits for a request that got no answer (recheck) instead of
// waking up every few seconds for nothing.
class ProbeReachability : public ReachabilitySource
{
    Q_OBJECT

public:
    ProbeReachability(QString host, quint16 port, int intervalMs = 10000, int timeoutMs = 5000,
                      QObject *parent = nullptr);
    ~ProbeReachability() override;

    void start() override;
    void recheck() override;
    // Probes at once, outside the period (also used by tests).
    void probe();
    [[nodiscard]] bool isPolling() const { return m_period.isActive(); }

private:
    void finish(bool reachable);

    QString m_host;
    quint16 m_port;
    int m_timeoutMs;
    QTimer m_period;
    QTimer m_timeout;
    QPointer<QTcpSocket> m_socket;
    std::optional<bool> m_last;
    bool m_started = false;
};
