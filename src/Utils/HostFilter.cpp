#include "Utils/HostFilter.h"

#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Utils/Validation.h"

#include <QHostAddress>
#include <QRegularExpression>

#include <array>
#include <utility>

namespace {

// Ranges whose hosts never leave the user's machine or network.
const std::array<std::pair<const char *, int>, 11> kLocalRanges = {{
    {"0.0.0.0", 8},      // "this network"
    {"10.0.0.0", 8},     // private
    {"100.64.0.0", 10},  // shared address space behind carrier NAT
    {"127.0.0.0", 8},    // loopback
    {"169.254.0.0", 16}, // link-local
    {"172.16.0.0", 12},  // private
    {"192.168.0.0", 16}, // private
    {"::", 128},         // unspecified
    {"fc00::", 7},       // unique local
    {"fe80::", 10},      // link-local
    {"fec0::", 10},      // the old site-local
}};

const std::array<const char *, 4> kLocalSuffixes = {".local", ".internal", ".localhost",
                                                    ".home.arpa"};

// A last label of digits (or 0x hex) makes a browser read the host as an IPv4 address, also
// when it is written in a short or hexadecimal form ("127.1", "0x7f.0.0.1").
bool looksNumeric(const QString &host)
{
    static const QRegularExpression numeric(QStringLiteral("^(0x[0-9a-f]*|[0-9]+)$"));
    return numeric.match(host.section(QLatin1Char('.'), -1)).hasMatch();
}

std::optional<QString> addressRefusal(const QHostAddress &parsed)
{
    QHostAddress address = parsed;
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (mapped) // "::ffff:10.0.0.1" is the IPv4 address
        address = QHostAddress(ipv4);
    if (address.isLoopback())
        return QStringLiteral("loopback address");
    for (const auto &[network, length] : kLocalRanges) {
        if (address.isInSubnet(QHostAddress(QString::fromLatin1(network)), length))
            return QStringLiteral("private or link-local address");
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> HostFilter::refusal(const QString &link, const QStringList &patterns)
{
    const std::optional<QString> written = Validation::hostOf(link);
    if (!written)
        return QStringLiteral("no host");
    if (std::optional<QString> reason = hostRefusal(*written))
        return reason;
    QString host = written->toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    for (const QString &stored : patterns) {
        // The store may have been written by hand.
        const std::optional<QString> pattern = normalisedPattern(stored);
        if (pattern && matches(host, *pattern))
            return QStringLiteral("on the user's list (") + *pattern + QLatin1Char(')');
    }
    return std::nullopt;
}

std::optional<QString> HostFilter::refusal(const QString &link)
{
    return refusal(link, SettingsStore::shared()
                             .stringArrayForKey(Costants::Preferences::neverRebrandHosts)
                             .value_or(QStringList()));
}

std::optional<QString> HostFilter::hostRefusal(const QString &written)
{
    QString host = written.toLower();
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.isEmpty())
        return QStringLiteral("no host");
    // Before the address parser: it would read "%25eth0"-style zone ids and scopes too.
    if (QHostAddress address; address.setAddress(host))
        return addressRefusal(address);
    if (host.contains(QLatin1Char(':')))
        return QStringLiteral("unreadable address");
    if (!host.contains(QLatin1Char('.')))
        return QStringLiteral("single-label host");
    if (looksNumeric(host))
        return QStringLiteral("numeric host");
    if (host == QLatin1String("localhost"))
        return QStringLiteral("loopback address");
    for (const char *suffix : kLocalSuffixes) {
        if (host.endsWith(QLatin1StringView(suffix)))
            return QStringLiteral("local name");
    }
    return std::nullopt;
}

bool HostFilter::matches(const QString &host, const QString &pattern)
{
    if (pattern.isEmpty())
        return false;
    if (!pattern.contains(QLatin1Char('*')))
        return host == pattern || host.endsWith(QLatin1Char('.') + pattern);
    QString expression;
    for (const QChar character : pattern)
        expression += character == QLatin1Char('*')
                          ? QStringLiteral(".*")
                          : QRegularExpression::escape(QString(character));
    return QRegularExpression(QRegularExpression::anchoredPattern(expression))
        .match(host)
        .hasMatch();
}

std::optional<QString> HostFilter::normalisedPattern(const QString &text)
{
    QString pattern = text.trimmed().toLower();
    if (pattern.endsWith(QLatin1Char('.')))
        pattern.chop(1);
    static const QRegularExpression forbidden(QStringLiteral("[\\s/?#@]"));
    if (pattern.isEmpty() || pattern.contains(forbidden) ||
        pattern.count(QLatin1Char('*')) == pattern.size())
        return std::nullopt;
    return pattern;
}
