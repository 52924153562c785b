#pragma once

#include <QObject>

class BrandedLinkView;
class LinkPager;
class LinkSearch;
class QKeyEvent;

// The keyboard of the link list and its selection: arrows, PageUp/PageDown, Home and End move
// the selected row (the view and the paging follow it); the selected row's actions are Enter
// (open), Ctrl+C (copy), Ctrl+D (favourite), Ctrl+E (edit), Ctrl+S (share), Ctrl+R (QR code)
// and Delete; "/" and Ctrl+F open the search, Esc leaves it or closes the list. In the search
// field the row keys reach the row once one is selected; typing gives the keys back to the
// field.
class LinkListKeys : public QObject
{
    Q_OBJECT

public:
    LinkListKeys(LinkPager *pager, LinkSearch *search, QObject *parent = nullptr);

    // A key pressed on the list itself; false when the list has no use for it.
    bool handleKey(QKeyEvent *event);
    [[nodiscard]] int selectedRow() const { return m_selectedRow; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void select(int row);
    void deselect();
    void rowsSynced(int count);
    // The keys that act on the selected row; false when the key is none of them.
    bool handleRowKey(QKeyEvent *event, BrandedLinkView *selected, bool inSearch);
    bool handleFieldKey(QKeyEvent *event);

    LinkPager *m_pager;
    LinkSearch *m_search;
    int m_selectedRow = -1;
};
