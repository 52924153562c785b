#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QString>
#include <QUrlQuery>
#include <utility>

// One received HTTP request, copied out of the server's parser so that a handler may answer it
// later (delays) and the request log can keep it.
struct SandboxRequest
{
    using Header = std::pair<QByteArray, QByteArray>;

    QByteArray method;
    QString path;
    QString rawQuery;
    QUrlQuery query;
    QList<Header> headers;
    QByteArray body;

    // Header lookup is case-insensitive, as HTTP wants.
    [[nodiscard]] QByteArray header(const QByteArray &name) const;
    [[nodiscard]] bool hasHeader(const QByteArray &name) const;
    [[nodiscard]] QString queryValue(const QString &key) const;
    [[nodiscard]] bool hasQuery(const QString &key) const;
    // The media type of the body without parameters, lower-cased ("application/json").
    [[nodiscard]] QByteArray mediaType() const;
    // The body as a form (application/x-www-form-urlencoded), fully decoded.
    [[nodiscard]] QUrlQuery formBody() const;
    // The body as JSON; error is set when it does not parse.
    [[nodiscard]] QJsonDocument jsonBody(QJsonParseError *error = nullptr) const;
};
