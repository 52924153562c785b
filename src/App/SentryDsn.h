#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// A crash-reporting DSN: scheme://<public key>@<host>[:port]/<project>.
struct SentryDsn
{
    QString publicKey;
    QUrl origin; // scheme, host and port
    QString project;

    [[nodiscard]] QUrl envelopeUrl() const;
    [[nodiscard]] QString authHeader(const QString &clientVersion) const;

    // Plain http is accepted only for loopback hosts; error tells why a text was refused.
    [[nodiscard]] static std::optional<SentryDsn> parse(const QString &text, QString *error);
};
