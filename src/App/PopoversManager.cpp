#include "App/PopoversManager.h"

#include "App/Costants.h"
#include "App/EventMonitor.h"
#include "App/Logger.h"
#include "App/MenuActions.h"
#include "App/MenuManager.h"
#include "App/ViewControllerFactory.h"
#include "Platform/StatusItem.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Utils/RebrandUndo.h"
#include "Utils/WatchPause.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QMenu>
#include <QTimer>

using namespace Costants;

namespace {

// A tray host is another program: clicking its icon first moves the focus there, which
// closes the shown popover as an outside click, then reports the click itself.
constexpr qint64 kOutsideCloseGraceMs = 500;

const QString kMainViewController = QStringLiteral("MainViewController");
const QString kLoginViewController = QStringLiteral("LoginViewController");
const QString kNoInternetViewController = QStringLiteral("NoInternetViewController");
const QString kNewLink2Controller = QStringLiteral("NewLink2Controller");
const QString kEditLinkController = QStringLiteral("EditLinkController");
const QString kMenuHandler = QStringLiteral("ViewControllerWithMenuHandler");

} // namespace

PopoversManager::PopoversManager(std::unique_ptr<StatusItem> statusItem, ApiManager *api,
                                 AuthenticationManager *authentication, QObject *parent)
    : QObject(parent)
    , m_popoverLinks(std::make_unique<Popover>())
    , m_popoverLogin(std::make_unique<Popover>())
    , m_popoverNoInternet(std::make_unique<Popover>())
    , m_popoverNewLink(std::make_unique<Popover>())
    , m_popoverEditLink(std::make_unique<Popover>())
    , m_eventMonitor(std::make_unique<EventMonitor>(
          EventMonitor::defaultMask, [this](QEvent *event) { onOutsideClick(event); }))
    , m_statusItem(std::move(statusItem))
    , m_trayMenu(std::make_unique<QMenu>())
    , m_api(api)
    , m_authentication(authentication)
{
    // Names for the window list and for tools that look for a window by its title.
    m_popoverLinks->setWindowTitle(QStringLiteral("Quorvella links"));
    m_popoverLogin->setWindowTitle(QStringLiteral("Quorvella sign in"));
    m_popoverNoInternet->setWindowTitle(QStringLiteral("Quorvella no connection"));
    m_popoverNewLink->setWindowTitle(QStringLiteral("Quorvella new link"));
    m_popoverEditLink->setWindowTitle(QStringLiteral("Quorvella edit link"));
    registerObservers();
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    m_trayMenu->setAccessibleName(QStringLiteral("Quorvella"));
    // Refilled before each opening, for the token and pause of that moment. Trays that ask
    // for the menu over D-Bus without announcing the opening get the last filling.
    connect(m_trayMenu.get(), &QMenu::aboutToShow, this, &PopoversManager::fillTrayMenu);
    if (m_statusItem)
        m_statusItem->setContextMenu(m_trayMenu.get());
    // Once start-up is over and the token can be asked for.
    QTimer::singleShot(0, this, &PopoversManager::fillTrayMenu);
}

PopoversManager::~PopoversManager()
{
    NotificationCenter::shared().removeObserver(this);
}

ApiManager &PopoversManager::api() const
{
    return m_api ? *m_api : ApiManager::shared();
}

AuthenticationManager &PopoversManager::authentication() const
{
    return m_authentication ? *m_authentication : AuthenticationManager::shared();
}

