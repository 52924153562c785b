#pragma once

#include "Platform/Keyring.h"

#include <QObject>

namespace QKeychain {
class Job;
}

// The session's Secret Service, through the keychain library: entries of the service
// "Quorvella" in the default collection. A job that does not finish in time (a keyring
// waiting on a prompt nobody answers) counts as refused.
class SecretServiceKeyring : public QObject, public Keyring
{
    Q_OBJECT

public:
    explicit SecretServiceKeyring(int timeoutMs = 15000, QObject *parent = nullptr);

    void probe(std::function<void(bool running)> completion) override;
    void read(const QString &key, ReadCompletion completion) override;
    void write(const QString &key, const QString &secret, Completion completion) override;
    void remove(const QString &key, Completion completion) override;

private:
    // Starts the job and calls `finished` once: with the job, or with nothing on a time-out.
    void run(QKeychain::Job *job, std::function<void(QKeychain::Job *)> finished);

    int m_timeoutMs;
};
