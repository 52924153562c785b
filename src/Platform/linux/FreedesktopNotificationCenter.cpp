#include "Platform/linux/FreedesktopNotificationCenter.h"

#include "App/Costants.h"
#include "Platform/linux/FreedesktopNotificationsProxy.h"
#include "Platform/linux/LinuxBundleInfo.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>

namespace {
const QString kDefaultAction = QStringLiteral("default");
const QString kEditAction = QStringLiteral("edit");
} // namespace

FreedesktopNotificationCenter::FreedesktopNotificationCenter(const QDBusConnection &connection,
                                                             QObject *parent)
    : UserNotificationCenter(parent)
    , m_connection(connection)
    , m_proxy(new FreedesktopNotificationsProxy(connection, this))
{
    connect(m_proxy, &FreedesktopNotificationsProxy::ActionInvoked, this,
            &FreedesktopNotificationCenter::onActionInvoked);
    connect(m_proxy, &FreedesktopNotificationsProxy::NotificationClosed, this,
            &FreedesktopNotificationCenter::onNotificationClosed);
    askCapabilities();
}

FreedesktopNotificationCenter::~FreedesktopNotificationCenter() = default;

QString FreedesktopNotificationCenter::applicationIcon()
{
    // The icon installed with the program, by path: an install outside the desktop's data
    // folders (a bundle in the home folder) is not found by name.
    static const QString icon = [] {
        const QString installed =
            LinuxBundleInfo().bundlePath() + QStringLiteral("/share/icons/hicolor/scalable/apps/") +
            Costants::LocalNotification::applicationIcon + QStringLiteral(".svg");
        return QFileInfo::exists(installed) ? QUrl::fromLocalFile(installed).toString()
                                            : Costants::LocalNotification::applicationIcon;
    }();
    return icon;
}

void FreedesktopNotificationCenter::deliver(const UserNotification &notification)
{
    if (QThread::currentThread() == thread())
        deliverHere(notification);
    else
        QMetaObject::invokeMethod(
            this, [this, notification] { deliverHere(notification); }, Qt::QueuedConnection);
}

void FreedesktopNotificationCenter::removeAllDeliveredNotifications()
{
    if (QThread::currentThread() == thread())
        removeAllHere();
    else
        QMetaObject::invokeMethod(
            this, [this] { removeAllHere(); }, Qt::QueuedConnection);
}

void FreedesktopNotificationCenter::removeDeliveredNotification(const QString &identifier)
{
    if (QThread::currentThread() == thread())
        removeHere(identifier);
    else
        QMetaObject::invokeMethod(
            this, [this, identifier] { removeHere(identifier); }, Qt::QueuedConnection);
}

void FreedesktopNotificationCenter::askCapabilities()
{
    if (m_askingCapabilities)
        return;
    m_askingCapabilities = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(FreedesktopNotificationsProxy::service),
        QString::fromLatin1(FreedesktopNotificationsProxy::path),
        QString::fromLatin1(FreedesktopNotificationsProxy::interfaceName),
        QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        const QDBusPendingReply<QStringList> reply = *watcher;
        m_askingCapabilities = false;
        // Without an answer (no daemon yet) the next delivery asks again.
        if (!reply.isError())
            m_showsActions = reply.value().contains(QStringLiteral("actions"));
        watcher->deleteLater();
    });
}

void FreedesktopNotificationCenter::deliverHere(const UserNotification &notification)
{
    if (!m_showsActions)
        askCapabilities();
    QStringList actions{kDefaultAction, QStringLiteral("Open")};
    if (notification.hasActionButton) {
        actions << kEditAction
                << (notification.actionButtonTitle.isEmpty() ? QStringLiteral("Edit")
                                                             : notification.actionButtonTitle);
    }
    // A server that does not advertise actions would only drop them, or show them wrongly.
    if (m_showsActions.value_or(false)) {
        for (const UserNotificationAction &action : notification.additionalActions)
            actions << action.identifier << action.title;
    }
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), Costants::LocalNotification::desktopEntry}};
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(FreedesktopNotificationsProxy::service),
        QString::fromLatin1(FreedesktopNotificationsProxy::path),
        QString::fromLatin1(FreedesktopNotificationsProxy::interfaceName),
        QStringLiteral("Notify"));
    call << Costants::LocalNotification::applicationName << 0u << applicationIcon()
         << notification.title << notification.informativeText << actions << hints << -1;
    const quint64 sequence = ++m_sequence;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, sequence, notification] {
                const QDBusPendingReply<uint> reply = *watcher;
                if (!reply.isError())
                    onNotifyAnswered(sequence, reply.value(), notification);
                watcher->deleteLater();
            });
}

void FreedesktopNotificationCenter::onNotifyAnswered(quint64 sequence, uint id,
                                                     const UserNotification &notification)
{
    const bool removed =
        sequence <= m_removedAllUpTo || sequence <= m_removedUpTo.value(notification.identifier, 0);
    if (removed) {
        close(id);
        return;
    }
    m_shown.insert(id, notification);
}

void FreedesktopNotificationCenter::removeAllHere()
{
    m_removedAllUpTo = m_sequence;
    const QList<uint> ids = m_shown.keys();
    m_shown.clear();
    for (uint id : ids)
        close(id);
}

void FreedesktopNotificationCenter::removeHere(const QString &identifier)
{
    m_removedUpTo.insert(identifier, m_sequence);
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (it->identifier == identifier) {
            close(it.key());
            it = m_shown.erase(it);
        } else {
            ++it;
        }
    }
}

void FreedesktopNotificationCenter::close(uint id)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(FreedesktopNotificationsProxy::service),
        QString::fromLatin1(FreedesktopNotificationsProxy::path),
        QString::fromLatin1(FreedesktopNotificationsProxy::interfaceName),
        QStringLiteral("CloseNotification"));
    call << id;
    m_connection.asyncCall(call);
}

void FreedesktopNotificationCenter::onActionInvoked(uint id, const QString &actionKey)
{
    const auto it = m_shown.constFind(id);
    if (it == m_shown.cend())
        return; // another program's notification
    // A copy: a receiver that removes the notification erases the table entry.
    UserNotification notification = *it;
    const bool additional =
        std::any_of(notification.additionalActions.cbegin(), notification.additionalActions.cend(),
                    [&](const UserNotificationAction &a) { return a.identifier == actionKey; });
    if (actionKey != kDefaultAction && actionKey != kEditAction && !additional)
        return;
    if (additional)
        notification.activatedAction = actionKey;
    m_activated.insert(id);
    emit didActivate(notification);
}

void FreedesktopNotificationCenter::onNotificationClosed(uint id, uint reason)
{
    const auto it = m_shown.constFind(id);
    if (it == m_shown.cend()) {
        m_activated.remove(id);
        return;
    }
    const UserNotification notification = *it;
    m_shown.erase(it);
    // Some daemons close a notification as dismissed right after its action was chosen;
    // that is no dismissal.
    const bool activated = m_activated.remove(id);
    if (reason == dismissedByUser && !activated)
        emit didDismiss(notification);
}
