#include "FaultInjector.h"

#include <QJsonDocument>

namespace {

QRegularExpression globToExpression(const QString &glob)
{
    QString pattern;
    for (const QChar character : glob)
        pattern += character == QLatin1Char('*') ? QStringLiteral(".*")
                                                 : QRegularExpression::escape(QString(character));
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern));
}

QJsonValue mistypedScalar(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return 12345;
    case QJsonValue::Double:
        return value.toVariant().toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array:
        return QStringLiteral("not a list");
    case QJsonValue::Object:
        return QStringLiteral("not an object");
    default:
        return QStringLiteral("null");
    }
}

} // namespace

QJsonObject FaultInjector::Fault::toJson() const
{
    QJsonObject json{{"id", id},
                     {"method", QString::fromLatin1(method)},
                     {"path", pattern},
                     {"delayMs", delayMs},
                     {"status", status},
                     {"malformedJson", malformedJson},
                     {"mistypedJson", mistypedJson},
                     {"drop", drop},
                     {"stallAfterBytes", stallAfterBytes},
                     {"omitLength", omitLength},
                     {"times", remaining},
                     {"hits", hits}};
    if (body)
        json.insert("body", *body);
    if (!retryAfter.isEmpty())
        json.insert("retryAfter", QString::fromLatin1(retryAfter));
    return json;
}

SandboxReply FaultInjector::Fault::statusReply() const
{
    SandboxReply reply;
    if (!body) {
        reply = SandboxReply::fieldError(status, QStringLiteral("sandbox"),
                                         QStringLiteral("Injected fault"));
    } else if (body->isString()) {
        reply = SandboxReply::bytes(body->toString().toUtf8(), "text/plain; charset=utf-8", status);
    } else {
        reply.status = status;
        reply.body = body->isArray()
                         ? QJsonDocument(body->toArray()).toJson(QJsonDocument::Compact)
                         : QJsonDocument(body->toObject()).toJson(QJsonDocument::Compact);
    }
    if (!retryAfter.isEmpty())
        reply.headers.emplaceBack("Retry-After", retryAfter);
    return reply;
}

void FaultInjector::Fault::distort(SandboxReply &reply) const
{
    reply.stallAfterBytes = stallAfterBytes;
    reply.omitLength = omitLength;
    if (mistypedJson) {
        const QJsonDocument document = QJsonDocument::fromJson(reply.body);
        const QJsonValue original =
            document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
        const QJsonValue changed = mistype(original);
        reply.contentType = "application/json";
        if (changed.isObject())
            reply.body = QJsonDocument(changed.toObject()).toJson(QJsonDocument::Compact);
        else // a top-level scalar, written by hand since QJsonDocument holds only containers
            reply.body = "\"" + changed.toString().toUtf8() + "\"";
    }
    if (malformedJson) {
        reply.contentType = "application/json";
        reply.body = reply.body.isEmpty() ? QByteArray("{\"unterminated\": ")
                                          : reply.body.left(reply.body.size() / 2) + "\"\x01<<";
    }
}

QJsonValue FaultInjector::mistype(const QJsonValue &value)
{
    if (!value.isObject())
        return mistypedScalar(value);
    QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it)
        it.value() = mistypedScalar(it.value());
    return object;
}

std::optional<FaultInjector::Fault> FaultInjector::add(const QJsonObject &description,
                                                       QString *error)
{
    Fault fault;
    fault.method = description.value("method").toString().toUpper().toLatin1();
    fault.pattern = description.value("path").toString();
    if (!fault.pattern.startsWith(QLatin1Char('/'))) {
        *error = QStringLiteral("path must be a pattern starting with /");
        return std::nullopt;
    }
    fault.path = globToExpression(fault.pattern);
    fault.delayMs = description.value("delayMs").toInt();
    fault.status = description.value("status").toInt();
    if (description.contains("body"))
        fault.body = description.value("body");
    fault.retryAfter = description.value("retryAfter").toString().toLatin1();
    fault.malformedJson = description.value("malformedJson").toBool();
    fault.mistypedJson = description.value("mistypedJson").toBool();
    fault.drop = description.value("drop").toBool();
    fault.stallAfterBytes = description.value("stallAfterBytes").toInteger(-1);
    fault.omitLength = description.value("omitLength").toBool();
    fault.remaining = description.contains("times") ? description.value("times").toInt() : -1;
    if (fault.delayMs < 0 || (fault.status != 0 && (fault.status < 100 || fault.status > 599))) {
        *error = QStringLiteral("delayMs must be 0 or more and status from 100 to 599");
        return std::nullopt;
    }
    if (!fault.retryAfter.isEmpty() && fault.status == 0) {
        *error = QStringLiteral("retryAfter goes with a status");
        return std::nullopt;
    }
    if (fault.remaining == 0 || fault.remaining < -1) {
        *error = QStringLiteral("times must be 1 or more (leave it out for until cleared)");
        return std::nullopt;
    }
    if (fault.delayMs == 0 && fault.status == 0 && !fault.malformedJson && !fault.mistypedJson &&
        !fault.drop && fault.stallAfterBytes < 0 && !fault.omitLength) {
        *error = QStringLiteral("a fault needs delayMs, status, malformedJson, mistypedJson, "
                                "drop, stallAfterBytes or omitLength");
        return std::nullopt;
    }
    fault.id = m_nextId++;
    m_faults.append(fault);
    return fault;
}

std::optional<FaultInjector::Fault> FaultInjector::take(const QByteArray &method,
                                                        const QString &path)
{
    for (qsizetype i = 0; i < m_faults.size(); ++i) {
        Fault &fault = m_faults[i];
        if ((!fault.method.isEmpty() && fault.method != method) ||
            !fault.path.match(path).hasMatch())
            continue;
        ++fault.hits;
        const Fault taken = fault;
        if (fault.remaining > 0 && --fault.remaining == 0)
            m_faults.removeAt(i);
        return taken;
    }
    return std::nullopt;
}

QJsonArray FaultInjector::list() const
{
    QJsonArray result;
    for (const Fault &fault : m_faults)
        result.append(fault.toJson());
    return result;
}

bool FaultInjector::remove(int id)
{
    return m_faults.removeIf([id](const Fault &fault) { return fault.id == id; }) > 0;
}

void FaultInjector::clear()
{
    m_faults.clear();
}
