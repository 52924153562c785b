#include "Services/Config.h"

#include "App/SettingsStore.h"

#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QSettings>

#include <iterator>
#include <vector>

namespace {

struct Role
{
    const char *confKey;
    const char *environment;
    QUrl Config::*field;
};

const Role kRoles[] = {
    {"api", "QUORVELLA_API_URL", &Config::apiHost},
    {"recommendation", "QUORVELLA_RECOMMENDATION_URL", &Config::recommendationHost},
    {"authorization", "QUORVELLA_AUTHORIZATION_URL", &Config::authorizationHost},
    {"downloads", "QUORVELLA_DOWNLOAD_URL", &Config::downloadHost},
    {"qr", "QUORVELLA_QR_URL", &Config::qrHost},
    {"favicons", "QUORVELLA_FAVICON_URL", &Config::faviconHost},
    {"dashboard", "QUORVELLA_DASHBOARD_URL", &Config::dashboardHost},
};

// Hosts of other parties: configurable the same way, but --sandbox leaves them alone.
const Role kShareHosts[] = {
    {"share_facebook", "QUORVELLA_FACEBOOK_SHARE_URL", &Config::facebookShareHost},
    {"share_twitter", "QUORVELLA_TWITTER_SHARE_URL", &Config::twitterShareHost},
    {"share_linkedin", "QUORVELLA_LINKEDIN_SHARE_URL", &Config::linkedinShareHost},
};

// Pages the user reads in the browser: configurable like the hosts, but --sandbox keeps them.
const Role kPages[] = {
    {"website", "QUORVELLA_WEBSITE_URL", &Config::website},
    {"support", "QUORVELLA_SUPPORT_URL", &Config::supportPage},
    {"download_page", "QUORVELLA_DOWNLOAD_PAGE_URL", &Config::downloadPage},
};

bool isLoopbackHost(const QString &host)
{
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QMutex &currentMutex()
{
    static QMutex mutex;
    return mutex;
}

Config &currentSlot()
{
    static Config config = Config::productionDefaults();
    return config;
}

} // namespace

QUrl Config::apiBaseUrl() const
{
    QUrl url = apiHost;
    url.setPath(QStringLiteral("/v1"));
    return url;
}

Config Config::productionDefaults()
{
    Config config;
    config.apiHost = QUrl(QStringLiteral("https://api.quorvella.com"));
    config.recommendationHost = QUrl(QStringLiteral("https://recommendation.quorvella.com"));
    config.authorizationHost = QUrl(QStringLiteral("https://identity.quorvella.com"));
    config.downloadHost = QUrl(QStringLiteral("https://cdn.quorvella.com"));
    config.qrHost = QUrl(QStringLiteral("https://qr.quorvella.com"));
    config.faviconHost = QUrl(QStringLiteral("https://favicons.quorvella.com"));
    config.dashboardHost = QUrl(QStringLiteral("https://app.quorvella.com"));
    config.facebookShareHost = QUrl(QStringLiteral("https://www.facebook.com"));
    config.twitterShareHost = QUrl(QStringLiteral("https://twitter.com"));
    config.linkedinShareHost = QUrl(QStringLiteral("https://www.linkedin.com"));
    config.website = QUrl(QStringLiteral("https://www.quorvella.com"));
    config.supportPage = QUrl(QStringLiteral("https://www.quorvella.com/contact"));
    config.downloadPage = QUrl(QStringLiteral("https://www.quorvella.com/download/linux"));
    config.reachabilityHost = QStringLiteral("www.quorvella.com");
    config.sharedShortDomain = QStringLiteral("quorv.link");
    return config;
}

Config Config::routedTo(const QUrl &origin) const
{
    Config routed = *this;
    for (const Role &role : kRoles)
        routed.*role.field = origin;
    routed.reachabilityHost = origin.host();
    routed.reachabilityPort =
        static_cast<quint16>(origin.port(origin.scheme() == QLatin1String("https") ? 443 : 80));
    if (isLoopbackHost(origin.host())) {
        // The sandbox keeps the reports it receives under project 1, for its own key.
        QUrl dsn = origin;
        dsn.setUserName(QStringLiteral("5b0f3e6c2a9d4e71b8c3f0a1d2e4b6c8"));
        dsn.setPath(QStringLiteral("/1"));
        routed.crashReportingDsn = dsn.toString();
    }
    return routed;
}

bool Config::isAcceptableOrigin(const QUrl &origin)
{
    if (!origin.isValid() || origin.host().isEmpty())
        return false;
    if (origin.scheme() == QLatin1String("https"))
        return true;
    return origin.scheme() == QLatin1String("http") && isLoopbackHost(origin.host());
}

QString Config::confFilePath()
{
    return SettingsStore::directory() + QStringLiteral("/quorvella.conf");
}

std::optional<Config> Config::load(QString *error)
{
    Config config = productionDefaults();
    QSettings conf(confFilePath(), QSettings::IniFormat);
    std::vector<Role> roles(std::begin(kRoles), std::end(kRoles));
    roles.insert(roles.end(), std::begin(kShareHosts), std::end(kShareHosts));
    roles.insert(roles.end(), std::begin(kPages), std::end(kPages));
    for (const Role &role : roles) {
        QString text = conf.value(QLatin1String(role.confKey)).toString();
        const QString fromEnvironment = qEnvironmentVariable(role.environment);
        if (!fromEnvironment.isEmpty())
            text = fromEnvironment;
        if (text.isEmpty())
            continue;
        const QUrl origin(text, QUrl::StrictMode);
        if (!isAcceptableOrigin(origin)) {
            if (error)
                *error = QStringLiteral("%1 must be an https URL (plain http only on this "
                                        "machine): %2")
                             .arg(QLatin1String(role.confKey), text);
            return std::nullopt;
        }
        config.*role.field = origin;
    }
    config.reachabilityHost =
        conf.value(QStringLiteral("reachability"), config.reachabilityHost).toString();
    if (qEnvironmentVariableIsSet("QUORVELLA_REACHABILITY_HOST"))
        config.reachabilityHost = qEnvironmentVariable("QUORVELLA_REACHABILITY_HOST");
    config.crashReportingDsn = conf.value(QStringLiteral("sentry_dsn")).toString();
    config.sharedShortDomain =
        conf.value(QStringLiteral("short_domain"), config.sharedShortDomain).toString();
    if (qEnvironmentVariableIsSet("QUORVELLA_SHORT_DOMAIN"))
        config.sharedShortDomain = qEnvironmentVariable("QUORVELLA_SHORT_DOMAIN");
    if (qEnvironmentVariableIsSet("QUORVELLA_SENTRY_DSN"))
        config.crashReportingDsn = qEnvironmentVariable("QUORVELLA_SENTRY_DSN");
    return config;
}

const Config &Config::current()
{
    QMutexLocker locker(&currentMutex());
    return currentSlot();
}

void Config::install(const Config &config)
{
    QMutexLocker locker(&currentMutex());
    currentSlot() = config;
}
