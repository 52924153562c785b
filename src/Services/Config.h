#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Where the service's parties live. Built-in production values, overridden in this order by
// $XDG_CONFIG_HOME/Quorvella/quorvella.conf, by QUORVELLA_* environment variables and by
// --sandbox, which routes every role to one origin.
struct Config
{
    QUrl apiHost;            // REST API under /v1, plug-in document at /plugins
    QUrl recommendationHost; // /v1/recommendation-system/...
    QUrl authorizationHost;  // /connect/authorize, /connect/token, /account/logout
    QUrl downloadHost;       // /apps/macapp/...
    QUrl qrHost;             // /v1/qrcode
    QUrl faviconHost;        // /s2/favicons
    QUrl dashboardHost;      // the web dashboard, opened in the browser
    // The social sites' share pages, opened in the browser; never routed to the sandbox.
    QUrl facebookShareHost; // /sharer/sharer.php?u=...
    QUrl twitterShareHost;  // /share?url=...
    QUrl linkedinShareHost; // /sharing/share-offsite/?url=...
    // Pages of the product opened in the browser; never routed to the sandbox.
    QUrl website;      // the product's home page
    QUrl supportPage;  // the support contact page
    QUrl downloadPage; // where a newer version is downloaded
    QString reachabilityHost;
    quint16 reachabilityPort = 443; // the probe connects here
    QString crashReportingDsn;      // empty: crash reporting is off
    // The service's shared short domain, usable by every account: always a branded domain.
    QString sharedShortDomain;
    // How long a request may go without any data moving before it counts as failed.
    int requestTimeoutMs = 60000;

    [[nodiscard]] QUrl apiBaseUrl() const; // apiHost + "/v1"

    [[nodiscard]] static Config productionDefaults();
    // Every role on one origin; the crash-reporting DSN too, for a loopback origin.
    [[nodiscard]] Config routedTo(const QUrl &origin) const;

    // Reads the conf file and the environment over the defaults. A host that is not https
    // (or plain http on loopback) is refused with the reason in error.
    [[nodiscard]] static std::optional<Config> load(QString *error);
    [[nodiscard]] static bool isAcceptableOrigin(const QUrl &origin);
    [[nodiscard]] static QString confFilePath();

    [[nodiscard]] static const Config &current();
    static void install(const Config &config);
};
