#pragma once

#include "Controllers/ViewControllerWithMenuHandler.h"

#include <memory>

namespace Ui {
class PlaceholderViewController;
}

// Stands in for a popover view that a later version brings (the link list and the link
// forms): it says what will be there and keeps the settings menu.
class PlaceholderViewController : public ViewControllerWithMenuHandler
{
    Q_OBJECT

public:
    PlaceholderViewController(const QString &title, const QString &message,
                              QWidget *parent = nullptr);
    ~PlaceholderViewController() override;

    [[nodiscard]] QString message() const;

private:
    std::unique_ptr<Ui::PlaceholderViewController> m_ui;
};
