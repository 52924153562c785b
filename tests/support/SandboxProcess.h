#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QNetworkAccessManager>
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
        int status = 0; // 0: no HTTP answer
        QByteArray body;

        [[nodiscard]] QJsonValue json() const; // undefined when the body is no JSON
    };
    using Headers = QList<std::pair<QByteArray, QByteArray>>;

    // Starts the sandbox and waits up to ten seconds for its "listening" line.
    explicit SandboxProcess(const QStringList &extraArguments = {});
    ~SandboxProcess();
    SandboxProcess(const SandboxProcess &) = delete;
    SandboxProcess &operator=(const SandboxProcess &) = delete;

    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] QUrl baseUrl() const { return m_baseUrl; }
    // Why the start failed, for the test's failure message.
    [[nodiscard]] QString startError() const { return m_startError; }

    // One synchronous HTTP exchange with the sandbox; redirects are not followed.
    [[nodiscard]] Reply request(const QByteArray &method, const QString &pathAndQuery,
                                const Headers &headers = {}, const QByteArray &body = {});
    // A call of the control API under /__sandbox/ with a JSON body (none when undefined).
    [[nodiscard]] Reply control(const QByteArray &method, const QString &path,
                                const QJsonValue &json = QJsonValue(QJsonValue::Undefined));

    // A valid token pair straight from the control API, for tests that do not sign in.
    [[nodiscard]] QString issueAccessToken();

private:
    void stop();

    QProcess m_process;
    QNetworkAccessManager m_network;
    QUrl m_baseUrl;
    QString m_startError;
};
