#pragma once

#include <QNetworkRequest>
#include <QtGlobal>

class QNetworkReply;

// A ceiling on the body of an answer, enforced while it arrives: the reply buffers at most one
// byte more than the ceiling and is aborted as soon as its Content-Length or what came says it
// is larger, so a hostile host can neither make us hold more nor wait for the rest.
class BodyLimit
{
public:
    BodyLimit() = delete;

    // Set on a request, the ceiling in bytes that send() enforces on its answer.
    static constexpr auto attribute = QNetworkRequest::Attribute(QNetworkRequest::User + 1);

    static void apply(QNetworkReply *reply, qint64 maxBytes);
    // Whether apply() aborted the reply because its body was too large.
    [[nodiscard]] static bool exceeded(const QNetworkReply *reply);
};
