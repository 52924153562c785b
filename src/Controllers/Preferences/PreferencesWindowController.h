#pragma once

#include <QDialog>
#include <QStringList>

class QAction;
class QToolBar;
class QVBoxLayout;
class ViewController;

// The preferences window: a toolbar with the "general" and "account" panes, run modally from
// the settings menu. Every switch builds a fresh pane, so it loads anew.
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
    [[nodiscard]] QToolBar *toolbar() const { return m_toolbar; }

    // Closing, by the close button, Esc or the program, ends the modal run.
    void done(int result) override;

private:
    void windowDidLoad();
    void setContentViewController(const QString &identifier);
    void setSelectedItemIdentifier(const QString &identifier);

    QToolBar *m_toolbar = nullptr;
    QAction *m_general = nullptr;
    QAction *m_account = nullptr;
    QVBoxLayout *m_layout = nullptr;
    ViewController *m_content = nullptr;
};
