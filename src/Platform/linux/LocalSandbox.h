#pragma once

#include <QObject>
#include <QProcess>
#include <QUrl>

// Starts quorvella-sandbox next to the program for --sandbox and keeps it for the program's
// life. The sandbox ends with us: it stops when its standard input closes.
class LocalSandbox : public QObject
{
    Q_OBJECT

public:
    explicit LocalSandbox(QObject *parent = nullptr);
    ~LocalSandbox() override;

    // The sandbox's origin, or an empty URL with the reason in error.
    [[nodiscard]] QUrl start(QString *error, int timeoutMs = 15000);

    [[nodiscard]] static QString executablePath();

private:
    QProcess m_process;
};
