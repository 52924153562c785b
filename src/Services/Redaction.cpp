#include "Services/Redaction.h"

#include <QStringList>

const QString Redaction::placeholder = QStringLiteral("<redacted>");

bool Redaction::isSecretKey(const QString &key)
{
    static const QStringList secrets{QStringLiteral("client_secret"), QStringLiteral("code"),
                                     QStringLiteral("refresh_token"),
                                     QStringLiteral("access_token")};
    return secrets.contains(key, Qt::CaseInsensitive);
}

QVariantMap Redaction::parameters(const QVariantMap &parameters)
{
    QVariantMap redacted = parameters;
    for (auto it = redacted.begin(); it != redacted.end(); ++it) {
        if (isSecretKey(it.key()))
            it.value() = placeholder;
    }
    return redacted;
}
