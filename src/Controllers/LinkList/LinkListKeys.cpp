#include "Controllers/LinkList/LinkListKeys.h"

#include "App/Costants.h"
#include "App/NotificationCenter.h"
#include "Controllers/LinkList/LinkPager.h"
#include "Controllers/LinkList/LinkSearch.h"
#include "Views/BrandedLinkView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>

using namespace Costants;

LinkListKeys::LinkListKeys(LinkPager *pager, LinkSearch *search, QObject *parent)
    : QObject(parent)
    , m_pager(pager)
    , m_search(search)
{
    m_search->textFieldSearch()->installEventFilter(this);
    m_pager->scrollView()->installEventFilter(this);
    connect(m_pager, &LinkPager::rowsSynced, this, &LinkListKeys::rowsSynced);
    // Typing starts a new search: Enter and Ctrl+C belong to the field again.
    connect(m_search->textFieldSearch(), &QLineEdit::textEdited, this, &LinkListKeys::deselect);
}

void LinkListKeys::rowsSynced(int count)
{
    if (m_selectedRow >= count)
        m_selectedRow = -1;
    if (BrandedLinkView *row = m_pager->rowView(m_selectedRow))
        row->setSelected(true);
}

void LinkListKeys::select(int row)
{
    const int count = m_pager->numberOfRows();
    if (count == 0)
        return;
    row = std::clamp(row, 0, count - 1);
    if (BrandedLinkView *before = m_pager->rowView(m_selectedRow))
        before->setSelected(false);
    m_selectedRow = row;
    BrandedLinkView *selected = m_pager->rowView(row);
    selected->setSelected(true);
    m_pager->scrollView()->ensureWidgetVisible(selected, 0, 0);
}

void LinkListKeys::deselect()
{
    if (BrandedLinkView *before = m_pager->rowView(m_selectedRow))
        before->setSelected(false);
    m_selectedRow = -1;
}

bool LinkListKeys::handleKey(QKeyEvent *event)
{
    const bool inSearch = m_search->textFieldSearch()->hasFocus();
    switch (event->key()) {
    case Qt::Key_Down:
        select(m_selectedRow + 1);
        return true;
    case Qt::Key_Up:
        select(m_selectedRow - 1);
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        // A page of rows; the selection moves, the view follows it and paging follows the view.
        const int page =
            std::max(1, m_pager->scrollView()->viewport()->height() / BrandedLinkView::rowHeight);
        select(std::max(0, m_selectedRow) + (event->key() == Qt::Key_PageDown ? page : -page));
        return true;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
        if (inSearch)
            break;
        select(event->key() == Qt::Key_End ? m_pager->numberOfRows() - 1 : 0);
        return true;
    case Qt::Key_Escape:
        if (!m_search->escape())
            NotificationCenter::shared().post(NotificationViews::closePopover);
        return true;
    case Qt::Key_F:
        if (event->modifiers() != Qt::ControlModifier)
            break;
        [[fallthrough]];
    case Qt::Key_Slash:
        if (inSearch)
            break;
        m_search->openSearchMode();
        return true;
    default:
        break;
    }
    BrandedLinkView *selected = m_pager->rowView(m_selectedRow);
    return selected && handleRowKey(event, selected, inSearch);
}

bool LinkListKeys::handleRowKey(QKeyEvent *event, BrandedLinkView *selected, bool inSearch)
{
    const bool control = event->modifiers() == Qt::ControlModifier;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (selected->isPlaceholder())
            selected->openMoreDash();
        else
            selected->visitURL();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        // Text chosen in the field is what the user copies; otherwise the row's link.
        if (inSearch && m_search->textFieldSearch()->hasSelectedText())
            return false;
        selected->copyLink();
        return true;
    }
    // Delete edits the field while typing.
    if (event->key() == Qt::Key_Delete && !inSearch) {
        selected->openDeleteMenu();
        return true;
    }
    if (!control || selected->isPlaceholder())
        return false;
    switch (event->key()) {
    case Qt::Key_D:
        selected->loveLink();
        return true;
    case Qt::Key_E:
        selected->editLink();
        return true;
    case Qt::Key_S:
    case Qt::Key_R:
        // As the row's own buttons do, anchored on them: the actions show first.
        selected->setHovered(true);
        if (event->key() == Qt::Key_S)
            selected->openShareMenu();
        else
            selected->openQRMenu();
        return true;
    default:
        return false;
    }
}

bool LinkListKeys::handleFieldKey(QKeyEvent *event)
{
    // The field keeps its own keys; arrows leave it for the list, Escape leaves search, and
    // once a row is selected the row's keys act on it.
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Escape:
        return handleKey(event);
    default:
        break;
    }
    if (BrandedLinkView *selected = m_pager->rowView(m_selectedRow)) {
        if (handleRowKey(event, selected, true))
            return true;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_search->searchChanged();
        return true;
    }
    return false;
}

bool LinkListKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_search->textFieldSearch())
        return handleFieldKey(key);
    if (watched == m_pager->scrollView())
        return handleKey(key);
    return false;
}
