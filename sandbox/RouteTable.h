#pragma once

#include "SandboxReply.h"
#include "SandboxRequest.h"

#include <QList>
#include <QRegularExpression>
#include <functional>

// Maps method and path (a regular expression matched against the whole path) to a handler.
// A path that matches with another method answers 405, no match at all 404.
class RouteTable
{
public:
    using Handler =
        std::function<SandboxReply(const SandboxRequest &, const QRegularExpressionMatch &)>;

    void add(const QByteArray &method, const QString &pathPattern, Handler handler);
    [[nodiscard]] SandboxReply dispatch(const SandboxRequest &request) const;

private:
    struct Route
    {
        QByteArray method;
        QRegularExpression path;
        Handler handler;
    };
    QList<Route> m_routes;
};
