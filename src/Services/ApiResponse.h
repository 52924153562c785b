#pragma once

#include <QJsonValue>
#include <QString>
#include <QUrl>

#include <optional>

class QNetworkReply;

// What a finished request brought back: whether an HTTP answer came at all, its status, its
// body parsed as JSON, the transport's error text and the request URL.
struct ApiResponse
{
    bool hasResponse = false;
    int status = 0;
    std::optional<QJsonValue> value;
    QByteArray body; // as it came, for what is checked byte for byte
    std::optional<QString> error;
    QUrl url;

    [[nodiscard]] static ApiResponse from(QNetworkReply *reply);
    // Lenient JSON: a bare scalar at the top level is a value too; an empty or broken body
    // is none.
    [[nodiscard]] static std::optional<QJsonValue> parse(const QByteArray &body);
};
