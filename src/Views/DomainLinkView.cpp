#include "Views/DomainLinkView.h"

#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "Views/ElidedLabel.h"

#include <QHBoxLayout>
#include <QPushButton>

using namespace Costants;

DomainLinkView::DomainLinkView(const QString &name, int index, QObject *picker, QWidget *parent)
    : QWidget(parent)
    , m_name(new QPushButton(name, this))
    , m_index(index)
    , m_picker(picker)
{
    setObjectName(QStringLiteral("domainsList"));
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(m_name);
    m_name->setFlat(true);
    m_name->setCursor(Qt::PointingHandCursor);
    // Names come from the service: a tooltip shows them as text, never as markup.
    m_name->setToolTip(ElidedLabel::plainToolTip(name));
    m_name->setAccessibleName(QStringLiteral("Choose domain ") + name);
    m_name->setStyleSheet(
        QStringLiteral("QPushButton { text-align: left; padding: 6px 8px; border: none; }"
                       "QPushButton:focus { color: #2563EB; }"));
    connect(m_name, &QPushButton::clicked, this, &DomainLinkView::selectDomain);
    setHighlighted(false);
}

void DomainLinkView::selectDomain()
{
    NotificationCenter::shared().post(NotificationViews::domainSelection, m_picker.data(),
                                      {{NotificationViews::domainSelectionIndex, m_index}});
}

void DomainLinkView::enterEvent(QEnterEvent *event)
{
    setHighlighted(true);
    QWidget::enterEvent(event);
}

void DomainLinkView::leaveEvent(QEvent *event)
{
    setHighlighted(false);
    QWidget::leaveEvent(event);
}

void DomainLinkView::setHighlighted(bool highlighted)
{
    QPalette shade = palette();
    shade.setColor(QPalette::Window, highlighted ? QColor(0xEE, 0xF2, 0xFD) : QColor(Qt::white));
    setPalette(shade);
}
