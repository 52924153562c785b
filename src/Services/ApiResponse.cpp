#include "Services/ApiResponse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>

ApiResponse ApiResponse::from(QNetworkReply *reply)
{
    ApiResponse response;
    response.url = reply->url();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    response.hasResponse = status.isValid();
    response.status = status.toInt();
    if (reply->error() != QNetworkReply::NoError)
        response.error = reply->errorString();
    if (response.hasResponse) {
        response.body = reply->readAll();
        response.value = parse(response.body);
    }
    return response;
}

std::optional<QJsonValue> ApiResponse::parse(const QByteArray &body)
{
    if (body.trimmed().isEmpty())
        return std::nullopt;
    // QJsonDocument takes only objects and arrays at the top; wrapping the body in a list
    // lets a bare scalar through as well.
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson("[" + body + "]", &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray wrapper = document.array();
    if (wrapper.size() != 1)
        return std::nullopt;
    return wrapper.first();
}
