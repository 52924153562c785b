#include "Views/WorkspaceLinkView.h"

#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "Views/ImageCache.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using namespace Costants;

WorkspaceLinkView::WorkspaceLinkView(QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel)
    , m_name(new QPushButton)
{
    setFixedHeight(rowHeight);
    m_icon->setFixedSize(20, 20);
    m_name->setFlat(true);
    m_name->setCursor(Qt::PointingHandCursor);
    m_name->setStyleSheet(QStringLiteral("QPushButton { border: none; text-align: left;"
                                         " padding: 4px 2px; color: #1D1D1F; }"
                                         "QPushButton:focus { color: #2563EB; }"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(8);
    layout->addWidget(m_icon);
    layout->addWidget(m_name, 1);
    connect(m_name, &QPushButton::clicked, this, &WorkspaceLinkView::selectWorkspace);
}

void WorkspaceLinkView::configure(const WorkspaceDTO &workspace)
{
    index = workspace.index;
    id = workspace.id;
    setObjectName(QStringLiteral("workspace-") + workspace.id);
    m_name->setText(workspace.name);
    m_name->setAccessibleName(QStringLiteral("Show the links of %1").arg(workspace.name));
    m_icon->clear();
    m_avatarUrl = workspace.avatarURL;
    ImageCache::shared().load(
        QUrl(workspace.avatarURL), this, [this, url = workspace.avatarURL](const QImage &image) {
            if (url == m_avatarUrl)
                m_icon->setPixmap(ImageCache::circular(image, 20, devicePixelRatioF()));
        });
}

void WorkspaceLinkView::setCurrent(bool current)
{
    QFont font = m_name->font();
    font.setWeight(current ? QFont::DemiBold : QFont::Normal);
    m_name->setFont(font);
    m_name->setStyleSheet(current ? QStringLiteral("QPushButton { border: none; text-align: left;"
                                                   " padding: 4px 2px; color: #2563EB; }")
                                  : QStringLiteral("QPushButton { border: none; text-align: left;"
                                                   " padding: 4px 2px; color: #1D1D1F; }"
                                                   "QPushButton:focus { color: #2563EB; }"));
}

void WorkspaceLinkView::selectWorkspace()
{
    NotificationCenter::shared().post(NotificationViews::workspaceSelection, nullptr,
                                      {{NotificationViews::workspaceSelectionIndex, index},
                                       {NotificationViews::workspaceSelectionId, id}});
}

void WorkspaceLinkView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_hovered = true;
    update();
}

void WorkspaceLinkView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_hovered = false;
    update();
}

void WorkspaceLinkView::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.fillRect(rect(), m_hovered ? QColor(0xF0, 0xF5, 0xFF) : QColor(Qt::white));
}
