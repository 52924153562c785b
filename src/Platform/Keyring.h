#pragma once

#include <QString>

#include <functional>

// The desktop's keeper of secrets (a Secret Service). Every operation is asynchronous and
// calls its completion once, on the GUI thread; none ever blocks the caller.
class Keyring
{
public:
    enum class Result {
        done,
        notFound, // reading or removing an entry that is not there
        refused,  // no keyring, a locked or unanswering one, or any other failure
    };
    using Completion = std::function<void(Result)>;
    using ReadCompletion = std::function<void(Result, const QString &secret)>;

    virtual ~Keyring() = default;

    // Whether a keyring runs now; asking must not start one.
    virtual void probe(std::function<void(bool running)> completion) = 0;
    virtual void read(const QString &key, ReadCompletion completion) = 0;
    virtual void write(const QString &key, const QString &secret, Completion completion) = 0;
    virtual void remove(const QString &key, Completion completion) = 0;
};
