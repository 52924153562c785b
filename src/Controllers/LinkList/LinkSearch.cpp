#include "Controllers/LinkList/LinkSearch.h"

#include "App/Logger.h"
#include "Controllers/LinkList/WorkspaceBox.h"
#include "Views/Icons.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

LinkSearch::LinkSearch(WorkspaceBox *workspaces, QWidget *focusHome, QObject *parent)
    : QObject(parent)
    , m_workspaces(workspaces)
    , m_focusHome(focusHome)
    , m_textFieldSearch(new QLineEdit)
    , m_searchButton(new QToolButton)
{
    m_textFieldSearch->setObjectName(QStringLiteral("textFieldSearch"));
    m_textFieldSearch->setFixedHeight(40);
    m_textFieldSearch->setPlaceholderText(QStringLiteral("Search links"));
    m_textFieldSearch->setAccessibleName(QStringLiteral("Search links"));
    m_textFieldSearch->setClearButtonEnabled(true);
    // The field's own clear button has no name of its own: a screen reader would speak nothing.
    for (QToolButton *clear : m_textFieldSearch->findChildren<QToolButton *>()) {
        clear->setAccessibleName(QStringLiteral("Clear search"));
        clear->setToolTip(QStringLiteral("Clear search"));
    }
    m_textFieldSearch->setStyleSheet(
        QStringLiteral("QLineEdit { border: 1px solid #DDDDDD; border-radius: 8px;"
                       " padding: 0 10px; background: white; }"
                       "QLineEdit:focus { border-color: #2563EB; }"));
    m_textFieldSearch->hide();
    connect(m_textFieldSearch, &QLineEdit::returnPressed, this, &LinkSearch::searchChanged);
    // The clear button of the field empties it: the plain list comes back.
    connect(m_textFieldSearch, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty() && !m_lastSearch.isEmpty() && !m_ignoreSearch)
            clearSearch();
    });

    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_searchButton->setFixedSize(40, 40);
    m_searchButton->setFocusPolicy(Qt::TabFocus);
    m_searchButton->setIconSize(QSize(20, 20));
    m_searchButton->setCursor(Qt::PointingHandCursor);
    m_searchButton->setStyleSheet(
        QStringLiteral("QToolButton { background: white; border: 1px solid #DDDDDD;"
                       " border-radius: 8px; }"
                       "QToolButton:hover { border-color: #2563EB; }"
                       "QToolButton:focus { border: 2px solid #2563EB; }"));
    connect(m_searchButton, &QToolButton::clicked, this, [this] {
        // With several workspaces the button leaves the search again.
        if (!m_ignoreSearch && !m_workspaces->hasOneWorkspace())
            closeSearchMode();
        else
            openSearchMode();
    });
    updateSearchButton();
}

void LinkSearch::updateSearchButton()
{
    const bool leaves = !m_ignoreSearch && !m_workspaces->hasOneWorkspace();
    m_searchButton->setIcon(
        Icons::icon(leaves ? QStringLiteral("ic-close") : QStringLiteral("ic-search")));
    const QString name = leaves ? QStringLiteral("Close search") : QStringLiteral("Search links");
    m_searchButton->setToolTip(name + QStringLiteral(" (/)"));
    m_searchButton->setAccessibleName(name);
}

void LinkSearch::setButtonEnabled(bool enabled)
{
    m_searchButton->setEnabled(enabled);
}

void LinkSearch::openSearchMode()
{
    m_ignoreSearch = false;
    m_textFieldSearch->show();
    m_workspaces->hide();
    m_textFieldSearch->setFocus();
    updateSearchButton();
}

void LinkSearch::closeSearchMode()
{
    m_ignoreSearch = true;
    m_textFieldSearch->clearFocus();
    m_textFieldSearch->hide();
    m_workspaces->setVisible(!m_workspaces->hasOneWorkspace());
    {
        const QSignalBlocker quiet(m_textFieldSearch);
        m_textFieldSearch->clear();
    }
    m_lastSearch.clear();
    logLines({QStringLiteral("reset search")});
    updateSearchButton();
    m_focusHome->setFocus();
    emit termChanged(QString());
}

void LinkSearch::clearSearch()
{
    {
        const QSignalBlocker quiet(m_textFieldSearch);
        m_textFieldSearch->clear();
    }
    m_lastSearch.clear();
    logLines({QStringLiteral("reset search")});
    emit termChanged(QString());
}

void LinkSearch::searchChanged()
{
    logLines({QStringLiteral("sent new search"), m_textFieldSearch->objectName()});
    const QString text = m_textFieldSearch->text();
    if (text == m_lastSearch || m_ignoreSearch) {
        logLines({QStringLiteral("ignoring search")});
        return;
    }
    m_lastSearch = text;
    if (text.isEmpty())
        logLines({QStringLiteral("empty search")});
    emit termChanged(text);
}

bool LinkSearch::escape()
{
    if (!m_ignoreSearch && !m_workspaces->hasOneWorkspace()) {
        closeSearchMode();
        return true;
    }
    if (m_workspaces->hasOneWorkspace() && !m_textFieldSearch->text().isEmpty()) {
        clearSearch();
        return true;
    }
    return false;
}

void LinkSearch::disable()
{
    m_textFieldSearch->hide();
    m_ignoreSearch = true;
    m_searchButton->setEnabled(false);
}
