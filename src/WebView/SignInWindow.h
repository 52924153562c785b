#pragma once

#include <QPoint>
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

// The title-less sign-in window: a slim bar to drag it by and to close it, and the page.
class SignInWindow : public QWidget
{
    Q_OBJECT

public:
    explicit SignInWindow(QWebEnginePage *page, QWidget *parent = nullptr);

    // Closes without counting as the user's doing.
    void closeByProgram();

signals:
    void closedByUser();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_bar = nullptr;
    QWebEngineView *m_view = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_closingByProgram = false;
};
