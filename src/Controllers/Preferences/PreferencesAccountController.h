#pragma once

#include "Controllers/ViewControllerWithMenuHandler.h"

#include <QJsonObject>

#include <memory>
#include <optional>

namespace Ui {
class PreferencesAccountController;
}

// The account pane: the signed-in user's name and e-mail address, fetched from the service
// once and then kept in the settings store until sign-out, and a button to the account
// settings of the web dashboard, and the settings menu's "Sign out".
class PreferencesAccountController : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    explicit PreferencesAccountController(QWidget *parent = nullptr);
    ~PreferencesAccountController() override;

    // The completion of GET "/account".
    void showAccount(const std::optional<QJsonObject> &account);
    void openDashboardPreferences();
    // Signs out as the settings menu does, and closes the window: it belongs to a signed-in user.
    void signOutAction();

    [[nodiscard]] QString username() const;
    [[nodiscard]] QString email() const;

private:
    void viewDidLoad();

    std::unique_ptr<Ui::PreferencesAccountController> m_ui;
};
