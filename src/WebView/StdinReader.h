#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

// Reads the helper's standard input without blocking the event loop.
class StdinReader : public QObject
{
    Q_OBJECT

public:
    explicit StdinReader(QObject *parent = nullptr);

signals:
    void received(const QByteArray &chunk);
    // The program that started us is gone (or closed our input): time to leave.
    void endOfInput();

private:
    void onActivated();

    QSocketNotifier m_notifier;
};
