#pragma once

#include <QObject>
#include <QPointF>

#include <functional>

// Sees every left and right mouse-down in the program's own windows, before the widget under
// the pointer gets it, and never swallows it.
class LocalEventMonitor : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(const QPointF &globalPosition)>;

    explicit LocalEventMonitor(Handler handler, QObject *parent = nullptr);
    ~LocalEventMonitor() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler m_handler;
};
