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
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

using namespace Costants;

namespace {

const QColor kEvenRow(250, 250, 250); // RGB 0.98
const QColor kHoveredRow(0xF0, 0xF5, 0xFF);
const QColor kSelectedRow(0xE3, 0xEC, 0xFD);

// The overlay of actions fades in over the texts it covers, as the design draws it.
class HoverLayer : public QWidget
{
public:
    static constexpr int fade = 28;

    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        Q_UNUSED(event)
        QPainter painter(this);
        QLinearGradient gradient(0, 0, fade, 0);
        QColor clear = kHoveredRow;
        clear.setAlpha(0);
        gradient.setColorAt(0, clear);
        gradient.setColorAt(1, kHoveredRow);
        painter.fillRect(QRect(0, 0, fade, height()), gradient);
        painter.fillRect(QRect(fade, 0, width() - fade, height()), kHoveredRow);
    }
};

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

namespace {

BrandedLinkView::ShareContent &shareContent()
{
    static BrandedLinkView::ShareContent content;
    return content;
}

BrandedLinkView::QRContent &qrContent()
{
    static BrandedLinkView::QRContent content;
    return content;
}

} // namespace

void BrandedLinkView::setPopoverContents(ShareContent share, QRContent qr)
{
    shareContent() = std::move(share);
    qrContent() = std::move(qr);
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
    m_shortUrlButton->setBaseToolTip(QStringLiteral("Open branded link"));
    m_shortUrlButton->setAccessibleName(QStringLiteral("Open branded link"));
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

    // The actions and the dashboard link are made when first needed: most rows are never
    // pointed at, and a list of 28 rows stays light.
}

void BrandedLinkView::ensureOverlay()
{
    if (m_layerHover)
        return;
    m_layerHover = new HoverLayer(this);
    auto *actions = new QHBoxLayout(m_layerHover);
    actions->setContentsMargins(HoverLayer::fade, 0, 0, 0);
    actions->setSpacing(4);
    m_open = makeAction(QStringLiteral("ic-open"), QStringLiteral("Open short link"),
                        QStringLiteral("Enter"));
    m_copy = makeAction(QStringLiteral("ic-copy"), QStringLiteral("Copy short link"),
                        QStringLiteral("Ctrl+C"));
    m_favourite = makeAction(QStringLiteral("ic-favorite"), QStringLiteral("Add to favourites"),
                             QStringLiteral("Ctrl+D"));
    m_shareButton = makeAction(QStringLiteral("ic-share"), QStringLiteral("Share link"), {});
    m_qrButton = makeAction(QStringLiteral("ic-qr"), QStringLiteral("Show QR code"), {});
    m_editButton = makeAction(QStringLiteral("ic-edit"), QStringLiteral("Edit link"),
                              QStringLiteral("Ctrl+E"));
    m_deleteButton = makeAction(QStringLiteral("ic-trash"), QStringLiteral("Delete link"),
                                QStringLiteral("Delete"));
    for (QToolButton *button :
         {m_open, m_copy, m_favourite, m_shareButton, m_qrButton, m_editButton, m_deleteButton})
        actions->addWidget(button);
    m_shareButton->setVisible(bool(shareContent()));
    m_qrButton->setVisible(bool(qrContent()));
    m_shareButton->setObjectName(QStringLiteral("shareButton"));
    m_qrButton->setObjectName(QStringLiteral("qrButton"));
    connect(m_shareButton, &QToolButton::clicked, this, &BrandedLinkView::openShareMenu);
    connect(m_qrButton, &QToolButton::clicked, this, &BrandedLinkView::openQRMenu);
    m_favourite->setObjectName(QStringLiteral("favourite"));
    m_copy->setObjectName(QStringLiteral("copyButton"));
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    connect(m_open, &QToolButton::clicked, this, &BrandedLinkView::visitURL);
    connect(m_copy, &QToolButton::clicked, this, &BrandedLinkView::copyLink);
    connect(m_favourite, &QToolButton::clicked, this, &BrandedLinkView::loveLink);
    connect(m_editButton, &QToolButton::clicked, this, &BrandedLinkView::editLink);
    connect(m_deleteButton, &QToolButton::clicked, this, &BrandedLinkView::openDeleteMenu);
    m_layerHover->setObjectName(QStringLiteral("layerHover"));
    m_layerHover->hide();

    showFavourite(isFavourite);
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
    ensureOverlay();
    return m_favourite;
}

QWidget *BrandedLinkView::layerHover()
{
    ensureOverlay();
    return m_layerHover;
}

