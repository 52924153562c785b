#include "Controllers/LinkList/LinkPager.h"

#include "App/Clock.h"
#include "App/Logger.h"
#include "Controllers/LinkList/LinkListWidgets.h"
#include "Controllers/LinkList/WorkspaceBox.h"
#include "Services/ApiManager.h"
#include "Services/AuthenticationManager.h"
#include "Views/BrandedLinkView.h"
#include "Views/Icons.h"
#include "Views/LinkTableView.h"
#include "Views/Spinner.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QWidget *makeEmptyPanel(const QString &objectName, const QString &icon, const QString &text,
                        QPushButton *action, qreal ratio)
{
    auto *panel = new QWidget;
    panel->setObjectName(objectName);
    LinkListWidgets::paintWhite(panel);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto *image = new QLabel;
    image->setPixmap(Icons::pixmap(icon, 40, QColor(0xB0, 0xB5, 0xBF), ratio));
    image->setAlignment(Qt::AlignCenter);
    auto *label = new QLabel(text);
    label->setObjectName(objectName + QStringLiteral("Text"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #6B6B6B;"));
    layout->addWidget(image);
    layout->addWidget(label);
    if (action) {
        action->setCursor(Qt::PointingHandCursor);
        action->setStyleSheet(
            QStringLiteral("QPushButton { color: white; background: #2563EB; border: none;"
                           " border-radius: 6px; padding: 6px 14px; }"));
        layout->addWidget(action, 0, Qt::AlignHCenter);
    }
    layout->addStretch(2);
    panel->hide();
    return panel;
}

} // namespace

LinkPager::LinkPager(const WorkspaceBox *workspaces, QWidget *parent)
    : QWidget(parent)
    , m_workspaces(workspaces)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_headerScrollBox = new QWidget;
    m_headerScrollBox->setObjectName(QStringLiteral("headerScrollBox"));
    auto *headerSpin = new QHBoxLayout(m_headerScrollBox);
    headerSpin->setContentsMargins(0, 8, 0, 8);
    headerSpin->addWidget(new Spinner, 0, Qt::AlignCenter);
    layout->addWidget(m_headerScrollBox);

    auto *table = new LinkTableView;
    table->setObjectName(QStringLiteral("tableView"));
    LinkListWidgets::paintWhite(table);
    m_tableLayout = new QVBoxLayout(table);
    m_tableLayout->setContentsMargins(0, 0, 0, 0);
    m_tableLayout->setSpacing(0);
    m_tableLayout->addStretch(1);
    m_scrollView = new QScrollArea;
    m_scrollView->setObjectName(QStringLiteral("scrollView"));
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setWidgetResizable(true);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setFocusPolicy(Qt::NoFocus);
    m_scrollView->setWidget(table);
    m_scrollView->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px; }"
        "QScrollBar::handle:vertical { background: #C9CDD3; border-radius: 2px; min-height: 32px; }"
        "QScrollBar::handle:vertical:hover { background: #9EA4AD; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    // Paging follows the visible position, whatever moved it: wheel, keys, selection, bar.
    connect(m_scrollView->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_movingItself)
            scrolled();
    });
    buildPanels(layout);
}

