#include "Services/BodyLimit.h"

#include <QNetworkReply>

namespace {
constexpr const char *kExceeded = "quorvellaBodyLimitExceeded";

void cut(QNetworkReply *reply)
{
    reply->setProperty(kExceeded, true);
    reply->abort();
}
} // namespace

void BodyLimit::apply(QNetworkReply *reply, qint64 maxBytes)
{
    // One byte over the ceiling is enough to know; the stack reads no more meanwhile.
    reply->setReadBufferSize(maxBytes + 1);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxBytes)
            cut(reply);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, maxBytes] {
        if (reply->bytesAvailable() > maxBytes)
            cut(reply);
    });
}

bool BodyLimit::exceeded(const QNetworkReply *reply)
{
    return reply->property(kExceeded).toBool();
}
