#include "Services/NetworkInformationReachability.h"

NetworkInformationReachability::NetworkInformationReachability(QNetworkInformation *information,
                                                               QObject *parent)
    : ReachabilitySource(parent)
    , m_information(information)
{}

void NetworkInformationReachability::start()
{
    if (m_started || !m_information)
        return;
    m_started = true;
    connect(m_information, &QNetworkInformation::reachabilityChanged, this,
            [this](QNetworkInformation::Reachability reachability) {
                emit reported(isReachable(reachability));
            });
    emit reported(isReachable(m_information->reachability()));
}

bool NetworkInformationReachability::isReachable(QNetworkInformation::Reachability reachability)
{
    switch (reachability) {
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
        return false;
    case QNetworkInformation::Reachability::Unknown:
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
        break;
    }
    return true;
}
