#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <utility>

// The answer a route gives: status, content type, body and extra headers. Routes build it;
// the server writes it (after any injected fault has changed it).
struct SandboxReply
{
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers;
    qint64 stallAfterBytes = -1; // see FaultInjector::Fault
    bool omitLength = false;

    [[nodiscard]] static SandboxReply json(const QJsonObject &object, int status = 200);
    [[nodiscard]] static SandboxReply json(const QJsonArray &array, int status = 200);
    [[nodiscard]] static SandboxReply bytes(const QByteArray &body, const QByteArray &contentType,
                                            int status = 200);
    [[nodiscard]] static SandboxReply html(const QString &page, int status = 200);
    [[nodiscard]] static SandboxReply redirect(const QByteArray &location);
    // The service's validation error body: {"errors":[{"property":...,"message":...}]}.
    [[nodiscard]] static SandboxReply fieldError(int status, const QString &property,
                                                 const QString &message);
    [[nodiscard]] static SandboxReply unauthorized(const QString &description);

    [[nodiscard]] bool isJson() const { return contentType.startsWith("application/json"); }
};
