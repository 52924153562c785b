#include "Controllers/LinkList/LinkListWidgets.h"

#include "Views/Icons.h"
#include "Views/ImageCache.h"

#include <QPalette>
#include <QPointer>
#include <QToolButton>
#include <QUrl>

namespace LinkListWidgets {

void paintWhite(QWidget *widget)
{
    QPalette white = widget->palette();
    white.setColor(QPalette::Window, Qt::white);
    widget->setPalette(white);
    widget->setAutoFillBackground(true);
}

QToolButton *headerButton(const QString &icon, const QString &name)
{
    auto *button = new QToolButton;
    button->setIcon(Icons::icon(icon));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(32, 32);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(name);
    button->setAccessibleName(name);
    // Reached by Tab; a click leaves the keyboard with the list.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void setAvatar(QToolButton *button, const QString &url)
{
    QPointer<QToolButton> target(button);
    button->setProperty("avatarUrl", url);
    ImageCache::shared().load(QUrl(url), button, [target, url](const QImage &image) {
        if (target && target->property("avatarUrl").toString() == url)
            target->setIcon(QIcon(ImageCache::circular(image, target->iconSize().width(),
                                                       target->devicePixelRatioF())));
    });
}

} // namespace LinkListWidgets
