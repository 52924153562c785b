#pragma once

#include <QObject>

#include <memory>

class WindowContentController;

// A window without title bar around one content controller (the sign-in web view, the about
// pane). Every such window closes on "qv-close-window-oauth".
class WindowNoTitleBar : public QObject
{
    Q_OBJECT

public:
    explicit WindowNoTitleBar(std::unique_ptr<WindowContentController> content,
                              QObject *parent = nullptr);
    ~WindowNoTitleBar() override;

    void show();
    void close();
    [[nodiscard]] bool isOpen() const { return m_open; }
    [[nodiscard]] WindowContentController *contentViewController() const { return m_content.get(); }

signals:
    void closed();

private:
    void onCloseWindowNotification();

    std::unique_ptr<WindowContentController> m_content;
    bool m_open = false;
    bool m_presented = false;
};
