#include "SandboxRequest.h"

QByteArray SandboxRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool SandboxRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString SandboxRequest::queryValue(const QString &key) const
{
    return query.queryItemValue(key, QUrl::FullyDecoded);
}

bool SandboxRequest::hasQuery(const QString &key) const
{
    return query.hasQueryItem(key);
}

QByteArray SandboxRequest::mediaType() const
{
    QByteArray type = header("Content-Type");
    const qsizetype semicolon = type.indexOf(';');
    if (semicolon >= 0)
        type.truncate(semicolon);
    return type.trimmed().toLower();
}

QUrlQuery SandboxRequest::formBody() const
{
    // Form encoding writes blanks as '+'; QUrlQuery only knows %20.
    QByteArray text = body;
    text.replace('+', "%20");
    return QUrlQuery(QString::fromUtf8(text));
}

QJsonDocument SandboxRequest::jsonBody(QJsonParseError *error) const
{
    return QJsonDocument::fromJson(body, error);
}
