#pragma once

#include "RouteTable.h"

class SandboxState;

// The crash-report sink: POST /api/<project>/envelope/ takes one envelope (header line, then
// item header and payload pairs), checks the X-Sentry-Auth header and keeps it for the tests.
class CrashSinkRoutes
{
public:
    CrashSinkRoutes(const QString &publicKey, SandboxState &state);
    void addTo(RouteTable &table);

    struct Envelope
    {
        QJsonObject header;
        QJsonArray items;
        QString error; // set when the envelope does not parse
    };
    [[nodiscard]] static Envelope parse(const QByteArray &body);

private:
    [[nodiscard]] SandboxReply receive(const SandboxRequest &request, const QString &project);

    QString m_publicKey;
    SandboxState &m_state;
};
