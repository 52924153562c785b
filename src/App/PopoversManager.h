#pragma once

#include "App/NotificationCenter.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

class ApiManager;
class AuthenticationManager;
class EventMonitor;
class Popover;
class QMenu;
class StatusItem;

// Owns the tray icon and the five popovers anchored to it, decides which one a click shows
// (network, sign-in state, a form in progress) and reacts to the notifications with which the
// views ask for a popover.
class PopoversManager : public QObject
{
    Q_OBJECT

public:
    // Routes by the network state of the API client and the token of the exchange; without
    // them, the shared ones, asked for only when a click needs them.
    explicit PopoversManager(std::unique_ptr<StatusItem> statusItem, ApiManager *api = nullptr,
                             AuthenticationManager *authentication = nullptr,
                             QObject *parent = nullptr);
    ~PopoversManager() override;

    void toggle();
    // A click on the tray icon. The click that closed a popover by moving the focus to the
    // tray is not a second request to open it.
    void toggleFromStatusItem();
    void handleNotification(const Notification &notification);

    void showPopoverLinks();
    void closePopoverLinks();
    void showPopoverLogin();
    // "Open" of the tray icon's menu: the popover that fits the state, unless one is shown.
    void openFitting();
    void showPopoverNewLink();
    void showPopoverNewLinkExternal();
    void showNewPopoverEditLink();
    void showPopoverEditLink();
    void showPopoverEditLinkExternal();
    void closePopoverEditLink();
    void dismissMainController();
    void resetPopoverControllers();

    [[nodiscard]] StatusItem *statusItem() const { return m_statusItem.get(); }
    [[nodiscard]] EventMonitor *eventMonitor() const { return m_eventMonitor.get(); }
    [[nodiscard]] Popover *popoverLinks() const { return m_popoverLinks.get(); }
    [[nodiscard]] Popover *popoverLogin() const { return m_popoverLogin.get(); }
    [[nodiscard]] Popover *popoverNoInternet() const { return m_popoverNoInternet.get(); }
    [[nodiscard]] Popover *popoverNewLink() const { return m_popoverNewLink.get(); }
    [[nodiscard]] Popover *popoverEditLink() const { return m_popoverEditLink.get(); }
    [[nodiscard]] QMenu *trayMenu() const { return m_trayMenu.get(); }

private:
    void registerObservers();
    void onOutsideClick(QEvent *event);
    void show(Popover *popover);
    void close(Popover *popover, QObject *sender = nullptr);
    bool closeIfShown(Popover *popover);
    void ensureController(Popover *popover, const QString &identifier);
    void showFreshForm(Popover *popover, const QString &identifier, bool external);
    void closeMainPopovers();
    // Builds the tray icon's menu as it is now: "Open", then the settings menu's items.
    void fillTrayMenu();

    std::unique_ptr<Popover> m_popoverLinks;
    std::unique_ptr<Popover> m_popoverLogin;
    std::unique_ptr<Popover> m_popoverNoInternet;
    std::unique_ptr<Popover> m_popoverNewLink;
    std::unique_ptr<Popover> m_popoverEditLink;
    std::unique_ptr<EventMonitor> m_eventMonitor;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<QMenu> m_trayMenu;
    // What the tray menu's settings items call; made on first need, as the views are.
    std::unique_ptr<QObject> m_menuActions;
    [[nodiscard]] ApiManager &api() const;
    [[nodiscard]] AuthenticationManager &authentication() const;

    ApiManager *m_api;
    AuthenticationManager *m_authentication;
    bool m_first = true;
    QElapsedTimer m_lastOutsideClose;
};
