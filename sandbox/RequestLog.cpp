#include "RequestLog.h"

#include <QDateTime>
#include <QStringDecoder>

void RequestLog::record(const SandboxRequest &request)
{
    QJsonObject headers;
    for (const auto &[name, value] : request.headers) {
        const QString key = QString::fromLatin1(name);
        const QString text = QString::fromUtf8(value);
        headers.insert(key,
                       headers.contains(key) ? headers.value(key).toString() + ", " + text : text);
    }
    QJsonObject entry{{"seq", ++m_sequence},
                      {"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
                      {"method", QString::fromLatin1(request.method)},
                      {"path", request.path},
                      {"query", request.rawQuery},
                      {"headers", headers}};
    // Bodies that are no text (archives, images) are kept as base64.
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(request.body);
    if (decoder.hasError())
        entry.insert("bodyBase64", QString::fromLatin1(request.body.toBase64()));
    else
        entry.insert("body", text);
    m_entries.append(entry);
    if (m_entries.size() > capacity)
        m_entries.removeFirst();
}

QJsonArray RequestLog::entries(const QString &method, const QString &pathPrefix) const
{
    QJsonArray result;
    for (const QJsonObject &entry : m_entries) {
        if (!method.isEmpty() && entry.value("method").toString() != method)
            continue;
        if (!entry.value("path").toString().startsWith(pathPrefix))
            continue;
        result.append(entry);
    }
    return result;
}

void RequestLog::clear()
{
    m_entries.clear();
}
