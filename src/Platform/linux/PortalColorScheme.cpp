#include "Platform/linux/PortalColorScheme.h"

#include "App/Logger.h"
#include "Platform/linux/PortalSettingsProxy.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
} // namespace

PortalColorScheme::PortalColorScheme(const QDBusConnection &connection, int timeoutMs,
                                     QObject *parent)
    : ColorSchemeSource(parent)
    , m_connection(connection)
    , m_proxy(new PortalSettingsProxy(connection, this))
    , m_timeoutMs(timeoutMs)
{
    connect(m_proxy, &PortalSettingsProxy::SettingChanged, this,
            &PortalColorScheme::settingChanged);
    askOne();
}

std::optional<uint> PortalColorScheme::schemeOf(const QVariant &answer)
{
    QVariant value = answer;
    // A bounded unwrap: a portal's answer is at most two variants deep.
    for (int depth = 0; depth < 4 && value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        value = value.value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<uint>() &&
        value.metaType() != QMetaType::fromType<int>())
        return {};
    const qlonglong scheme = value.toLongLong();
    if (scheme < 0 || scheme > 2)
        return {};
    return uint(scheme);
}

void PortalColorScheme::askOne()
{
    if (!m_connection.isConnected())
        return;
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("ReadOne"));
    ask << kNamespace << kKey;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(ask, m_timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *call) { answered(call, true); });
}

void PortalColorScheme::askOld()
{
    QDBusMessage ask =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    ask << kNamespace << kKey;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(ask, m_timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *call) { answered(call, false); });
}

void PortalColorScheme::answered(QDBusPendingCallWatcher *call, bool fallBack)
{
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    if (reply.isError()) {
        if (fallBack && reply.error().type() == QDBusError::UnknownMethod)
            return askOld();
        logLines({QStringLiteral("no colour scheme from the desktop: ") + reply.error().name()});
        return;
    }
    if (!m_heardChange)
        take(schemeOf(reply.value().variant()));
}

void PortalColorScheme::settingChanged(const QString &nameSpace, const QString &key,
                                       const QDBusVariant &value)
{
    if (nameSpace != kNamespace || key != kKey)
        return;
    m_heardChange = true;
    take(schemeOf(value.variant()));
}

void PortalColorScheme::take(std::optional<uint> scheme)
{
    if (scheme == m_preference)
        return;
    m_preference = scheme;
    emit changed();
}
