#include "Controllers/QRShare/ShareController.h"

#include "App/Costants.h"
#include "App/LocalEventMonitor.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Utils/PercentEncoding.h"
#include "Views/PopoverFrame.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace Costants;

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
        void (ShareController::*action)();
    };
    const Choice choices[] = {
        {"emailButton", QStringLiteral("E-mail"), QStringLiteral("Share by e-mail"),
         &ShareController::openEmail},
        {"facebookButton", QStringLiteral("Facebook"), QStringLiteral("Share on Facebook"),
         &ShareController::openFacebook},
        {"twitterButton", QStringLiteral("Twitter"), QStringLiteral("Share on Twitter"),
         &ShareController::openTwitter},
        {"linkedinButton", QStringLiteral("LinkedIn"), QStringLiteral("Share on LinkedIn"),
         &ShareController::openLinkedin},
    };
    for (const Choice &choice : choices) {
        auto *button = new QPushButton(choice.text, back);
        button->setObjectName(QLatin1String(choice.name));
        button->setAccessibleName(choice.accessible);
        button->setToolTip(choice.accessible);
        button->setCursor(Qt::PointingHandCursor);
        button->setFlat(true);
        button->setMinimumWidth(176);
        button->setStyleSheet(
            QStringLiteral("QPushButton { text-align: left; padding: 6px 8px; border: none;"
                           " border-radius: 4px; }"
                           "QPushButton:hover, QPushButton:focus { background: #F6F7F9;"
                           " color: #2563EB; }"));
        connect(button, &QPushButton::clicked, this, choice.action);
        layout->addWidget(button);
    }
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