void PopoversManager::registerObservers()
{
    NotificationCenter &center = NotificationCenter::shared();
    const auto handle = [this](const Notification &n) {
        handleNotification(n);
    };
    center.addObserver(this, NotificationViews::togglePopover, handle);
    center.addObserver(this, NotificationViews::mainPopover, handle);
    center.addObserver(this, NotificationViews::mainPopoverClose,
                       [this](const Notification &) { closePopoverLinks(); });
    center.addObserver(this, NotificationViews::forceMainPopover, handle);
    center.addObserver(this, NotificationViews::togglePopoverOpen, handle);
    center.addObserver(this, NotificationViews::closePopover, handle);
    center.addObserver(this, NotificationViews::closeEditLinkPopover, handle);
    center.addObserver(this, NotificationViews::changeInternetReachability, handle);
    center.addObserver(this, NotificationViews::logout,
                       [this](const Notification &) { dismissMainController(); });
    center.addObserver(this, NotificationViews::closeEditLinkPopover,
                       [this](const Notification &) { showPopoverEditLink(); });
    center.addObserver(this, NotificationViews::newsEditLinkPopover,
                       [this](const Notification &) { showNewPopoverEditLink(); });
    center.addObserver(this, NotificationViews::newsEditLinkPopoverExternal,
                       [this](const Notification &) { showPopoverEditLinkExternal(); });
    center.addObserver(this, NotificationViews::editLinkPopover,
                       [this](const Notification &) { closePopoverEditLink(); });
    center.addObserver(this, NotificationViews::newLinkPopover,
                       [this](const Notification &) { showPopoverNewLink(); });
    center.addObserver(this, NotificationViews::newLinkPopoverExternal,
                       [this](const Notification &) { showPopoverNewLinkExternal(); });
    center.addObserver(this, NotificationViews::resetPopoverControllers,
                       [this](const Notification &) { resetPopoverControllers(); });
    for (const QString &name : {NotificationViews::logout, NotificationViews::togglePopoverOpen,
                                NotificationViews::watchingPauseChanged})
        center.addObserver(this, name, [this](const Notification &) { fillTrayMenu(); });
}

void PopoversManager::toggleFromStatusItem()
{
    if (m_lastOutsideClose.isValid() && m_lastOutsideClose.elapsed() < kOutsideCloseGraceMs) {
        m_lastOutsideClose.invalidate();
        return;
    }
    toggle();
}

void PopoversManager::toggle()
{
    logLines({QStringLiteral("TOGGLING")});
    bool closedAny = false;
    bool closedForm = false;
    for (Popover *popover : {m_popoverNoInternet.get(), m_popoverLogin.get(),
                             m_popoverNewLink.get(), m_popoverEditLink.get()}) {
        if (closeIfShown(popover)) {
            closedAny = true;
            if (popover == m_popoverNewLink.get() || popover == m_popoverEditLink.get())
                closedForm = true;
        }
    }
    if (closeIfShown(m_popoverLinks.get()))
        closedAny = true;
    if (closedForm) {
        showPopoverLinks();
        return;
    }
    if (closedAny)
        return;

    if (api().internetStatus() == InternetStatus::notReachable) {
        ensureController(m_popoverNoInternet.get(), kNoInternetViewController);
        show(m_popoverNoInternet.get());
    } else if (authentication().hasValidToken()) {
        showPopoverLinks();
    } else if (!authentication().refreshIfExpired()) {
        // While a refresh runs nothing is shown: its success re-routes.
        showPopoverLogin();
    }
}

void PopoversManager::showPopoverLogin()
{
    ensureController(m_popoverLogin.get(), kLoginViewController);
    show(m_popoverLogin.get());
}

void PopoversManager::openFitting()
{
    for (Popover *popover : {m_popoverLinks.get(), m_popoverLogin.get(), m_popoverNoInternet.get(),
                             m_popoverNewLink.get(), m_popoverEditLink.get()}) {
        if (popover->isShown())
            return;
    }
    toggle();
}

void PopoversManager::fillTrayMenu()
{
    m_trayMenu->clear();
    QAction *openItem = m_trayMenu->addAction(Menu::openQuorvella);
    connect(openItem, &QAction::triggered, this, &PopoversManager::openFitting);
    if (!m_menuActions)
        m_menuActions = ViewControllerFactory::tryInstantiate(kMenuHandler);
    auto *target = dynamic_cast<MenuActions *>(m_menuActions.get());
    if (!target)
        return;
    m_trayMenu->addSeparator();
    const MenuManager::State state{RebrandUndo::shared().canUndo(),
                                   WatchPause::pausedUntil().has_value()};
    MenuManager::fill(m_trayMenu.get(), target, m_menuActions.get(),
                      authentication().hasValidToken(), state);
}