void LinkPager::buildPanels(QVBoxLayout *layout)
{
    const qreal ratio = devicePixelRatioF();
    auto *newLink = new QPushButton(QStringLiteral("New link"));
    connect(newLink, &QPushButton::clicked, this, &LinkPager::newLinkRequested);
    auto *dashboard = new QPushButton(QStringLiteral("Open the dashboard"));
    connect(dashboard, &QPushButton::clicked, this, &LinkPager::dashboardRequested);
    m_noWorkspacesView =
        makeEmptyPanel(QStringLiteral("noWorkspacesView"), QStringLiteral("ic-dashboard"),
                       QStringLiteral("This account has no workspace yet."), dashboard, ratio);
    m_nolinksListView =
        makeEmptyPanel(QStringLiteral("nolinksListView"), QStringLiteral("ic-plus"),
                       QStringLiteral("No branded links in this workspace yet."), newLink, ratio);
    m_noLinksSearchView =
        makeEmptyPanel(QStringLiteral("noLinksSearchView"), QStringLiteral("ic-search"),
                       QStringLiteral("No links match your search."), nullptr, ratio);
    auto *retry = new QPushButton(QStringLiteral("Try again"));
    retry->setObjectName(QStringLiteral("retryButton"));
    connect(retry, &QPushButton::clicked, this, &LinkPager::retryLoad);
    m_linksErrorView = makeEmptyPanel(
        QStringLiteral("linksErrorView"), QStringLiteral("ic-close"),
        QStringLiteral("Your links could not be loaded. Check the connection and try again."),
        retry, ratio);

    auto *stack = new QGridLayout;
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(m_scrollView, 0, 0);
    for (QWidget *panel :
         {m_noWorkspacesView, m_nolinksListView, m_noLinksSearchView, m_linksErrorView})
        stack->addWidget(panel, 0, 0);
    layout->addLayout(stack, 1);

    m_footerScrollBox = new QWidget;
    m_footerScrollBox->setObjectName(QStringLiteral("footerScrollBox"));
    auto *footerSpin = new QHBoxLayout(m_footerScrollBox);
    footerSpin->setContentsMargins(0, 8, 0, 8);
    m_footerSpinner = new Spinner;
    footerSpin->addWidget(m_footerSpinner, 0, Qt::AlignCenter);
    // A next page that failed: the rows stay, and this asks for the page again.
    m_footerRetry = new QPushButton(QStringLiteral("More links could not be loaded. Try again"));
    m_footerRetry->setObjectName(QStringLiteral("footerRetryButton"));
    m_footerRetry->setFlat(true);
    m_footerRetry->setCursor(Qt::PointingHandCursor);
    m_footerRetry->setStyleSheet(QStringLiteral("QPushButton { color: #C62828; border: none; }"));
    m_footerRetry->hide();
    connect(m_footerRetry, &QPushButton::clicked, this, [this] {
        m_footerRetry->hide();
        m_footerSpinner->show();
        requestLinks();
    });
    footerSpin->addWidget(m_footerRetry, 0, Qt::AlignCenter);
    layout->addWidget(m_footerScrollBox);
    m_footerScrollBox->hide();
}

void LinkPager::showNoWorkspace()
{
    setEmptyPanel(m_noWorkspacesView);
    m_footerScrollBox->hide();
    m_headerScrollBox->hide();
    // What is left of an earlier workspace goes, and a page still on its way is dropped.
    m_localLinkList.clear();
    ++m_generation;
    m_requestingLinks = false;
    m_inFlight.reset();
    m_shownWorkspaceId.clear();
    syncRows(0);
}

void LinkPager::showLoadError()
{
    m_headerScrollBox->hide();
    m_footerScrollBox->hide();
    m_localLinkList.clear();
    m_movingItself = true;
    syncRows(0);
    m_scrollView->verticalScrollBar()->setValue(0);
    m_movingItself = false;
    setEmptyPanel(m_linksErrorView);
}

void LinkPager::retryLoad()
{
    logLines({QStringLiteral("retrying the load")});
    setEmptyPanel(nullptr);
    m_headerScrollBox->show();
    if (m_workspaces->failedWithNone())
        emit workspacesNeeded();
    else
        resetLinks();
}

void LinkPager::setEmptyPanel(QWidget *shown)
{
    for (QWidget *panel : {m_nolinksListView, m_noLinksSearchView, m_linksErrorView})
        panel->setVisible(panel == shown);
    if (shown == m_noWorkspacesView)
        m_noWorkspacesView->show();
}

void LinkPager::resetLinks()
{
    setEmptyPanel(nullptr);
    logLines({QStringLiteral("resetting links with")});
    restartPaging();
    QTimer::singleShot(0, this, [this] { syncRows(0); });
    requestLinks();
}

void LinkPager::showTerm(const QString &term)
{
    m_term = term;
    if (term.isEmpty()) {
        resetLinks();
        return;
    }
    setEmptyPanel(nullptr);
    restartPaging();
    m_headerScrollBox->show();
    requestLinks();
}

