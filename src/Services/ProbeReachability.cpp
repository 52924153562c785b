#include "Services/ProbeReachability.h"

#include <QNetworkProxy>
#include <QTcpSocket>

ProbeReachability::ProbeReachability(QString host, quint16 port, int intervalMs, int timeoutMs,
                                     QObject *parent)
    : ReachabilitySource(parent)
    , m_host(std::move(host))
    , m_port(port)
    , m_timeoutMs(timeoutMs)
{
    m_period.setInterval(intervalMs);
    connect(&m_period, &QTimer::timeout, this, &ProbeReachability::probe);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { finish(false); });
}

ProbeReachability::~ProbeReachability()
{
    if (m_socket)
        m_socket->abort();
}

void ProbeReachability::start()
{
    if (m_started)
        return;
    m_started = true;
    m_period.start();
    probe();
}

void ProbeReachability::recheck()
{
    if (m_started)
        probe();
}

void ProbeReachability::probe()
{
    if (m_socket)
        return; // the previous probe is still under way
    auto *socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, [this] { finish(true); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this] { finish(false); });
    m_timeout.start(m_timeoutMs);
    socket->connectToHost(m_host, m_port);
}

void ProbeReachability::finish(bool reachable)
{
    m_timeout.stop();
    if (QTcpSocket *socket = m_socket) {
        m_socket.clear();
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    // Reachable: nothing to look for until a request finds no answer.
    if (reachable)
        m_period.stop();
    else if (m_started && !m_period.isActive())
        m_period.start();
    if (m_last == reachable)
        return;
    m_last = reachable;
    emit reported(reachable);
}
