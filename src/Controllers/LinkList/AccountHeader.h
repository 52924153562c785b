#pragma once

#include <QJsonObject>
#include <QWidget>

#include <optional>

class QPushButton;
class QToolButton;

// The top row of the link list: the account (avatar and name, both leading to the account
// settings on the dashboard), new link, the dashboard and the settings menu's button.
class AccountHeader : public QWidget
{
    Q_OBJECT

public:
    explicit AccountHeader(QWidget *parent = nullptr);

    void accountLoaded(const std::optional<QJsonObject> &account);
    [[nodiscard]] QString accountName() const;

    void addButton();
    void openDashboard();
    void openAccountTab();

signals:
    // The settings button was pressed: the list opens its settings menu over it.
    void settingsRequested(QWidget *button);

private:
    QToolButton *m_avatarIcon;
    QPushButton *m_accountNameButton;
    QToolButton *m_settingsButton;
};
