#include "HttpSink.h"

#include <QTcpSocket>

HttpSink::HttpSink(QObject *parent)
    : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &HttpSink::onConnection);
}

HttpSink::~HttpSink()
{
    // Connections still open would otherwise close after the buffers they remove themselves from.
    qDeleteAll(findChildren<QTcpSocket *>() + m_server.findChildren<QTcpSocket *>());
}

QUrl HttpSink::origin() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
}

void HttpSink::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] { m_buffers.remove(socket); });
    }
}

void HttpSink::onReadable(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    request.method = start.value(0);
    request.path = start.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                   lines.at(i).mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length").toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    m_requests.append(request);
    const Response route = m_responses.value(request.path.split('?').constFirst(),
                                             Response{m_status, "application/json", "{}", {}});
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(route.status) +
                        " Status\r\nContent-Type: " + route.contentType +
                        "\r\nContent-Length: " + QByteArray::number(route.body.size()) +
                        "\r\nConnection: close\r\n";
    if (!route.location.isEmpty())
        answer += "Location: " + route.location + "\r\n";
    answer += "\r\n" + route.body;
    socket->write(answer);
    socket->disconnectFromHost();
}
