#pragma once

#include "SandboxRequest.h"

#include <QJsonArray>
#include <QJsonObject>

// Every request the sandbox served outside its control API, in arrival order, so a test can
// check what a client really sent (method, path, query, headers, body).
class RequestLog
{
public:
    void record(const SandboxRequest &request);
    // Entries whose method equals method (when given) and whose path starts with pathPrefix.
    [[nodiscard]] QJsonArray entries(const QString &method, const QString &pathPrefix) const;
    void clear();

private:
    static constexpr qsizetype capacity = 10000;
    QList<QJsonObject> m_entries;
    qint64 m_sequence = 0;
};
