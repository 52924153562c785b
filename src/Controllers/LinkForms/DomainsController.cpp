#include "Controllers/LinkForms/DomainsController.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Views/DomainLinkView.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Costants;

namespace {
constexpr int kRowHeight = 32;
constexpr int kVisibleRows = 6;
} // namespace

DomainsController::DomainsController(const QStringList &domainsList, QWidget *parent)
    : PickerView(parent)
    , m_domainsList(domainsList)
    , m_layout(new QVBoxLayout(this))
    , m_rows(new QWidget(this))
    , m_scroll(nullptr)
    , m_dashboardButton(new QPushButton(QStringLiteral("Add a branded domain"), this))
{
    setObjectName(QStringLiteral("DomainsController"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setFixedWidth(300);
    m_layout->setContentsMargins(4, 4, 4, 4);
    m_layout->setSpacing(4);
    auto *scroll = new QScrollArea(this);
    m_scroll = scroll;
    scroll->setObjectName(QStringLiteral("tableView"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(m_rows);
    new QVBoxLayout(m_rows);
    m_rows->layout()->setContentsMargins(0, 0, 0, 0);
    m_rows->layout()->setSpacing(0);
    m_layout->addWidget(scroll);
    m_dashboardButton->setObjectName(QStringLiteral("dashboardButton"));
    m_dashboardButton->setFlat(true);
    m_dashboardButton->setCursor(Qt::PointingHandCursor);
    m_dashboardButton->setStyleSheet(QStringLiteral("color: #2563EB; text-align: left;"));
    m_layout->addWidget(m_dashboardButton);
    connect(m_dashboardButton, &QPushButton::clicked, this, [this] { openDashboard(); });
    reloadRows();
}

void DomainsController::setDomains(const QStringList &names)
{
    m_domainsList = names;
    reloadRows();
}

QWidget *DomainsController::row(int index) const
{
    QLayoutItem *item = m_rows->layout()->itemAt(index);
    return item ? item->widget() : nullptr;
}

void DomainsController::reloadRows()
{
    QLayout *rows = m_rows->layout();
    while (QLayoutItem *item = rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int r = 0; r < m_domainsList.size(); ++r) {
        auto *view = new DomainLinkView(m_domainsList.at(r), r, this, m_rows);
        view->setFixedHeight(kRowHeight);
        view->setBackgroundRole(QPalette::Window);
        rows->addWidget(view);
        view->show();
    }
    const auto shown = static_cast<int>(std::min<qsizetype>(m_domainsList.size(), kVisibleRows));
    m_scroll->setFixedHeight(std::max(1, shown) * kRowHeight + 2);
    adjustSize();
    // The popup that holds the picker follows the number of rows.
    if (QWidget *holder = window(); holder != this)
        holder->adjustSize();
}

void DomainsController::showEvent(QShowEvent *event)
{
    PickerView::showEvent(event);
    if (QWidget *first = row(0))
        if (auto *button = first->findChild<QPushButton *>())
            button->setFocus();
}

void DomainsController::openDashboardPage()
{
    Logger::shared().log({QStringLiteral("open dashboard")});
    QUrl page = Config::current().dashboardHost;
    page.setPath(Dashboard::newDomainPath);
    Platform::current().workspace().openUrl(page);
}

void DomainsController::openDashboard()
{
    openDashboardPage();
    NotificationCenter::shared().post(NotificationViews::editLinkPopover);
}
