#pragma once

#include <QString>
#include <QVariantMap>

// Secrets never reach the log or the crash reports in clear: the values of the token
// request's secret parameters are replaced, the keys stay so the line still says what was sent.
class Redaction
{
public:
    Redaction() = delete;

    static const QString placeholder; // "<redacted>"

    // The client secret, an authorization code, a refresh token or an access token.
    [[nodiscard]] static bool isSecretKey(const QString &key);
    [[nodiscard]] static QVariantMap parameters(const QVariantMap &parameters);
};
