#include "SandboxServer.h"

#include "AccessCheck.h"
#include "ApiRoutes.h"
#include "AuthorizationRoutes.h"
#include "ControlRoutes.h"
#include "CrashSinkRoutes.h"
#include "DownloadRoutes.h"
#include "FaultInjector.h"
#include "FaviconRoutes.h"
#include "LinkRoutes.h"
#include "QrRoutes.h"
#include "RecommendationRoutes.h"
#include "RequestLog.h"
#include "RouteTable.h"
#include "SandboxState.h"
#include "TokenRegistry.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QMetaEnum>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

// The route objects live as long as the server; the tables hold handlers that point at them.
struct SandboxRoutes
{
    AuthorizationRoutes authorization;
    ApiRoutes api;
    LinkRoutes links;
    RecommendationRoutes recommendations;
    QrRoutes qr;
    DownloadRoutes downloads;
    FaviconRoutes favicons;
    CrashSinkRoutes crashSink;
    ControlRoutes control;
};

namespace {

QByteArray reasonPhrase(int status)
{
    const QMetaEnum statuses = QMetaEnum::fromType<QHttpServerResponder::StatusCode>();
    const char *name = statuses.valueToKey(status);
    if (!name)
        return "Status";
    // "NotFound" -> "Not Found"
    QByteArray phrase;
    for (const char *c = name; *c; ++c) {
        if (c != name && *c >= 'A' && *c <= 'Z')
            phrase += ' ';
        phrase += *c;
    }
    return phrase;
}

} // namespace

SandboxServer::SandboxServer(const SandboxOptions &options, QObject *parent)
    : QAbstractHttpServer(parent)
    , m_options(options)
{}

SandboxServer::~SandboxServer() = default;

quint16 SandboxServer::start()
{
    const quint16 port = listen(QHostAddress::LocalHost, m_options.port);
    if (port == 0)
        return 0;
    m_state = std::make_unique<SandboxState>(QStringLiteral("http://127.0.0.1:%1").arg(port));
    m_tokens = std::make_unique<TokenRegistry>(m_options.tokenLifetimeSeconds);
    m_access = std::make_unique<AccessCheck>(*m_tokens, *m_state);
    m_log = std::make_unique<RequestLog>();
    m_faults = std::make_unique<FaultInjector>();
    m_service = std::make_unique<RouteTable>();
    m_control = std::make_unique<RouteTable>();
    m_routes.reset(new SandboxRoutes{
        AuthorizationRoutes(m_options, *m_tokens, *m_state), ApiRoutes(*m_access, *m_state),
        LinkRoutes(*m_access, *m_state), RecommendationRoutes(*m_access, *m_state),
        QrRoutes(*m_state), DownloadRoutes(*m_state, m_options.archivesFrom), FaviconRoutes(),
        CrashSinkRoutes(m_options.crashKey, *m_state),
        ControlRoutes({m_options, *m_state, *m_tokens, *m_log, *m_faults})});
    m_routes->authorization.addTo(*m_service);
    m_routes->api.addTo(*m_service);
    m_routes->links.addTo(*m_service);
    m_routes->recommendations.addTo(*m_service);
    m_routes->qr.addTo(*m_service);
    m_routes->downloads.addTo(*m_service);
    m_routes->favicons.addTo(*m_service);
    m_routes->crashSink.addTo(*m_service);
    m_routes->control.addTo(*m_control);
    return port;
}

SandboxRequest SandboxServer::copy(const QHttpServerRequest &request)
{
    SandboxRequest copied;
    copied.method = QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(
        static_cast<int>(request.method()));
    copied.method = copied.method.toUpper();
    copied.path = request.url().path();
    copied.rawQuery = request.url().query(QUrl::FullyEncoded);
    copied.query = request.query();
    for (const auto &header : request.headers())
        copied.headers.emplaceBack(header.first, header.second);
    copied.body = request.body();
    return copied;
}

bool SandboxServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const SandboxRequest copied = copy(request);
    if (copied.path.startsWith(QLatin1String("/__sandbox/"))) {
        write(socket, m_control->dispatch(copied));
        return true;
    }
    m_log->record(copied);
    const std::optional<FaultInjector::Fault> fault = m_faults->take(copied.method, copied.path);
    if (fault && fault->drop) {
        dropLater(socket, fault->delayMs);
        return true;
    }
    SandboxReply reply =
        fault && fault->replacesRoute() ? fault->statusReply() : m_service->dispatch(copied);
    if (fault)
        fault->distort(reply);
    answerLater(socket, reply, fault ? fault->delayMs : 0);
    return true;
}

void SandboxServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    write(socket, SandboxReply::json(
                      QJsonObject{{"error", "not found"}, {"path", request.url().path()}}, 404));
}

void SandboxServer::answerLater(QTcpSocket *socket, const SandboxReply &reply, int delayMs)
{
    if (delayMs <= 0) {
        write(socket, reply);
        return;
    }
    // The client may give up meanwhile; the socket is then gone and nothing is written.
    QTimer::singleShot(delayMs, this, [socket = QPointer<QTcpSocket>(socket), reply] {
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            write(socket, reply);
    });
}

void SandboxServer::dropLater(QTcpSocket *socket, int delayMs)
{
    // Outside the parser's callback, so the server sees an ordinary disconnect.
    QTimer::singleShot(delayMs, this, [socket = QPointer<QTcpSocket>(socket)] {
        if (socket)
            socket->abort();
    });
}

void SandboxServer::write(QTcpSocket *socket, const SandboxReply &reply)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    if (reply.omitLength)
        head += "Connection: close\r\n";
    else
        head += "Content-Length: " + QByteArray::number(reply.body.size()) +
                "\r\nConnection: keep-alive\r\n";
    for (const auto &[name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    const bool stalls = reply.stallAfterBytes >= 0;
    socket->write(head + (stalls ? reply.body.left(reply.stallAfterBytes) : reply.body));
    // Without a length, the end of the body is the end of the connection; a stalled answer
    // keeps it open until the client gives up.
    if (reply.omitLength && !stalls)
        socket->disconnectFromHost();
}
