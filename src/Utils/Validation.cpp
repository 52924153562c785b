#include "Utils/Validation.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/Redaction.h"
#include "Utils/LinkDetector.h"

#include <QMetaType>
#include <QStringView>
#include <QVariantList>

namespace {

// Length of "scheme://" at the start of a link, or 0.
qsizetype schemePrefixLength(QStringView link)
{
    const qsizetype separator = link.indexOf(QLatin1StringView("://"));
    if (separator <= 0)
        return 0;
    for (qsizetype i = 0; i < separator; ++i) {
        const QChar c = link[i];
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!(letter || (i > 0 && other)))
            return 0;
    }
    return separator + 3;
}

// The authority of a link ("user:pass@host:port"); a link without a scheme starts with it.
QStringView authorityOf(QStringView link)
{
    const qsizetype start = schemePrefixLength(link);
    qsizetype end = start;
    while (end < link.size() && link[end] != u'/' && link[end] != u'?' && link[end] != u'#')
        ++end;
    return link.sliced(start, end - start);
}

// The link with the password of its user-info replaced, for the log.
QString withoutPassword(const QString &link)
{
    const QStringView authority = authorityOf(link);
    const qsizetype start = authority.data() - link.constData();
    const qsizetype atSign = authority.lastIndexOf(u'@');
    const qsizetype colon = authority.first(atSign).indexOf(u':');
    return link.first(start + colon + 1) + Redaction::placeholder + link.sliced(start + atSign);
}

} // namespace

bool Validation::isValidUrl(const QString &text)
{
    // The detector's matches come in text order and never overlap, so the first match that
    // could cover the whole text is one that begins at its first character: when there is
    // none, no match decides and the text is no link. This reads only that one match, not
    // the rest of a long clipboard text.
    const std::optional<LinkMatch> match = LinkDetector::matchAtStart(text);
    if (!match || match->start != 0 || match->length != text.size())
        return false;
    const QStringView matched = QStringView(text).sliced(match->start, match->length);
    if (matched.startsWith(QLatin1StringView("http")))
        return true;
    if (matched.contains(u'@')) {
        Logger::shared().log({QStringLiteral("it is only an email...")});
        return false;
    }
    return true;
}

bool Validation::isBrandedDomainLink(const QString &text)
{
    if (!isValidUrl(text))
        return false;
    const std::optional<QString> host = hostOf(text);
    if (!host)
        return false;
    Logger::shared().log({QStringLiteral("checking DOMAIN NAME: ") + *host});
    const std::optional<QVariantList> names =
        SettingsStore::shared().arrayForKey(Costants::Preferences::domainNames);
    if (!names)
        return false;
    bool found = false;
    for (const QVariant &name : *names) {
        // Anything but an array of texts counts as no list at all.
        if (name.typeId() != QMetaType::QString)
            return false;
        found = found || name.toString() == *host;
    }
    return found;
}

QString Validation::withLowercaseFirstCharacter(const QString &text)
{
    if (text.isEmpty())
        return text;
    const qsizetype first = text.front().isHighSurrogate() && text.size() > 1 ? 2 : 1;
    return text.first(first).toLower() + text.sliced(first);
}

bool Validation::hasPassword(const QString &link)
{
    const QStringView authority = authorityOf(link);
    const qsizetype atSign = authority.lastIndexOf(u'@');
    return atSign > 0 && authority.first(atSign).contains(u':');
}

std::optional<QString> Validation::destinationFrom(const QString &text)
{
    QString candidate = withLowercaseFirstCharacter(text);
    if (!isValidUrl(candidate) || isBrandedDomainLink(candidate))
        return std::nullopt;
    // A short link's destination is public: a password in it would be published.
    if (hasPassword(candidate)) {
        Logger::shared().log(
            {QStringLiteral("link with a password, not rebranded: ") + withoutPassword(candidate)});
        return std::nullopt;
    }
    // Only a link without any scheme gets "https://": "HTTP://…" or "ftp://…" would
    // otherwise become "https://hTTP://…".
    if (schemePrefixLength(candidate) == 0)
        candidate.prepend(QLatin1StringView("https://"));
    return candidate;
}

std::optional<QString> Validation::hostOf(const QString &link)
{
    QStringView authority = authorityOf(link);
    if (const qsizetype atSign = authority.lastIndexOf(u'@'); atSign >= 0)
        authority = authority.sliced(atSign + 1);
    QStringView host;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = authority.sliced(1, close - 1);
    } else {
        const qsizetype colon = authority.indexOf(u':');
        host = colon >= 0 ? authority.first(colon) : authority;
    }
    if (host.isEmpty())
        return std::nullopt;
    return host.toString();
}
