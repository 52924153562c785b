#pragma once

#include "Views/ViewController.h"

#include <QJsonObject>

#include <memory>
#include <optional>

namespace Ui {
class PreferencesAccountController;
}

// The account pane: the signed-in user's name and e-mail address, fetched from the service
// once and then kept in the settings store until sign-out, and a button to the account
// settings of the web dashboard.
class PreferencesAccountController : public ViewController
{
    Q_OBJECT

public:
    explicit PreferencesAccountController(QWidget *parent = nullptr);
    ~PreferencesAccountController() override;

    // The completion of GET "/account".
    void showAccount(const std::optional<QJsonObject> &account);
    void openDashboardPreferences();

    [[nodiscard]] QString username() const;
    [[nodiscard]] QString email() const;

private:
    void viewDidLoad();

    std::unique_ptr<Ui::PreferencesAccountController> m_ui;
};
