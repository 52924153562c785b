#pragma once

#include "Views/WindowContentController.h"

#include <memory>

class QWidget;

namespace Ui {
class AboutView;
}

// The about pane, shown in a title-less window: the running version, links to the product
// website and to support, and the check against the plug-in document.
class AboutController : public WindowContentController
{
    Q_OBJECT

public:
    explicit AboutController(QObject *parent = nullptr);
    ~AboutController() override;

    void present() override;
    void raise() override;
    void dismiss() override;

    void openWebsite();
    void homepageAction() { openWebsite(); }
    void openSupport();
    void supportAction() { openSupport(); }
    void checkUpdates();

    [[nodiscard]] QWidget *view() const { return m_view.get(); }
    [[nodiscard]] QString versionText() const;

private:
    void viewDidLoad();

    std::unique_ptr<QWidget> m_view;
    std::unique_ptr<Ui::AboutView> m_ui;
};
