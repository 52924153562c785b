#pragma once

#include <QDialog>
#include <QStringList>

class QAction;
class QToolButton;
class QVBoxLayout;
class ViewController;

// The preferences window: a toolbar with the "general" and "account" panes, run modally from
// the settings menu. Every switch builds a fresh pane, so it loads anew. The toolbar's items
// are tabs of the keyboard: Tab reaches them, the arrows move between them, Enter or Space
// shows the pane.
class PreferencesWindowController : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesWindowController(QWidget *parent = nullptr);
    ~PreferencesWindowController() override;

    // Runs the window; returns when it was closed. Other windows keep taking input.
    int runModal();

    void generalButton();
    void accountButton();

    [[nodiscard]] QStringList toolbarSelectableItemIdentifiers() const;
    [[nodiscard]] QString selectedItemIdentifier() const;
    [[nodiscard]] ViewController *contentViewController() const { return m_content; }
    // The row of items; the items are its actions, in toolbar order.
    [[nodiscard]] QWidget *toolbar() const { return m_toolbar; }

    // Closing, by the close button, Esc or the program, ends the modal run.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QToolButton *addItem(const QString &identifier, const QString &title, const QString &icon);
    void windowDidLoad();
    void setContentViewController(const QString &identifier);
    void setSelectedItemIdentifier(const QString &identifier);
    void fitContent();

    QWidget *m_toolbar = nullptr;
    QList<QToolButton *> m_items;
    QAction *m_general = nullptr;
    QAction *m_account = nullptr;
    QVBoxLayout *m_layout = nullptr;
    ViewController *m_content = nullptr;
};
