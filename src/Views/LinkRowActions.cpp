#include "Views/LinkRowActions.h"

#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "Views/BrandedLinkView.h"
#include "Views/ElidedLabel.h"
#include "Views/Icons.h"
#include "Views/Popover.h"
#include "Views/ViewController.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QToolButton>

using namespace Costants;

namespace {

// The overlay fades in over the texts it covers, as the design draws it.
constexpr int fade = 28;

LinkRowActions::ShareContent &shareContent()
{
    static LinkRowActions::ShareContent content;
    return content;
}

LinkRowActions::QRContent &qrContent()
{
    static LinkRowActions::QRContent content;
    return content;
}

} // namespace

void LinkRowActions::setPopoverContents(ShareContent share, QRContent qr)
{
    shareContent() = std::move(share);
    qrContent() = std::move(qr);
}

LinkRowActions *LinkRowActions::of(const BrandedLinkView *row)
{
    return row->findChild<LinkRowActions *>(QString(), Qt::FindDirectChildrenOnly);
}

LinkRowActions *LinkRowActions::takeFor(BrandedLinkView *row)
{
    LinkRowActions *actions = of(row);
    if (!actions && row->parentWidget()) {
        // Only the sibling rows themselves: one of them may be in its destructor already
        // (enter events come while a row is deleted), and is then no BrandedLinkView.
        for (QObject *child : row->parentWidget()->children()) {
            const auto *sibling = qobject_cast<const BrandedLinkView *>(child);
            LinkRowActions *other = sibling ? of(sibling) : nullptr;
            if (other && other->isIdle()) {
                actions = other;
                actions->setParent(row); // hidden until the row shows it
                break;
            }
        }
    }
    if (!actions)
        actions = new LinkRowActions(row);
    actions->showFavourite(row->isFavourite);
    return actions;
}

LinkRowActions::LinkRowActions(BrandedLinkView *shownRow)
    : QWidget(shownRow)
{
    setObjectName(QStringLiteral("layerHover"));
    // One style sheet for the seven buttons rather than one each.
    setStyleSheet(QStringLiteral("QToolButton { background: white; border: 1px solid #DDDDDD;"
                                 " border-radius: 6px; }"
                                 "QToolButton:hover { border-color: #2563EB; }"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(fade, 0, 0, 0);
    layout->setSpacing(4);
    const auto act = [this, layout](const QString &icon, const QString &name,
                                    const QString &objectName, const QString &shortcut,
                                    void (BrandedLinkView::*action)()) {
        QToolButton *button = makeAction(icon, name, objectName, shortcut);
        layout->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, action] {
            if (BrandedLinkView *shown = row())
                (shown->*action)();
        });
        return button;
    };
    act(QStringLiteral("ic-open"), QStringLiteral("Open short link"), QStringLiteral("openButton"),
        QStringLiteral("Enter"), &BrandedLinkView::visitURL);
    act(QStringLiteral("ic-copy"), QStringLiteral("Copy short link"), QStringLiteral("copyButton"),
        QStringLiteral("Ctrl+C"), &BrandedLinkView::copyLink);
    m_favourite =
        act(QStringLiteral("ic-favorite"), QStringLiteral("Add to favourites"),
            QStringLiteral("favourite"), QStringLiteral("Ctrl+D"), &BrandedLinkView::loveLink);
    m_shareButton = act(QStringLiteral("ic-share"), QStringLiteral("Share link"),
                        QStringLiteral("shareButton"), {}, &BrandedLinkView::openShareMenu);
    m_qrButton = act(QStringLiteral("ic-qr"), QStringLiteral("Show QR code"),
                     QStringLiteral("qrButton"), {}, &BrandedLinkView::openQRMenu);
    act(QStringLiteral("ic-edit"), QStringLiteral("Edit link"), QStringLiteral("editButton"),
        QStringLiteral("Ctrl+E"), &BrandedLinkView::editLink);
    act(QStringLiteral("ic-trash"), QStringLiteral("Delete link"), QStringLiteral("deleteButton"),
        QStringLiteral("Delete"), &BrandedLinkView::openDeleteMenu);
    m_shareButton->setVisible(bool(shareContent()));
    m_qrButton->setVisible(bool(qrContent()));
    hide();
}