void LinkPager::restartPaging()
{
    m_localLinkList.clear();
    m_reachedEnd = false;
    // A list loaded afresh starts at its top, where a link just made shows; going there now
    // also keeps the rows' removal from counting as a scroll to the top later.
    m_movingItself = true;
    m_scrollView->verticalScrollBar()->setValue(0);
    m_movingItself = false;
    m_footerRetry->hide();
    m_shownWorkspaceId = WorkspaceBox::storedWorkspaceId();
    if (m_requestingLinks && m_inFlight == PageRequest{std::nullopt, m_term, m_shownWorkspaceId})
        return;
    // A page of another workspace, search or position no longer fits the list: its answer
    // is dropped and a fresh first page asked for.
    ++m_generation;
    m_requestingLinks = false;
    m_inFlight.reset();
}

void LinkPager::requestLinks()
{
    if (m_localLinkList.size() >= maxRows || m_reachedEnd) {
        m_footerScrollBox->hide();
        return;
    }
    logLines({QStringLiteral("requesting links")});
    if (m_requestingLinks)
        return;
    if (!m_localLinkList.isEmpty()) {
        m_footerRetry->hide();
        m_footerSpinner->show();
        m_footerScrollBox->show();
    }
    m_requestingLinks = true;
    const bool one = m_workspaces->hasOneWorkspace();
    logLines({one, m_workspaces->workspacesList().size()});
    if (m_workspaces->hasWorkspace()) {
        if (one)
            logLines({QStringLiteral("1 workspace")});
        const std::optional<QString> last =
            m_localLinkList.isEmpty() ? std::nullopt : std::optional(m_localLinkList.last().id);
        const quint64 generation = m_generation;
        const auto answer = [self = QPointer(this),
                             generation](const std::optional<QJsonArray> &l) {
            if (self)
                self->linksLoaded(l, generation);
        };
        // Without a usable token the client sends nothing and never answers (it refreshes
        // the token instead): the list must not wait for that answer.
        if (!ApiManager::shared().authentication().hasValidToken()) {
            logLines({QStringLiteral("no usable token, links not requested")});
            m_requestingLinks = false;
        } else {
            m_inFlight = PageRequest{last, m_term, WorkspaceBox::storedWorkspaceId()};
        }
        // While a search is shown, paging and the top reload go on with the search.
        if (!m_term.isEmpty())
            ApiManager::shared().searchLinks(m_term, last, std::nullopt, answer);
        else
            ApiManager::shared().getLinks(last, std::nullopt, m_filterFavorite, answer);
        return;
    }
    // Nothing to ask for until a workspace load succeeds; asking for the workspaces from here
    // again would repeat the same answer without end.
    logLines({QStringLiteral("no workspaces, no load links")});
    m_footerScrollBox->hide();
    m_headerScrollBox->hide();
    m_requestingLinks = false;
    if (m_workspaces->failedWithNone())
        showLoadError();
}

void LinkPager::fillCreation(BrandedLinkDTO &link, const QDateTime &today)
{
    link.creationMinutes = link.creationHours = link.creationDays = 0;
    link.creationMonths = link.creationYears = 0;
    QDateTime created = QDateTime::fromString(link.createdAt, Qt::ISODateWithMs);
    if (!created.isValid() || created > today)
        return;
    created = created.toLocalTime();
    const QDateTime end = today.toLocalTime();
    qint64 years = end.date().year() - created.date().year();
    if (created.addYears(int(years)) > end)
        --years;
    QDateTime cursor = created.addYears(int(years));
    qint64 months = (end.date().year() - cursor.date().year()) * 12 + end.date().month() -
                    cursor.date().month();
    if (cursor.addMonths(int(months)) > end)
        --months;
    cursor = cursor.addMonths(int(months));
    qint64 days = cursor.daysTo(end);
    if (cursor.addDays(days) > end)
        --days;
    cursor = cursor.addDays(days);
    const qint64 seconds = cursor.secsTo(end);
    link.creationYears = years;
    link.creationMonths = months;
    link.creationDays = days;
    link.creationHours = seconds / 3600;
    link.creationMinutes = (seconds % 3600) / 60;
}

