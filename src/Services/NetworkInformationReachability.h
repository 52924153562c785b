#pragma once

#include "Services/ReachabilitySource.h"

#include <QNetworkInformation>

// Reachability as the system's network backend reports it.
class NetworkInformationReachability : public ReachabilitySource
{
    Q_OBJECT

public:
    explicit NetworkInformationReachability(QNetworkInformation *information,
                                            QObject *parent = nullptr);

    void start() override;

    // Only a disconnected or local-only network counts as not reachable; an unknown state
    // counts as reachable, so a backend that cannot tell never locks the user out.
    [[nodiscard]] static bool isReachable(QNetworkInformation::Reachability reachability);

private:
    QNetworkInformation *m_information;
    bool m_started = false;
};
