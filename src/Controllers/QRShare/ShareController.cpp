#include "Controllers/QRShare/ShareController.h"

#include "App/Costants.h"
#include "App/LocalEventMonitor.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Utils/PercentEncoding.h"
#include "Views/Icons.h"
#include "Views/PopoverFrame.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Costants;

namespace {
// A row of the list: body text, the accent and the pale panel when pointed at, and the focus
// ring of the program (a 2 px border that only the keyboard focus colours).
const QString kChoiceStyle =
    QStringLiteral("QPushButton { text-align: left; padding: 6px 8px; color: #1D1D1F;"
                   " border: 2px solid transparent; border-radius: 6px; }"
                   "QPushButton:hover { background: #F6F7F9; color: #2563EB; }"
                   "QPushButton:focus { border-color: #2563EB; }"
                   "QPushButton:pressed { background: #EBEDF0; }");
} // namespace

ShareController::ShareController(QString shortURL, QString title, QWidget *parent)
    : ViewController(parent)
    , m_shortURL(std::move(shortURL))
    , m_multiline(std::move(title))
{
    buildView();
}

ShareController::~ShareController() = default;

std::unique_ptr<ShareController> ShareController::create(const QString &shortURL,
                                                         const QString &title)
{
    return std::make_unique<ShareController>(shortURL, title);
}

void ShareController::buildView()
{
    setObjectName(QStringLiteral("ShareController"));
    QVBoxLayout *layout =
        buildPopoverFrame(this, QStringLiteral("Share link"), 4, &m_workspaceBackView);
    QWidget *back = m_workspaceBackView;
    layout->addSpacing(4);

    struct Choice
    {
        const char *name;
        QString text;
        QString accessible;
        const char *icon;
        void (ShareController::*action)();
    };
    const Choice choices[] = {
        {"emailButton", QStringLiteral("E-mail"), QStringLiteral("Share by e-mail"), "ic-mail",
         &ShareController::openEmail},
        {"facebookButton", QStringLiteral("Facebook"), QStringLiteral("Share on Facebook"),
         "ic-open", &ShareController::openFacebook},
        {"twitterButton", QStringLiteral("Twitter"), QStringLiteral("Share on Twitter"), "ic-open",
         &ShareController::openTwitter},
        {"linkedinButton", QStringLiteral("LinkedIn"), QStringLiteral("Share on LinkedIn"),
         "ic-open", &ShareController::openLinkedin},
    };
    for (const Choice &choice : choices) {
        auto *button = new QPushButton(Icons::icon(QLatin1String(choice.icon)), choice.text, back);
        button->setObjectName(QLatin1String(choice.name));
        button->setAccessibleName(choice.accessible);
        button->setToolTip(choice.accessible);
        button->setCursor(Qt::PointingHandCursor);
        button->setIconSize(QSize(16, 16));
        button->setFlat(true);
        // Enter chooses as Space does, though a popover is no dialogue.
        button->setAutoDefault(true);
        button->setMinimumWidth(208);
        button->setStyleSheet(kChoiceStyle);
        connect(button, &QPushButton::clicked, this, choice.action);
        layout->addWidget(button);
        m_choices.append(button);
    }
}

void ShareController::viewWillAppear()
{
    // The keyboard starts at the first choice; Tab goes down the list.
    m_choices.constFirst()->setFocus(Qt::PopupFocusReason);
}

void ShareController::showEvent(QShowEvent *event)
{
    ViewController::showEvent(event);
    // Clicks matter only while the popover is on screen.
    m_eventMonitor = std::make_unique<LocalEventMonitor>(
        [this](const QPointF &position) { localMatchingEvent(position); });
}

void ShareController::hideEvent(QHideEvent *event)
{
    m_eventMonitor.reset();
    ViewController::hideEvent(event);
}

void ShareController::localMatchingEvent(const QPointF &globalPosition)
{
    // Only the popover on screen decides; a hidden one would close the shown one.
    if (!isVisible() || !m_workspaceBackView)
        return;
    if (!globalRect(m_workspaceBackView).contains(globalPosition))
        NotificationCenter::shared().post(NotificationViews::closeSharePopup);
}

QString ShareController::emailBody(const QString &title, const QString &shortURL)
{
    return QStringLiteral("Hi there,\nI'd like to share a branded link with you,\n\n") + title +
           QStringLiteral(":\nhttps://") + shortURL + QStringLiteral("\n\nCreated with Quorvella");
}

QUrl ShareController::emailURL(const QString &subject, const QString &body)
{
    // Everything but the unreserved characters is encoded, so "&", "=" and "#" in a title
    // stay in the text instead of ending it.
    const QByteArray text = "mailto:?subject=" + QUrl::toPercentEncoding(subject) +
                            "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}

QUrl ShareController::shareURL(Site site, const QString &shortURL)
{
    const Config &config = Config::current();
    QUrl host;
    QString path;
    switch (site) {
    case Site::Facebook:
        host = config.facebookShareHost;
        path = QStringLiteral("/sharer/sharer.php?u=https://");
        break;
    case Site::Twitter:
        host = config.twitterShareHost;
        path = QStringLiteral("/share?url=https://");
        break;
    case Site::Linkedin:
        host = config.linkedinShareHost;
        path = QStringLiteral("/sharing/share-offsite/?url=https://");
        break;
    }
    const QString origin = host.toString(QUrl::RemovePath | QUrl::RemoveQuery |
                                         QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    const QUrl url = QUrl::fromEncoded(
        (origin + path + PercentEncoding::urlQueryAllowed(shortURL)).toUtf8(), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() ? url : QUrl();
}

QString ShareController::notificationFor(Site site)
{
    return site == Site::Facebook ? NotificationViews::mainPopoverClose
                                  : NotificationViews::closePopover;
}

void ShareController::openEmail()
{
    Workspace &workspace = Platform::current().workspace();
    if (workspace.hasHandlerFor(QStringLiteral("mailto"))) {
        const QString body = emailBody(m_multiline, m_shortURL);
        workspace.openUrl(emailURL(m_multiline, body));
    } else {
        Logger::shared().log({QStringLiteral("no mail program for mailto: links")});
    }
    NotificationCenter::shared().post(NotificationViews::closeSharePopup);
    // The application, not this controller, carries the delayed step: the popover's content
    // may be gone by then.
    QTimer::singleShot(delayMs, QCoreApplication::instance(),
                       [] { NotificationCenter::shared().post(NotificationViews::closePopover); });
}

void ShareController::openFacebook()
{
    shareToSite(Site::Facebook);
}

void ShareController::openTwitter()
{
    shareToSite(Site::Twitter);
}

void ShareController::openLinkedin()
{
    shareToSite(Site::Linkedin);
}

void ShareController::shareToSite(Site site)
{
    // Every choice closes the popover, also one that has nothing to share.
    NotificationCenter::shared().post(NotificationViews::closeSharePopup);
    if (m_shortURL.isEmpty())
        return;
    const QUrl url = shareURL(site, m_shortURL);
    const QString notification = notificationFor(site);
    QTimer::singleShot(delayMs, QCoreApplication::instance(), [url, notification] {
        NotificationCenter::shared().post(notification);
        if (url.isValid())
            Platform::current().workspace().openUrl(url);
    });
}
