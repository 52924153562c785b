#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QToolButton;
class QWidget;
class WorkspaceBox;

// The search of the link list: the field that takes the workspace box's place while searching
// and the button that opens (or, with several workspaces, leaves) it. With one workspace the
// search is always open. A search runs when Enter is pressed in the field, once per text.
class LinkSearch : public QObject
{
    Q_OBJECT

public:
    // `focusHome` takes the keyboard back when the search closes.
    LinkSearch(WorkspaceBox *workspaces, QWidget *focusHome, QObject *parent = nullptr);

    [[nodiscard]] QLineEdit *textFieldSearch() const { return m_textFieldSearch; }
    [[nodiscard]] QToolButton *searchButton() const { return m_searchButton; }
    [[nodiscard]] bool isOpen() const { return !m_ignoreSearch; }
    // The text last searched for; "" while the plain list shows.
    [[nodiscard]] const QString &lastSearch() const { return m_lastSearch; }

    void openSearchMode();
    void closeSearchMode();
    void clearSearch();
    void searchChanged();
    // Esc: leaves the search, or with one workspace empties it; false when there was nothing
    // to leave or empty.
    bool escape();
    // Nothing to search (no workspace): the field goes and the button is off.
    void disable();
    void setButtonEnabled(bool enabled);

signals:
    // The list is to show the links found for this text; "" asks for the plain list.
    void termChanged(const QString &term);

private:
    void updateSearchButton();

    WorkspaceBox *m_workspaces;
    QWidget *m_focusHome;
    QLineEdit *m_textFieldSearch;
    QToolButton *m_searchButton;
    QString m_lastSearch;
    bool m_ignoreSearch = true;
};
