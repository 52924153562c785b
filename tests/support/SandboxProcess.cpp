#include "SandboxProcess.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

#ifndef QUORVELLA_BINARY_DIR
#error "SandboxProcess needs QUORVELLA_BINARY_DIR, the folder of the built programs"
#endif

QJsonValue SandboxProcess::Reply::json() const
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return QJsonValue(QJsonValue::Undefined);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

SandboxProcess::SandboxProcess(const QStringList &extraArguments)
{
    m_network.setProxy(QNetworkProxy::NoProxy);
    m_process.start(QStringLiteral(QUORVELLA_BINARY_DIR "/quorvella-sandbox"),
                    QStringList{QStringLiteral("--exit-on-stdin-eof")} + extraArguments);
    static const QRegularExpression ready(
        QStringLiteral("^quorvella-sandbox listening on (http://127\\.0\\.0\\.1:[0-9]+)$"));
    const QDeadlineTimer deadline(10000);
    while (m_process.canReadLine() || m_process.waitForReadyRead(int(deadline.remainingTime()))) {
        if (!m_process.canReadLine())
            continue; // half a line so far
        const QRegularExpressionMatch match =
            ready.match(QString::fromUtf8(m_process.readLine()).trimmed());
        if (match.hasMatch()) {
            m_baseUrl = QUrl(match.captured(1));
            return;
        }
    }
    m_startError = QStringLiteral("no listening line from %1 (%2); stderr: %3")
                       .arg(m_process.program(), m_process.errorString(),
                            QString::fromUtf8(m_process.readAllStandardError()));
    stop();
}

SandboxProcess::~SandboxProcess()
{
    stop();
}

bool SandboxProcess::isRunning() const
{
    return m_process.state() == QProcess::Running && m_baseUrl.isValid();
}

void SandboxProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Closing our end of its stdin is the orderly way out; a kill follows if that fails.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

SandboxProcess::Reply SandboxProcess::request(const QByteArray &method, const QString &pathAndQuery,
                                              const Headers &headers, const QByteArray &body)
{
    QNetworkRequest request(QUrl(m_baseUrl.toString() + pathAndQuery, QUrl::StrictMode));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = body.isEmpty() ? m_network.sendCustomRequest(request, method)
                                          : m_network.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timeout, &QTimer::timeout, reply, &QNetworkReply::abort);
    timeout.start(10000);
    if (!reply->isFinished())
        loop.exec();

    Reply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    reply->deleteLater();
    return answer;
}

SandboxProcess::Reply SandboxProcess::control(const QByteArray &method, const QString &path,
                                              const QJsonValue &json)
{
    QByteArray body;
    if (json.isObject())
        body = QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact);
    else if (json.isArray())
        body = QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact);
    return request(method, path, {{"Content-Type", "application/json"}}, body);
}

QString SandboxProcess::issueAccessToken()
{
    return control("POST", QStringLiteral("/__sandbox/tokens/issue"))
        .json()
        .toObject()
        .value("access_token")
        .toString();
}