void LinkPager::linksLoaded(const std::optional<QJsonArray> &list, quint64 generation)
{
    if (generation != m_generation)
        return;
    m_requestingLinks = false;
    m_inFlight.reset();
    const bool reset = m_localLinkList.isEmpty();
    logLines({QStringLiteral("is a reset: ") +
              (reset ? QStringLiteral("true") : QStringLiteral("false"))});
    m_headerScrollBox->hide();
    if (!list) {
        // Failed or dropped: never shown as an empty list. A first page gives the error panel,
        // a next one keeps the rows and offers to ask again.
        logLines({QStringLiteral("links not loaded")});
        if (reset) {
            showLoadError();
        } else {
            m_footerSpinner->hide();
            m_footerRetry->show();
            m_footerScrollBox->show();
        }
        return;
    }
    m_today = Clock::current().now();
    const qsizetype before = m_localLinkList.size();
    for (const QJsonValue &value : *list) {
        BrandedLinkDTO link = BrandedLinkDTO::fromJson(value.toObject());
        link.multilineTitle = link.title;
        fillCreation(link, m_today);
        m_localLinkList.append(link);
    }
    // A short page is the last one: no more requests at the bottom of this list.
    m_reachedEnd = list->size() < pageSize;
    logLines({QStringLiteral("LOADED")});
    m_footerScrollBox->hide();
    if (m_localLinkList.isEmpty()) {
        logLines({QStringLiteral("NO LINKS")});
        // The panel says what the user is looking at: an empty search or an empty workspace.
        if (!m_term.isEmpty()) {
            logLines({QStringLiteral("was a search")});
            setEmptyPanel(m_noLinksSearchView);
        } else {
            logLines({QStringLiteral("was a population")});
            setEmptyPanel(m_nolinksListView);
        }
    } else {
        setEmptyPanel(nullptr);
        m_noWorkspacesView->hide();
    }
    // The dashboard row is drawn after the links (syncRows), never stored among them.
    syncRows(reset ? 0 : int(std::max<qsizetype>(0, before)));
}

int LinkPager::numberOfRows() const
{
    const qsizetype links = std::min<qsizetype>(m_localLinkList.size(), maxRows);
    return int(links) + (m_localLinkList.size() >= placeholderFrom ? 1 : 0);
}

BrandedLinkView *LinkPager::rowView(int row) const
{
    return row >= 0 && row < m_rows.size() && row < numberOfRows() ? m_rows.at(row) : nullptr;
}

void LinkPager::syncRows(int from)
{
    const int count = numberOfRows();
    const int links = int(std::min<qsizetype>(m_localLinkList.size(), maxRows));
    while (m_rows.size() < count) {
        auto *row = new BrandedLinkView;
        connect(row, &BrandedLinkView::favouriteChanged, this, &LinkPager::favouriteChanged);
        m_tableLayout->insertWidget(int(m_rows.size()), row);
        m_rows.append(row);
    }
    while (m_rows.size() > count)
        delete m_rows.takeLast();
    for (int row = std::max(0, from); row < links; ++row)
        m_rows.at(row)->configure(m_localLinkList.at(row), row);
    // The dashboard row, last.
    if (count > links)
        m_rows.at(links)->configure(m_emptyLink, links);
    emit rowsSynced(count);
}

void LinkPager::favouriteChanged(const QString &id, bool favourite)
{
    // The rows are drawn again from the list: it keeps what the service answered.
    for (BrandedLinkDTO &link : m_localLinkList) {
        if (link.id == id)
            link.favourite = favourite;
    }
}

void LinkPager::scrolled()
{
    logLines({QStringLiteral("scrolling")});
    if (m_workspaces->isPickerShown()) {
        logLines({QStringLiteral("showing workspaces")});
        return;
    }
    const QScrollBar *bar = m_scrollView->verticalScrollBar();
    const int y = bar->sliderPosition();
    const int visible = m_scrollView->viewport()->height();
    const int height = bar->maximum() + visible;
    logLines({QVariant(y)});
    const qsizetype count = m_localLinkList.size();
    if (y <= topEdge && count < maxRows) {
        logLines({QStringLiteral("top scroll")});
        m_headerScrollBox->show();
        restartPaging();
        requestLinks();
        return;
    }
    if (height - y != visible) {
        logLines({QStringLiteral("return -1")});
        return;
    }
    logLines({QStringLiteral("bottom scroll")});
    if (count >= maxRows || m_reachedEnd) {
        m_headerScrollBox->hide();
        m_footerScrollBox->hide();
        return;
    }
    requestLinks();
}
