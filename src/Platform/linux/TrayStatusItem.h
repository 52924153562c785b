#pragma once

#include "Platform/StatusItem.h"

#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QTimer>

// The status item as a tray icon (StatusNotifierItem, or XEmbed on older trays).
class TrayStatusItem : public StatusItem
{
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject *parent = nullptr);

    void setImage(const QIcon &image) override;
    void setToolTip(const QString &text) override;
    void show() override;
    [[nodiscard]] bool isVisible() const override;
    [[nodiscard]] QRect geometry() const override;
    void setContextMenu(QMenu *menu) override;

private:
    void tryShow();
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_tray;
    QTimer m_retry;
    int m_attemptsLeft = 0;
    bool m_reportedMissing = false;
    QElapsedTimer m_lastActivation;
};
