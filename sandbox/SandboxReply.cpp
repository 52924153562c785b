#include "SandboxReply.h"

#include <QJsonDocument>

SandboxReply SandboxReply::json(const QJsonObject &object, int status)
{
    return {status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact), {}};
}

SandboxReply SandboxReply::json(const QJsonArray &array, int status)
{
    return {status, "application/json", QJsonDocument(array).toJson(QJsonDocument::Compact), {}};
}

SandboxReply SandboxReply::bytes(const QByteArray &body, const QByteArray &contentType, int status)
{
    return {status, contentType, body, {}};
}

SandboxReply SandboxReply::html(const QString &page, int status)
{
    return {status, "text/html; charset=utf-8", page.toUtf8(), {}};
}

SandboxReply SandboxReply::redirect(const QByteArray &location)
{
    SandboxReply reply{302, "text/plain; charset=utf-8", "Found", {}};
    reply.headers.emplaceBack("Location", location);
    return reply;
}

SandboxReply SandboxReply::fieldError(int status, const QString &property, const QString &message)
{
    const QJsonObject error{{"property", property}, {"message", message}};
    return json(QJsonObject{{"errors", QJsonArray{error}}}, status);
}

SandboxReply SandboxReply::unauthorized(const QString &description)
{
    SandboxReply reply =
        json(QJsonObject{{"error", "unauthorized"}, {"message", description}}, 401);
    reply.headers.emplaceBack("WWW-Authenticate", "Bearer error=\"invalid_token\"");
    return reply;
}