LinkRowActions::~LinkRowActions() = default;

BrandedLinkView *LinkRowActions::row() const
{
    return qobject_cast<BrandedLinkView *>(parentWidget());
}

QToolButton *LinkRowActions::makeAction(const QString &icon, const QString &name,
                                        const QString &objectName, const QString &shortcut)
{
    auto *button = new QToolButton;
    button->setObjectName(objectName);
    button->setIcon(Icons::icon(icon));
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(28, 28);
    button->setCursor(Qt::PointingHandCursor);
    // The list keeps the focus; its keys act on the selected row.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAccessibleName(name);
    button->setToolTip(shortcut.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, shortcut));
    return button;
}

void LinkRowActions::showFavourite(bool favourite)
{
    m_favourite->setIcon(
        Icons::icon(favourite ? QStringLiteral("ic-favorite-red") : QStringLiteral("ic-favorite")));
    const QString name =
        favourite ? QStringLiteral("Remove from favourites") : QStringLiteral("Add to favourites");
    m_favourite->setAccessibleName(name);
    m_favourite->setToolTip(name + QStringLiteral(" (Ctrl+D)"));
}

void LinkRowActions::place()
{
    const QWidget *shown = parentWidget();
    if (!shown)
        return;
    adjustSize();
    const QSize size = sizeHint();
    setGeometry(shown->width() - size.width() - 12, 0, size.width() + 12, shown->height());
    raise();
}

void LinkRowActions::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    QLinearGradient gradient(0, 0, fade, 0);
    QColor clear = hoveredRow;
    clear.setAlpha(0);
    gradient.setColorAt(0, clear);
    gradient.setColorAt(1, hoveredRow);
    painter.fillRect(QRect(0, 0, fade, height()), gradient);
    painter.fillRect(QRect(fade, 0, width() - fade, height()), hoveredRow);
}

bool LinkRowActions::hasPopoverShown() const
{
    return (m_popoverShare && m_popoverShare->isShown()) || (m_popoverQR && m_popoverQR->isShown());
}

Popover *LinkRowActions::makePopover(std::unique_ptr<Popover> &popover,
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
        // Closed by Esc, an outside click or the list: the actions go unless pointed at.
        connect(popover.get(), &Popover::didClose, this, [this] {
            BrandedLinkView *shown = row();
            if (shown && !shown->underMouse() && !hasPopoverShown())
                shown->setHovered(false);
        });
    }
    return popover.get();
}

void LinkRowActions::openShareMenu()
{
    const BrandedLinkView *shown = row();
    if (!shareContent() || !shown)
        return;
    Popover *share = makePopover(m_popoverShare, NotificationViews::closeSharePopup, m_shareButton);
    // A second click on the button closes it.
    if (share->isShown()) {
        share->performClose();
        return;
    }
    // Built afresh at each opening, so that it shows the row as it is now.
    share->setContentViewController(
        shareContent()(shown->shortURL, shown->multilineTitle()->fullText()));
    share->show(QRect(m_shareButton->mapToGlobal(QPoint(0, 0)), m_shareButton->size()),
                Popover::Edge::Lower);
}

void LinkRowActions::openQRMenu()
{
    const BrandedLinkView *shown = row();
    if (!qrContent() || !shown)
        return;
    const bool wasShown = m_popoverQR && m_popoverQR->isShown();
    // One QR popover at a time: every other row's closes, this one's too.
    NotificationCenter::shared().post(NotificationViews::closeQrPopup);
    Popover *qr = makePopover(m_popoverQR, NotificationViews::closeQrPopup, m_qrButton);
    if (wasShown)
        return;
    qr->setContentViewController(qrContent()(shown->shortURL, shown->slashtag, shown->isHttps));
    qr->show(QRect(m_qrButton->mapToGlobal(QPoint(0, 0)), m_qrButton->size()),
             Popover::Edge::Lower);
}

void LinkRowActions::closeSharePopover()
{
    if (m_popoverShare && m_popoverShare->isShown())
        m_popoverShare->performClose();
}

void LinkRowActions::closeQRPopover()
{
    if (m_popoverQR && m_popoverQR->isShown())
        m_popoverQR->performClose();
}
