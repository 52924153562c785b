#pragma once

#include "Controllers/ViewControllerWithMenuHandler.h"

#include <memory>

namespace Ui {
class NoInternetViewController;
}

// The popover shown while the network is unreachable.
class NoInternetViewController : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    explicit NoInternetViewController(QWidget *parent = nullptr);
    ~NoInternetViewController() override;

    void cancelAction();

private:
    std::unique_ptr<Ui::NoInternetViewController> m_ui;
};
