#include "CrashSinkRoutes.h"

#include "SandboxState.h"

#include <QDateTime>
#include <QJsonDocument>

namespace {

SandboxReply refused(int status, const QString &detail)
{
    return SandboxReply::json(QJsonObject{{"detail", detail}}, status);
}

// "Sentry sentry_version=7, sentry_key=KEY, sentry_client=NAME/VERSION" as a map.
QJsonObject parseAuth(const QByteArray &header)
{
    QJsonObject fields;
    const QByteArray trimmed = header.trimmed();
    if (!trimmed.startsWith("Sentry "))
        return fields;
    for (const QByteArray &part : trimmed.mid(7).split(',')) {
        const qsizetype equals = part.indexOf('=');
        if (equals > 0)
            fields.insert(QString::fromLatin1(part.left(equals).trimmed()),
                          QString::fromLatin1(part.mid(equals + 1).trimmed()));
    }
    return fields;
}

} // namespace

CrashSinkRoutes::CrashSinkRoutes(const QString &publicKey, SandboxState &state)
    : m_publicKey(publicKey)
    , m_state(state)
{}

void CrashSinkRoutes::addTo(RouteTable &table)
{
    table.add("POST", "/api/([0-9]+)/envelope/?",
              [this](const SandboxRequest &request, const QRegularExpressionMatch &match) {
                  return receive(request, match.captured(1));
              });
}

CrashSinkRoutes::Envelope CrashSinkRoutes::parse(const QByteArray &body)
{
    Envelope envelope;
    qsizetype position = body.indexOf('\n');
    QJsonParseError error{};
    const QJsonDocument header =
        QJsonDocument::fromJson(body.left(position < 0 ? body.size() : position), &error);
    if (error.error != QJsonParseError::NoError || !header.isObject()) {
        envelope.error = QStringLiteral("envelope header is not a JSON object");
        return envelope;
    }
    envelope.header = header.object();
    while (position >= 0 && position + 1 < body.size()) {
        const qsizetype start = position + 1;
        const qsizetype end = body.indexOf('\n', start);
        const QJsonDocument itemHeader =
            QJsonDocument::fromJson(body.mid(start, end < 0 ? -1 : end - start), &error);
        if (error.error != QJsonParseError::NoError || !itemHeader.isObject()) {
            envelope.error = QStringLiteral("item header is not a JSON object");
            return envelope;
        }
        if (end < 0) {
            envelope.error = QStringLiteral("item without payload");
            return envelope;
        }
        // With "length" the payload is that many bytes, otherwise it runs to the line end.
        const QJsonValue length = itemHeader.object().value("length");
        qsizetype payloadEnd =
            length.isDouble() ? end + 1 + length.toInteger() : body.indexOf('\n', end + 1);
        if (payloadEnd < 0)
            payloadEnd = body.size();
        if (payloadEnd > body.size()) {
            envelope.error = QStringLiteral("item payload shorter than its length");
            return envelope;
        }
        const QByteArray payload = body.mid(end + 1, payloadEnd - end - 1);
        const QJsonDocument json = QJsonDocument::fromJson(payload, &error);
        const QJsonValue payloadValue =
            error.error == QJsonParseError::NoError
                ? (json.isObject() ? QJsonValue(json.object()) : QJsonValue(json.array()))
                : QJsonValue(QString::fromUtf8(payload));
        envelope.items.append(
            QJsonObject{{"header", itemHeader.object()}, {"payload", payloadValue}});
        position = payloadEnd < body.size() ? payloadEnd : -1;
    }
    if (envelope.items.isEmpty())
        envelope.error = QStringLiteral("envelope without items");
    return envelope;
}

SandboxReply CrashSinkRoutes::receive(const SandboxRequest &request, const QString &project)
{
    const QJsonObject auth = parseAuth(request.header("X-Sentry-Auth"));
    if (auth.isEmpty())
        return refused(401, QStringLiteral("missing or malformed X-Sentry-Auth header"));
    if (auth.value("sentry_version").toString() != QLatin1String("7"))
        return refused(401, QStringLiteral("sentry_version must be 7"));
    if (auth.value("sentry_client").toString().isEmpty())
        return refused(401, QStringLiteral("sentry_client is missing"));
    if (auth.value("sentry_key").toString() != m_publicKey)
        return refused(403, QStringLiteral("unknown public key"));

    const Envelope envelope = parse(request.body);
    if (!envelope.error.isEmpty())
        return refused(400, envelope.error);
    m_state.envelopes.append(
        QJsonObject{{"project", project},
                    {"auth", auth},
                    {"header", envelope.header},
                    {"items", envelope.items},
                    {"receivedAt", SandboxState::timestamp(QDateTime::currentDateTimeUtc())}});
    return SandboxReply::json(QJsonObject{{"id", envelope.header.value("event_id")}});
}
