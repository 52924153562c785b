#pragma once

#include "Controllers/PlaceholderViewController.h"

#include <QJsonObject>

#include <optional>

// The link-list popover. Until the list itself is here it shows what will be there, and
// already reads the account when it loads, as the list does: that stores the signed-in
// user's id, which the clipboard logic and the crash reporter need.
class MainViewController : public PlaceholderViewController
{
    Q_OBJECT

public:
    explicit MainViewController(QWidget *parent = nullptr);

    void viewWillAppear() override;
    void accountLoaded(const std::optional<QJsonObject> &account);

private:
    bool m_accountRequested = false;
};
