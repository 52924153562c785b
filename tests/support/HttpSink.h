#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

// A minimal HTTP server on loopback that records what it receives and answers with a
// status of the test's choice.
class HttpSink : public QObject
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    // What one path (without its query) answers instead of the default status and "{}".
    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/html";
        QByteArray body;
        QByteArray location; // a Location header, for redirects
    };

    explicit HttpSink(QObject *parent = nullptr);
    ~HttpSink() override;

    [[nodiscard]] QUrl origin() const;
    void setResponse(const QByteArray &path, const Response &response)
    {
        m_responses.insert(path, response);
    }
    [[nodiscard]] const QList<Request> &requests() const { return m_requests; }
    void setStatus(int status) { m_status = status; }

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);

    QTcpServer m_server;
    QList<Request> m_requests;
    QMap<QTcpSocket *, QByteArray> m_buffers;
    int m_status = 200;
    QMap<QByteArray, Response> m_responses;
};