QToolButton *BrandedLinkView::makeAction(const QString &icon, const QString &name,
                                         const QString &shortcut)
{
    auto *button = new QToolButton;
    button->setIcon(Icons::icon(icon));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(28, 28);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAccessibleName(name);
    button->setToolTip(shortcut.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, shortcut));
    button->setStyleSheet(
        QStringLiteral("QToolButton { background: white; border: 1px solid #DDDDDD;"
                       " border-radius: 6px; }"
                       "QToolButton:hover { border-color: #2563EB; }"));
    return button;
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
    if (placeholder)
        return;
    m_shortUrlButton->setFullText(link.shortUrl);
    m_multilineTitle->setFullText(QString(link.multilineTitle).replace(QLatin1Char('\n'), ' '));
    m_clicks->setText(clicksText(link.clicks));
    m_creationDate->setText(creationText(link));
    m_favicon->clear();
    setAccessibleName(link.shortUrl);
    const QUrl icon = ImageCache::faviconUrl(Config::current().faviconHost, link.destination);
    const QString expected = link.id;
    ImageCache::shared().load(icon, this, [this, expected](const QImage &image) {
        // The row may show another link by now.
        if (id != expected)
            return;
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap = QPixmap::fromImage(
            image.scaled(QSize(16, 16) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
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
    if (!m_favourite)
        return;
    m_favourite->setIcon(
        Icons::icon(favourite ? QStringLiteral("ic-favorite-red") : QStringLiteral("ic-favorite")));
    const QString name =
        favourite ? QStringLiteral("Remove from favourites") : QStringLiteral("Add to favourites");
    m_favourite->setAccessibleName(name);
    m_favourite->setToolTip(name + QStringLiteral(" (Ctrl+D)"));
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

bool BrandedLinkView::hasPopoverShown() const
{
    return (m_popoverShare && m_popoverShare->isShown()) || (m_popoverQR && m_popoverQR->isShown());
}

void BrandedLinkView::setHovered(bool hovered)
{
    m_hovered = hovered && !isPlaceholder();
    if (m_hovered)
        ensureOverlay();
    if (m_layerHover)
        m_layerHover->setVisible(m_hovered);
    if (m_hovered)
        placeOverlay();
    update();
}

void BrandedLinkView::setSelected(bool selected)
{
    m_selected = selected;
    update();
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
    if (hasPopoverShown()) {
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
    placeOverlay();
}

void BrandedLinkView::placeOverlay()
{
    if (!m_layerHover)
        return;
    m_layerHover->adjustSize();
    const QSize size = m_layerHover->sizeHint();
    m_layerHover->setGeometry(width() - size.width() - 12, 0, size.width() + 12, height());
    m_layerHover->raise();
}

void BrandedLinkView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    if (m_selected)
        painter.fillRect(rect(), kSelectedRow);
    else if (m_hovered)
        painter.fillRect(rect(), kHoveredRow);
    else if (m_even)
        painter.fillRect(rect(), kEvenRow);
    else
        painter.fillRect(rect(), Qt::white);
    if (m_selected)
        painter.fillRect(QRect(0, 0, 3, height()), Icons::accent);
}

Popover *BrandedLinkView::makePopover(std::unique_ptr<Popover> &popover,
                                      const QString &closeNotification, QWidget *keeper)
{
    if (!popover) {
        popover = std::make_unique<Popover>();
        popover->setTransient(keeper);
        NotificationCenter::shared().addObserver(this, closeNotification,
                                                 [&popover](const Notification &) {
                                                     if (popover && popover->isShown())
                                                         popover->performClose();
                                                 });
        // Closed by Esc, an outside click or the list: the row's actions go unless pointed at.
        connect(popover.get(), &Popover::didClose, this, [this] {
            if (!underMouse() && !hasPopoverShown())
                setHovered(false);
        });
    }
    return popover.get();
}

void BrandedLinkView::openShareMenu()
{
    ensureOverlay();
    if (!shareContent())
        return;
    Popover *share = makePopover(m_popoverShare, NotificationViews::closeSharePopup, m_shareButton);
    // A second click on the button closes it.
    if (share->isShown()) {
        share->performClose();
        return;
    }
    // Built afresh at each opening, so that it shows the row as it is now.
    share->setContentViewController(shareContent()(shortURL, m_multilineTitle->fullText()));
    share->show(QRect(m_shareButton->mapToGlobal(QPoint(0, 0)), m_shareButton->size()),
                Popover::Edge::Lower);
    setHovered(true);
}

void BrandedLinkView::openQRMenu()
{
    ensureOverlay();
    if (!qrContent())
        return;
    const bool wasShown = m_popoverQR && m_popoverQR->isShown();
    // One QR popover at a time: every other row's closes, this one's too.
    NotificationCenter::shared().post(NotificationViews::closeQrPopup);
    Popover *qr = makePopover(m_popoverQR, NotificationViews::closeQrPopup, m_qrButton);
    if (wasShown)
        return;
    qr->setContentViewController(qrContent()(shortURL, slashtag, isHttps));
    qr->show(QRect(m_qrButton->mapToGlobal(QPoint(0, 0)), m_qrButton->size()),
             Popover::Edge::Lower);
    setHovered(true);
}

void BrandedLinkView::closeSharePopover()
{
    if (m_popoverShare && m_popoverShare->isShown())
        m_popoverShare->performClose();
}

void BrandedLinkView::closeQRPopover()
{
    if (m_popoverQR && m_popoverQR->isShown())
        m_popoverQR->performClose();
}
