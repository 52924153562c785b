#include "Platform/linux/WebViewProtocol.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <array>
#include <utility>

namespace {

using Command = WebViewProtocol::Command;
using Event = WebViewProtocol::Event;

constexpr std::array<std::pair<Event::Kind, const char *>, 8> eventNames{{
    {Event::Kind::Ready, "ready"},
    {Event::Kind::Started, "started"},
    {Event::Kind::Loading, "loading"},
    {Event::Kind::Loaded, "loaded"},
    {Event::Kind::Error, "error"},
    {Event::Kind::FailedProvisional, "failedProvisional"},
    {Event::Kind::Challenge, "challenge"},
    {Event::Kind::Closed, "closed"},
}};

constexpr std::array<std::pair<Command::Kind, const char *>, 3> commandNames{{
    {Command::Kind::Load, "load"},
    {Command::Kind::Intercept, "intercept"},
    {Command::Kind::Close, "close"},
}};

template<typename Kind, std::size_t N>
QString nameOf(const std::array<std::pair<Kind, const char *>, N> &names, Kind kind)
{
    const auto it = std::find_if(names.begin(), names.end(),
                                 [kind](const auto &entry) { return entry.first == kind; });
    return QString::fromLatin1(it->second);
}

template<typename Kind, std::size_t N>
std::optional<Kind> kindOf(const std::array<std::pair<Kind, const char *>, N> &names,
                           const QJsonValue &value)
{
    if (!value.isString())
        return std::nullopt;
    const QString name = value.toString();
    for (const auto &[kind, text] : names) {
        if (name == QLatin1String(text))
            return kind;
    }
    return std::nullopt;
}

QByteArray toLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> toObject(const QByteArray &line)
{
    if (line.size() > WebViewProtocol::maxLineLength)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QString urlText(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

QVariantMap WebViewProtocol::failureUserInfo(const QString &failingUrl, const QString &error)
{
    return {
        {QStringLiteral("NSErrorFailingURLStringKey"), failingUrl},
        {QStringLiteral("NSErrorFailingURLKey"), failingUrl},
        {QStringLiteral("NSLocalizedDescription"), error},
    };
}

QByteArray WebViewProtocol::encode(const Command &command)
{
    QJsonObject object{{QStringLiteral("cmd"), nameOf(commandNames, command.kind)}};
    switch (command.kind) {
    case Command::Kind::Load:
        object.insert(QStringLiteral("url"), urlText(command.url));
        break;
    case Command::Kind::Intercept:
        object.insert(QStringLiteral("prefix"), command.prefix);
        break;
    case Command::Kind::Close:
        break;
    }
    return toLine(object);
}

QByteArray WebViewProtocol::encode(const Event &event)
{
    QJsonObject object{{QStringLiteral("event"), nameOf(eventNames, event.kind)}};
    if (event.kind != Event::Kind::Ready && event.kind != Event::Kind::Closed)
        object.insert(QStringLiteral("url"), urlText(event.url));
    switch (event.kind) {
    case Event::Kind::Loading:
        object.insert(QStringLiteral("progress"), event.progress);
        break;
    case Event::Kind::Loaded:
        object.insert(QStringLiteral("ok"), event.ok);
        break;
    case Event::Kind::Error:
        object.insert(QStringLiteral("error"), event.error);
        break;
    case Event::Kind::FailedProvisional:
        object.insert(QStringLiteral("failingUrl"), event.failingUrl);
        object.insert(QStringLiteral("error"), event.error);
        object.insert(QStringLiteral("userInfo"), QJsonObject::fromVariantMap(event.userInfo));
        break;
    case Event::Kind::Closed:
        object.insert(QStringLiteral("byUser"), event.byUser);
        break;
    case Event::Kind::Ready:
    case Event::Kind::Started:
    case Event::Kind::Challenge:
        break;
    }
    return toLine(object);
}

std::optional<Command> WebViewProtocol::decodeCommand(const QByteArray &line)
{
    const std::optional<QJsonObject> object = toObject(line);
    if (!object)
        return std::nullopt;
    const std::optional<Command::Kind> kind =
        kindOf(commandNames, object->value(QStringLiteral("cmd")));
    if (!kind)
        return std::nullopt;
    Command command;
    command.kind = *kind;
    switch (*kind) {
    case Command::Kind::Load: {
        const QJsonValue url = object->value(QStringLiteral("url"));
        if (!url.isString())
            return std::nullopt;
        command.url = QUrl(url.toString(), QUrl::StrictMode);
        if (!command.url.isValid() || command.url.scheme().isEmpty())
            return std::nullopt;
        break;
    }
    case Command::Kind::Intercept: {
        const QJsonValue prefix = object->value(QStringLiteral("prefix"));
        if (!prefix.isString())
            return std::nullopt;
        command.prefix = prefix.toString();
        break;
    }
    case Command::Kind::Close:
        break;
    }
    return command;
}

std::optional<Event> WebViewProtocol::decodeEvent(const QByteArray &line)
{
    const std::optional<QJsonObject> object = toObject(line);
    if (!object)
        return std::nullopt;
    const std::optional<Event::Kind> kind =
        kindOf(eventNames, object->value(QStringLiteral("event")));
    if (!kind)
        return std::nullopt;
    Event event;
    event.kind = *kind;
    if (*kind != Event::Kind::Ready && *kind != Event::Kind::Closed) {
        const QJsonValue url = object->value(QStringLiteral("url"));
        if (!url.isString())
            return std::nullopt;
        event.url = QUrl(url.toString());
    }
    switch (*kind) {
    case Event::Kind::Loading: {
        const QJsonValue progress = object->value(QStringLiteral("progress"));
        if (!progress.isDouble())
            return std::nullopt;
        event.progress = std::clamp(progress.toInt(), 0, 100);
        break;
    }
    case Event::Kind::Loaded: {
        const QJsonValue ok = object->value(QStringLiteral("ok"));
        if (!ok.isBool())
            return std::nullopt;
        event.ok = ok.toBool();
        break;
    }
    case Event::Kind::Error: {
        const QJsonValue error = object->value(QStringLiteral("error"));
        if (!error.isString())
            return std::nullopt;
        event.error = error.toString();
        break;
    }
    case Event::Kind::FailedProvisional: {
        const QJsonValue failingUrl = object->value(QStringLiteral("failingUrl"));
        const QJsonValue error = object->value(QStringLiteral("error"));
        const QJsonValue userInfo = object->value(QStringLiteral("userInfo"));
        if (!failingUrl.isString() || failingUrl.toString().isEmpty() || !error.isString() ||
            !(userInfo.isObject() || userInfo.isUndefined()))
            return std::nullopt;
        event.failingUrl = failingUrl.toString();
        event.error = error.toString();
        // The failing address is what the sign-in flow reads; it always matches the event's.
        event.userInfo = failureUserInfo(event.failingUrl, event.error);
        const QVariantMap extra = userInfo.toObject().toVariantMap();
        for (auto it = extra.cbegin(); it != extra.cend(); ++it) {
            if (it.key() != QLatin1String("NSErrorFailingURLStringKey"))
                event.userInfo.insert(it.key(), it.value());
        }
        break;
    }
    case Event::Kind::Closed: {
        const QJsonValue byUser = object->value(QStringLiteral("byUser"));
        if (!byUser.isBool())
            return std::nullopt;
        event.byUser = byUser.toBool();
        break;
    }
    case Event::Kind::Ready:
    case Event::Kind::Started:
    case Event::Kind::Challenge:
        break;
    }
    return event;
}

QList<QByteArray> WebViewLineBuffer::append(const QByteArray &chunk)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < chunk.size()) {
        const qsizetype end = chunk.indexOf('\n', start);
        if (end < 0) {
            if (!m_discarding)
                m_pending += chunk.mid(start);
            if (m_pending.size() > WebViewProtocol::maxLineLength) {
                m_pending.clear();
                m_discarding = true;
            }
            break;
        }
        if (!m_discarding) {
            m_pending += chunk.mid(start, end - start);
            if (m_pending.endsWith('\r'))
                m_pending.chop(1);
            if (m_pending.size() <= WebViewProtocol::maxLineLength)
                lines.append(m_pending);
        }
        m_pending.clear();
        m_discarding = false;
        start = end + 1;
    }
    return lines;
}
