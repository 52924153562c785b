#pragma once

#include "Platform/ColorSchemeSource.h"

#include <QDBusConnection>
#include <QDBusVariant>

class PortalSettingsProxy;
class QDBusPendingCallWatcher;

// The appearance "color-scheme" read from the desktop portal's settings, asked once without
// waiting and then followed through its change signal. Without a portal there is simply no
// preference.
class PortalColorScheme : public ColorSchemeSource
{
    Q_OBJECT

public:
    explicit PortalColorScheme(const QDBusConnection &connection = QDBusConnection::sessionBus(),
                               int timeoutMs = 3000, QObject *parent = nullptr);

    [[nodiscard]] std::optional<uint> preference() const override { return m_preference; }

private:
    // The scheme in a portal's answer, which older portals wrap in a second variant; nothing
    // for anything else.
    [[nodiscard]] static std::optional<uint> schemeOf(const QVariant &answer);
    // The newer method first; a portal that does not know it is asked the older one.
    void askOne();
    void askOld();
    void answered(QDBusPendingCallWatcher *call, bool fallBack);
    void settingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);
    void take(std::optional<uint> scheme);

    QDBusConnection m_connection;
    PortalSettingsProxy *m_proxy;
    const int m_timeoutMs;
    std::optional<uint> m_preference;
    // A change heard before the first answer is newer than that answer.
    bool m_heardChange = false;
};