void PopoversManager::handleNotification(const Notification &notification)
{
    const QString &name = notification.name;
    if (name == NotificationViews::closePopover) {
        for (Popover *popover : {m_popoverLinks.get(), m_popoverLogin.get(), m_popoverNewLink.get(),
                                 m_popoverNoInternet.get()})
            closeIfShown(popover);
    } else if (name == NotificationViews::togglePopoverOpen) {
        closeMainPopovers();
        toggle();
    } else if (name == NotificationViews::togglePopover) {
        toggle();
    } else if (m_popoverNoInternet->isShown() || m_popoverLinks->isShown() ||
               m_popoverLogin->isShown()) {
        // The popover that matches the current state replaces the shown one.
        closeMainPopovers();
        toggle();
    }
}

void PopoversManager::closeMainPopovers()
{
    for (Popover *popover : {m_popoverLinks.get(), m_popoverLogin.get(), m_popoverNewLink.get(),
                             m_popoverNoInternet.get()})
        closeIfShown(popover);
}

void PopoversManager::onOutsideClick(QEvent *event)
{
    Q_UNUSED(event)
    bool closed = false;
    for (Popover *popover : {m_popoverLinks.get(), m_popoverLogin.get(), m_popoverNewLink.get(),
                             m_popoverEditLink.get(), m_popoverNoInternet.get()})
        closed = closeIfShown(popover) || closed;
    if (closed)
        m_lastOutsideClose.start();
}

void PopoversManager::showPopoverLinks()
{
    ensureController(m_popoverLinks.get(), kMainViewController);
    show(m_popoverLinks.get());
}

void PopoversManager::closePopoverLinks()
{
    close(m_popoverLinks.get());
}

void PopoversManager::showPopoverNewLink()
{
    showFreshForm(m_popoverNewLink.get(), kNewLink2Controller, false);
}

void PopoversManager::showPopoverNewLinkExternal()
{
    showFreshForm(m_popoverNewLink.get(), kNewLink2Controller, true);
}

void PopoversManager::showNewPopoverEditLink()
{
    showFreshForm(m_popoverEditLink.get(), kEditLinkController, false);
}

void PopoversManager::showPopoverEditLink()
{
    showFreshForm(m_popoverEditLink.get(), kEditLinkController, false);
}

void PopoversManager::showPopoverEditLinkExternal()
{
    showFreshForm(m_popoverEditLink.get(), kEditLinkController, true);
}

void PopoversManager::closePopoverEditLink()
{
    close(m_popoverEditLink.get());
}

void PopoversManager::dismissMainController()
{
    logLines({QStringLiteral("dismissing main")});
    m_popoverLinks->removeContentViewController();
}

void PopoversManager::resetPopoverControllers()
{
    logLines({QStringLiteral("resetting popover controllers")});
    for (Popover *popover : {m_popoverLinks.get(), m_popoverLogin.get(), m_popoverNoInternet.get(),
                             m_popoverNewLink.get(), m_popoverEditLink.get()})
        popover->removeContentViewController();
}

void PopoversManager::ensureController(Popover *popover, const QString &identifier)
{
    if (!popover->contentViewController())
        popover->setContentViewController(
            ViewControllerFactory::instantiate<ViewController>(identifier));
}

void PopoversManager::showFreshForm(Popover *popover, const QString &identifier, bool external)
{
    // Forms start from the settings store on every show, so they are built anew each time.
    std::unique_ptr<ViewController> form =
        ViewControllerFactory::instantiate<ViewController>(identifier);
    form->setProperty("external", external);
    popover->setContentViewController(std::move(form));
    show(popover);
}

void PopoversManager::show(Popover *popover)
{
    popover->show(m_statusItem ? m_statusItem->geometry() : QRect(), Popover::Edge::Lower);
    m_eventMonitor->start();
}

void PopoversManager::close(Popover *popover, QObject *sender)
{
    popover->performClose(sender);
    m_eventMonitor->stop();
}

bool PopoversManager::closeIfShown(Popover *popover)
{
    if (!popover->isShown())
        return false;
    close(popover);
    return true;
}
