#include "Views/BrandedLinkView.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/ApiManager.h"
#include "Services/Config.h"
#include "Services/TokenManager.h"
#include "Utils/ClipboardMonitor.h"
#include "Utils/NotificationHandler.h"
#include "Views/ElidedLabel.h"
#include "Views/Icons.h"
#include "Views/ImageCache.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QGridLayout>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

using namespace Costants;

namespace {

const QColor kEvenRow(250, 250, 250); // RGB 0.98
const QColor kSelectedRow(0xE3, 0xEC, 0xFD);

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QString unit(qint64 count, const char *singular, const char *plural)
{
    return QString::number(count) + QLatin1String(count == 1 ? singular : plural);
}

} // namespace

void BrandedLinkView::setPopoverContents(ShareContent share, QRContent qr)
{
    LinkRowActions::setPopoverContents(std::move(share), std::move(qr));
}

BrandedLinkView::~BrandedLinkView() = default;

BrandedLinkView::BrandedLinkView(QWidget *parent)
    : QWidget(parent)
    , m_shortUrlButton(new ElidedLabel)
    , m_multilineTitle(new ElidedLabel)
    , m_clicks(new QLabel)
    , m_creationDate(new QLabel)
    , m_favicon(new QLabel)
    , m_content(new QWidget(this))
{
    setFixedHeight(rowHeight);
    setAttribute(Qt::WA_Hover);

    m_favicon->setFixedSize(16, 16);
    m_favicon->setObjectName(QStringLiteral("favicon"));
    m_shortUrlButton->setObjectName(QStringLiteral("shortUrlButton"));
    m_shortUrlButton->setClickable(true);
    // Spoken as the URL it shows (configure), the tooltip says what a click does.
    m_shortUrlButton->setBaseToolTip(QStringLiteral("Open branded link"));
    m_shortUrlButton->setAccessibleDescription(QStringLiteral("Open branded link"));
    QFont urlFont = m_shortUrlButton->font();
    urlFont.setWeight(QFont::DemiBold);
    urlFont.setPointSizeF(urlFont.pointSizeF() * 1.05);
    m_shortUrlButton->setFont(urlFont);
    setTextColour(m_shortUrlButton, Icons::accent);
    connect(m_shortUrlButton, &ElidedLabel::clicked, this, &BrandedLinkView::visitURL);
    m_multilineTitle->setObjectName(QStringLiteral("multilineTitle"));
    setTextColour(m_multilineTitle, QColor(0x33, 0x33, 0x33));
    for (QLabel *secondary : {m_clicks, m_creationDate}) {
        QFont small = secondary->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        secondary->setFont(small);
        setTextColour(secondary, QColor(0x6B, 0x6B, 0x6B));
        secondary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    m_clicks->setObjectName(QStringLiteral("clicks"));
    m_creationDate->setObjectName(QStringLiteral("creationDate"));

    auto *grid = new QGridLayout(m_content);
    grid->setContentsMargins(14, 10, 14, 10);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(2);
    grid->addWidget(m_favicon, 0, 0, Qt::AlignVCenter);
    grid->addWidget(m_shortUrlButton, 0, 1);
    grid->addWidget(m_creationDate, 0, 2);
    grid->addWidget(m_multilineTitle, 1, 1);
    grid->addWidget(m_clicks, 1, 2);
    grid->setColumnStretch(1, 1);

    // The dashboard link is made when first needed, the actions only for the pointed row: a
    // list of 28 rows stays light.
}

QPushButton *BrandedLinkView::ensureDashLink()
{
    if (m_openDashLink)
        return m_openDashLink;
    m_openDashLink = new QPushButton(this);
    m_openDashLink->setObjectName(QStringLiteral("openDashLink"));
    m_openDashLink->setText(QStringLiteral("See all links in the dashboard"));
    m_openDashLink->setIcon(Icons::icon(QStringLiteral("ic-dashboard")));
    m_openDashLink->setFlat(true);
    m_openDashLink->setCursor(Qt::PointingHandCursor);
    m_openDashLink->setStyleSheet(
        QStringLiteral("QPushButton { color: #2563EB; border: none; padding: 6px; }"
                       "QPushButton:hover { text-decoration: underline; }"));
    m_openDashLink->setAccessibleName(QStringLiteral("See all links in the dashboard"));
    connect(m_openDashLink, &QPushButton::clicked, this, &BrandedLinkView::openMoreDash);
    return m_openDashLink;
}

QToolButton *BrandedLinkView::favourite()
{
    return LinkRowActions::takeFor(this)->favourite();
}

QWidget *BrandedLinkView::layerHover()
{
    return LinkRowActions::takeFor(this);
}

void BrandedLinkView::configure(const BrandedLinkDTO &link, int row)
{
    m_even = row % 2 == 0;
    id = link.id;
    isHttps = link.isHttps;
    shortURL = link.shortUrl;
    slashtag = link.slashtag;
    showFavourite(link.favourite);
    setHovered(false);
    setSelected(false);

    const bool placeholder = isPlaceholder();
    m_content->setVisible(!placeholder);
    if (placeholder)
        ensureDashLink()->show();
    else if (m_openDashLink)
        m_openDashLink->hide();
    if (placeholder) {
        setAccessibleName(ensureDashLink()->text());
        return;
    }
    m_shortUrlButton->setFullText(link.shortUrl);
    m_multilineTitle->setFullText(QString(link.multilineTitle).replace(QLatin1Char('\n'), ' '));
    m_clicks->setText(clicksText(link.clicks));
    m_creationDate->setText(creationText(link));
    m_favicon->clear();
    setAccessibleName(link.shortUrl);
    m_shortUrlButton->setAccessibleName(link.shortUrl);
    describe();
    // Sharp on a screen of twice the density: the icon is asked for at the pixels it fills.
    const qreal ratio = devicePixelRatioF();
    const int pixels = qRound(16 * ratio);
    const QUrl icon =
        ImageCache::faviconUrl(Config::current().faviconHost, link.destination, pixels);
    const QString expected = link.id;
    ImageCache::shared().load(icon, this, [this, expected, ratio, pixels](const QImage &image) {
        // The row may show another link by now.
        if (id != expected)
            return;
        QPixmap pixmap = QPixmap::fromImage(
            image.scaled(QSize(pixels, pixels), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        m_favicon->setPixmap(pixmap);
    });
}

QString BrandedLinkView::fullUrl() const
{
    return (isHttps ? QStringLiteral("https://") : QStringLiteral("http://")) + shortURL;
}

QString BrandedLinkView::clicksText(qint64 clicks)
{
    return unit(clicks, " click", " clicks");
}

QString BrandedLinkView::creationText(const BrandedLinkDTO &link)
{
    if (link.creationYears >= 1)
        return unit(link.creationYears, " year ago", " years ago");
    if (link.creationMonths >= 1)
        return unit(link.creationMonths, " month ago", " months ago");
    if (link.creationDays >= 1)
        return unit(link.creationDays, " day ago", " days ago");
    if (link.creationHours >= 1)
        return unit(link.creationHours, " hour ago", " hours ago");
    if (link.creationMinutes >= 1)
        return unit(link.creationMinutes, " minute ago", " minutes ago");
    return QStringLiteral("Just now");
}

void BrandedLinkView::showFavourite(bool favourite)
{
    isFavourite = favourite;
    if (LinkRowActions *actions = LinkRowActions::of(this))
        actions->showFavourite(favourite);
    describe();
    update(favouriteMarkRect());
}

void BrandedLinkView::describe()
{
    // What the row shows besides its URL, the favourite first, as the eye meets it.
    QStringList parts;
    if (isFavourite)
        parts << QStringLiteral("Favourite");
    parts << m_multilineTitle->fullText() << m_clicks->text() << m_creationDate->text();
    parts.removeAll(QString());
    setAccessibleDescription(parts.join(QStringLiteral(", ")));
}

QRect BrandedLinkView::favouriteMarkRect() const
{
    // Under the favicon, on the line of the title.
    const int size = 12;
    const QRect title = m_multilineTitle->geometry();
    return {m_favicon->geometry().center().x() - size / 2 + 1, title.center().y() - size / 2 + 1,
            size, size};
}

void BrandedLinkView::visitURL()
{
    if (shortURL.isEmpty())
        return;
    Platform::current().workspace().openUrl(QUrl(fullUrl()));
    NotificationCenter::shared().post(NotificationViews::closePopover);
}

void BrandedLinkView::copyLink()
{
    if (shortURL.isEmpty())
        return;
    const QString url = fullUrl();
    logLines({QStringLiteral("manually copy: ") + url});
    [[maybe_unused]] const bool pasted = ClipboardMonitor::pasteLink(url, false);
    NotificationHandler::showLinkNotification(url, false, id);
}

void BrandedLinkView::loveLink()
{
    if (id.isEmpty())
        return;
    ApiManager::shared().setFavourite(
        id, !isFavourite,
        [self = QPointer(this), linkId = id](const std::optional<QJsonObject> &a) {
            // An answer for a link the reused row no longer shows changes nothing here.
            if (self && self->id == linkId)
                self->favouriteAnswered(a);
        });
}

void BrandedLinkView::favouriteAnswered(const std::optional<QJsonObject> &answer)
{
    logLines({QStringLiteral("RESPONSE LOVE")});
    const QJsonValue value =
        answer ? answer->value(QLatin1String("favourite")) : QJsonValue(QJsonValue::Undefined);
    if (!value.isBool()) {
        logLines({QStringLiteral("NOPE FAV")});
        return;
    }
    logLines({QStringLiteral("YAP FAV: "), value.toBool()});
    showFavourite(value.toBool());
    emit favouriteChanged(id, value.toBool());
}

void BrandedLinkView::openDeleteMenu()
{
    confirmAndDelete(Alerts::DeleteLink::informativeLong, Alerts::DeleteLink::deleteButton, false);
}

void BrandedLinkView::trashLink()
{
    confirmAndDelete(Alerts::DeleteLink::informativeShort, Alerts::DeleteLink::okButton, true);
}

void BrandedLinkView::confirmAndDelete(const QString &informativeText, const QString &confirm,
                                       bool closePopoverFirst)
{
    if (id.isEmpty())
        return;
    if (closePopoverFirst)
        NotificationCenter::shared().post(NotificationViews::closePopover);
    // The row may be reused while the question is open: act on the link it was asked for.
    const QString linkId = id;
    const QString url = shortURL.isEmpty() ? QString() : fullUrl();
    // The question names the link, and Enter keeps it: deleting cannot be undone.
    Alert question{Alerts::DeleteLink::message,
                   shortURL.isEmpty() ? informativeText : shortURL + "\n\n" + informativeText,
                   Alert::Style::Warning,
                   {confirm, Alerts::cancel}};
    question.destructive = true;
    const int answer = Platform::current().alerts().runModal(question);
    if (answer != AlertPresenter::FirstButton)
        return;
    ApiManager::shared().deleteLink(linkId, [url, linkId](const std::optional<QJsonObject> &a) {
        deleteAnswered(a, url, linkId);
    });
}

void BrandedLinkView::deleteAnswered(const std::optional<QJsonObject> &answer,
                                     const QString &fullUrl, const QString &linkId)
{
    // Announced only once the service confirmed it: an error object or no answer is a
    // failure. The client already showed the error notification for an error status.
    const bool deleted = answer && !answer->contains(QLatin1String("errors")) &&
                         answer->value(QLatin1String("id")).toString() == linkId;
    if (deleted && !fullUrl.isEmpty())
        NotificationHandler::showDeletedNotification(fullUrl, linkId);
    else if (!answer)
        NotificationHandler::showErrorNotification();
    // The list shows what the service holds now, in both cases.
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        NotificationCenter::shared().post(NotificationViews::resetListLinks);
    });
}

void BrandedLinkView::editLink()
{
    if (id.isEmpty())
        return;
    SettingsStore &store = SettingsStore::shared();
    const std::optional<QVariantMap> workspace =
        store.dictionaryForKey(Preferences::workspaceObjectMainView);
    if (!workspace || !TokenManager::load())
        return;
    store.setString(Preferences::editLinkId, id);
    store.setString(Preferences::editWorkspaceId,
                    workspace->value(QStringLiteral("id")).toString());
    store.synchronize();
    NotificationCenter &center = NotificationCenter::shared();
    center.post(NotificationViews::closePopover);
    center.post(NotificationViews::newsEditLinkPopover);
}

void BrandedLinkView::openMoreDash()
{
    logLines({QStringLiteral("open dashboard")});
    QUrl page = Config::current().dashboardHost;
    page.setPath(Dashboard::linksPath);
    Platform::current().workspace().openUrl(page);
    NotificationCenter::shared().post(NotificationViews::closePopover);
}

void BrandedLinkView::setHovered(bool hovered)
{
    m_hovered = hovered && !isPlaceholder();
    if (m_hovered) {
        LinkRowActions *actions = LinkRowActions::takeFor(this);
        actions->show();
        actions->place();
    } else if (LinkRowActions *actions = LinkRowActions::of(this)) {
        // Free for the next pointed row.
        actions->hide();
    }
    update();
}

void BrandedLinkView::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void BrandedLinkView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    setHovered(true);
}

