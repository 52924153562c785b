#include "RouteTable.h"

void RouteTable::add(const QByteArray &method, const QString &pathPattern, Handler handler)
{
    m_routes.append({method, QRegularExpression(QRegularExpression::anchoredPattern(pathPattern)),
                     std::move(handler)});
}

SandboxReply RouteTable::dispatch(const SandboxRequest &request) const
{
    bool pathKnown = false;
    for (const Route &route : m_routes) {
        const QRegularExpressionMatch match = route.path.match(request.path);
        if (!match.hasMatch())
            continue;
        pathKnown = true;
        if (route.method == request.method)
            return route.handler(request, match);
    }
    if (pathKnown)
        return SandboxReply::json(QJsonObject{{"error", "method not allowed"}}, 405);
    return SandboxReply::json(QJsonObject{{"error", "not found"}, {"path", request.path}}, 404);
}
