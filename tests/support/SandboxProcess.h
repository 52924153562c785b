#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <utility>

// A quorvella-sandbox started for one test. It runs with --exit-on-stdin-eof, so it ends with
// the test process even when the test crashes; the destructor stops it at once.
class SandboxProcess
{
public:
    struct Reply
    {
        int status = 0; // 0: no HTTP answer (see error)
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;

        [[nodiscard]] QJsonValue json() const; // undefined when the body is no JSON
        [[nodiscard]] QByteArray header(const QByteArray &name) const;
    };
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // Starts the sandbox and waits up to startTimeoutMs for its "listening" line.
    explicit SandboxProcess(const QStringList &extraArguments = {}, int startTimeoutMs = 10000);
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess &) = delete;
    SandboxProcess &operator=(const SandboxProcess &) = delete;

    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] QUrl baseUrl() const { return m_baseUrl; }
    [[nodiscard]] QUrl url(const QString &pathAndQuery) const;
    // Why the start failed, for the test's failure message.
    [[nodiscard]] QString startError() const { return m_startError; }

    // One synchronous HTTP exchange with the sandbox; redirects are not followed.
    [[nodiscard]] Reply request(const QByteArray &method, const QString &pathAndQuery,
                                const Headers &headers = {}, const QByteArray &body = {},
                                int timeoutMs = 10000);
    // A call of the control API under /__sandbox/ with a JSON body (none when undefined).
    [[nodiscard]] Reply control(const QByteArray &method, const QString &path,
                                const QJsonValue &json = QJsonValue(QJsonValue::Undefined));

    // A valid token pair straight from the control API, for tests that do not sign in.
    [[nodiscard]] QString issueAccessToken();

    void stop();

private:
    QProcess m_process;
    QNetworkAccessManager m_network;
    QUrl m_baseUrl;
    QString m_startError;
};
