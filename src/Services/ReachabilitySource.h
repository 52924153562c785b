#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Tells whether the service can be reached. A source reports once when started and then on
// every change; the API client turns reports into its InternetStatus.
class ReachabilitySource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~ReachabilitySource() override = default;

    virtual void start() = 0;
    // A request got no answer at all: a source that is not told of changes looks again now.
    virtual void recheck() {}

    // Qt's network information where a backend reports reachability, else a periodic probe
    // of the host. A loopback host (the sandbox) is always probed: the system's view of the
    // outside network says nothing about it.
    [[nodiscard]] static std::unique_ptr<ReachabilitySource> createDefault(const QString &host,
                                                                           quint16 port);

signals:
    void reported(bool reachable);
};