void BrandedLinkView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    // The actions stay while one of their popovers is open.
    const LinkRowActions *actions = LinkRowActions::of(this);
    if (actions && actions->hasPopoverShown()) {
        logLines({QStringLiteral("hover")});
        return;
    }
    setHovered(false);
}

void BrandedLinkView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_content->setGeometry(rect());
    if (m_openDashLink) {
        m_openDashLink->adjustSize();
        m_openDashLink->move((width() - m_openDashLink->width()) / 2,
                             (height() - m_openDashLink->height()) / 2);
    }
    if (LinkRowActions *actions = LinkRowActions::of(this))
        actions->place();
}

void BrandedLinkView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    if (m_selected)
        painter.fillRect(rect(), kSelectedRow);
    else if (m_hovered)
        painter.fillRect(rect(), LinkRowActions::hoveredRow);
    else if (m_even)
        painter.fillRect(rect(), kEvenRow);
    else
        painter.fillRect(rect(), Qt::white);
    if (m_selected)
        painter.fillRect(QRect(0, 0, 3, height()), Icons::accent);
    // A favourite is seen without pointing at the row.
    if (isFavourite && !isPlaceholder())
        Icons::icon(QStringLiteral("ic-favorite-red")).paint(&painter, favouriteMarkRect());
}

void BrandedLinkView::openShareMenu()
{
    if (isPlaceholder())
        return;
    // Shown first, so that the popover finds its button where the user sees it.
    setHovered(true);
    LinkRowActions::takeFor(this)->openShareMenu();
}

void BrandedLinkView::openQRMenu()
{
    if (isPlaceholder())
        return;
    setHovered(true);
    LinkRowActions::takeFor(this)->openQRMenu();
}

void BrandedLinkView::closeSharePopover()
{
    if (LinkRowActions *actions = LinkRowActions::of(this))
        actions->closeSharePopover();
}

void BrandedLinkView::closeQRPopover()
{
    if (LinkRowActions *actions = LinkRowActions::of(this))
        actions->closeQRPopover();
}
