#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop on SIGTERM or SIGINT and, when asked, when standard input reaches end
// of file, so a test that dies (and with it the write end of our stdin) leaves no server.
class ShutdownWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownWatcher(bool watchStdin, QObject *parent = nullptr);
    ~ShutdownWatcher() override;

signals:
    void shutdownRequested();

private:
    static void onSignal(int number);
    void readSignal();
    void readStdin();

    QSocketNotifier *m_signalNotifier = nullptr;
    QSocketNotifier *m_stdinNotifier = nullptr;
};
