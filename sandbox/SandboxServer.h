#pragma once

#include "SandboxOptions.h"
#include "SandboxReply.h"
#include "SandboxRequest.h"

#include <QAbstractHttpServer>
#include <memory>

class AccessCheck;
class FaultInjector;
class RequestLog;
class RouteTable;
class SandboxState;
class TokenRegistry;
struct SandboxRoutes;

// The HTTP server on 127.0.0.1 that plays every remote party on one origin. It takes each
// request from Qt's parser, records it, lets armed faults act, dispatches it to the routes and
// writes the answer itself, so that an answer can be delayed or the connection dropped.
class SandboxServer : public QAbstractHttpServer
{
    Q_OBJECT

public:
    explicit SandboxServer(const SandboxOptions &options, QObject *parent = nullptr);
    ~SandboxServer() override;

    // Listens on 127.0.0.1 at the configured port (0: a free one); returns the port, or 0.
    [[nodiscard]] quint16 start();

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    [[nodiscard]] static SandboxRequest copy(const QHttpServerRequest &request);
    static void write(QTcpSocket *socket, const SandboxReply &reply);
    void answerLater(QTcpSocket *socket, const SandboxReply &reply, int delayMs);
    void dropLater(QTcpSocket *socket, int delayMs);

    SandboxOptions m_options;
    std::unique_ptr<SandboxState> m_state;
    std::unique_ptr<TokenRegistry> m_tokens;
    std::unique_ptr<AccessCheck> m_access;
    std::unique_ptr<RequestLog> m_log;
    std::unique_ptr<FaultInjector> m_faults;
    std::unique_ptr<RouteTable> m_service;
    std::unique_ptr<RouteTable> m_control;
    std::unique_ptr<SandboxRoutes> m_routes;
};
