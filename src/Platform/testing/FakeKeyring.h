#pragma once

#include "Platform/Keyring.h"

#include <QMap>
#include <QObject>
#include <QTimer>

// A keyring in memory that answers on the next event-loop turn, as a real one would. With
// `running` false it is not there; with `refusing` true it refuses every operation.
class FakeKeyring : public Keyring
{
public:
    void probe(std::function<void(bool running)> completion) override
    {
        later([this, completion] { completion(running); });
    }
    void read(const QString &key, ReadCompletion completion) override
    {
        later([this, key, completion] {
            if (refusing || !running)
                return completion(Result::refused, QString());
            const auto found = entries.constFind(key);
            completion(found == entries.cend() ? Result::notFound : Result::done,
                       found == entries.cend() ? QString() : *found);
        });
    }
    void write(const QString &key, const QString &secret, Completion completion) override
    {
        later([this, key, secret, completion] {
            if (refusing || !running)
                return completion(Result::refused);
            entries.insert(key, secret);
            completion(Result::done);
        });
    }
    void remove(const QString &key, Completion completion) override
    {
        later([this, key, completion] {
            if (refusing || !running)
                return completion(Result::refused);
            completion(entries.remove(key) ? Result::done : Result::notFound);
        });
    }

    bool running = false;
    bool refusing = false;
    QMap<QString, QString> entries;

private:
    void later(std::function<void()> answer) { QTimer::singleShot(0, &m_context, answer); }
    QObject m_context;
};
