#pragma once

#include "Controllers/ViewControllerWithMenuHandler.h"

#include <memory>

class WindowNoTitleBar;

namespace Ui {
class LoginViewController;
}

// The popover of a signed-out user: sign in, create an account, open the dashboard.
class LoginViewController : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    explicit LoginViewController(QWidget *parent = nullptr);
    ~LoginViewController() override;

    void viewWillAppear() override;
    void loginAction();
    void signupAction();
    void openDashboard();

    // Opens the sign-in window, or brings back the one already open.
    static void openSignInWindow(bool isSignup);
    // The sign-in window while it is open.
    [[nodiscard]] static WindowNoTitleBar *signInWindow();

protected:
    // Esc closes the popover, as it does every other one.
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::LoginViewController> m_ui;
};
