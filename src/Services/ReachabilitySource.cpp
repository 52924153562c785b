#include "Services/ReachabilitySource.h"

#include "Services/NetworkInformationReachability.h"
#include "Services/ProbeReachability.h"

#include <QHostAddress>
#include <QNetworkInformation>

namespace {
bool isLoopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}
} // namespace

std::unique_ptr<ReachabilitySource> ReachabilitySource::createDefault(const QString &host,
                                                                      quint16 port)
{
    if (!isLoopback(host) &&
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability) &&
        QNetworkInformation::instance()) {
        return std::make_unique<NetworkInformationReachability>(QNetworkInformation::instance());
    }
    return std::make_unique<ProbeReachability>(host, port);
}
