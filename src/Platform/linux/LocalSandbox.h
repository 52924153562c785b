#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <QUrl>

// Starts quorvella-sandbox next to the program for --sandbox and keeps it for the program's
// life. The sandbox ends with us: it stops when its standard input closes.
class LocalSandbox : public QObject
{
    Q_OBJECT

public:
    explicit LocalSandbox(QObject *parent = nullptr);
    ~LocalSandbox() override;

    // Answers with ready() once the sandbox says where it listens, or failed() with the reason.
    void start(int timeoutMs = 15000);

    [[nodiscard]] static QString executablePath();

signals:
    void ready(const QUrl &origin);
    void failed(const QString &reason);

private:
    void readListeningLine();
    void fail(const QString &reason);

    QProcess m_process;
    QTimer m_deadline;
    bool m_answered = false;
};
