#include "Platform/linux/TrayStatusItem.h"

#include "App/Logger.h"

namespace {
// At login the tray host may come up after us: look again a few times, seconds apart.
constexpr int kShowAttempts = 6;
constexpr int kRetryIntervalMs = 5000;
// Some trays report a press and a click for one click, or the user double-clicks.
constexpr qint64 kDebounceMs = 400;
} // namespace

TrayStatusItem::TrayStatusItem(QObject *parent)
    : StatusItem(parent)
{
    m_retry.setInterval(kRetryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, &TrayStatusItem::tryShow);
    connect(&m_tray, &QSystemTrayIcon::activated, this, &TrayStatusItem::onActivated);
}

void TrayStatusItem::setImage(const QIcon &image)
{
    m_tray.setIcon(image);
}

void TrayStatusItem::setToolTip(const QString &text)
{
    m_tray.setToolTip(text);
}

void TrayStatusItem::show()
{
    m_attemptsLeft = kShowAttempts;
    tryShow();
}

void TrayStatusItem::tryShow()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_retry.stop();
        m_tray.show();
        if (m_reportedMissing)
            Logger::shared().log({QStringLiteral("Quorvella: the system tray is now available")});
        return;
    }
    if (!m_reportedMissing) {
        m_reportedMissing = true;
        Logger::shared().log(
            {QStringLiteral("Quorvella: no system tray found; running without a tray icon")});
    }
    if (--m_attemptsLeft > 0) {
        if (!m_retry.isActive())
            m_retry.start();
    } else {
        m_retry.stop();
    }
}

bool TrayStatusItem::isVisible() const
{
    return m_tray.isVisible();
}

QRect TrayStatusItem::geometry() const
{
    return m_tray.geometry();
}

void TrayStatusItem::setContextMenu(QMenu *menu)
{
    // The tray host shows it on a right click, over the status-notifier menu or by itself.
    m_tray.setContextMenu(menu);
}

void TrayStatusItem::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick)
        return;
    if (m_lastActivation.isValid() && m_lastActivation.elapsed() < kDebounceMs)
        return;
    m_lastActivation.start();
    emit activated();
}
