#include "App/SentryDsn.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

bool isLoopback(const QString &host)
{
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

QUrl SentryDsn::envelopeUrl() const
{
    QUrl url = origin;
    url.setPath(QStringLiteral("/api/%1/envelope/").arg(project));
    return url;
}

QString SentryDsn::authHeader(const QString &clientVersion) const
{
    return QStringLiteral("Sentry sentry_version=7, sentry_key=%1, sentry_client=quorvella/%2")
        .arg(publicKey, clientVersion);
}

std::optional<SentryDsn> SentryDsn::parse(const QString &text, QString *error)
{
    auto fail = [error](const QString &why) -> std::optional<SentryDsn> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("no DSN configured"));
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fail(QStringLiteral("the DSN is not a URL"));
    if (url.scheme() != QLatin1String("https") &&
        !(url.scheme() == QLatin1String("http") && isLoopback(url.host())))
        return fail(QStringLiteral("the DSN must use https"));
    static const QRegularExpression keyPattern(QStringLiteral("^[0-9A-Za-z]+$"));
    if (!keyPattern.match(url.userName()).hasMatch())
        return fail(QStringLiteral("the DSN has no public key"));
    static const QRegularExpression projectPattern(QStringLiteral("^/([0-9A-Za-z_-]+)/?$"));
    const QRegularExpressionMatch project = projectPattern.match(url.path());
    if (!project.hasMatch())
        return fail(QStringLiteral("the DSN has no project"));

    SentryDsn dsn;
    dsn.publicKey = url.userName();
    dsn.project = project.captured(1);
    dsn.origin.setScheme(url.scheme());
    dsn.origin.setHost(url.host());
    dsn.origin.setPort(url.port());
    return dsn;
}
