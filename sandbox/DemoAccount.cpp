#include "DemoAccount.h"

#include "SandboxState.h"

#include <QStringList>

namespace {

QJsonObject makeWorkspace(const SandboxState &state, const QString &id, const QString &name,
                          const QString &type, bool isDefault)
{
    return {{"id", id},
            {"name", name},
            {"avatarUrl", state.baseUrl() + "/avatars/" + id + ".png"},
            {"type", type},
            {"default", isDefault},
            {"role", "owner"}};
}

QJsonObject makeDomain(const QString &id, const QString &fullName, bool https, bool active)
{
    return {{"id", id},
            {"fullName", fullName},
            {"topLevelDomain", fullName.section(QLatin1Char('.'), -1)},
            {"https", https},
            {"active", active},
            {"status", active ? "active" : "inactive"},
            {"type", "user"}};
}

// Link k of a workspace (0 newest) is this old: minutes for the first few, then growing until
// the oldest are years old, so every relative-time unit of the link list shows up.
qint64 ageInSeconds(int k)
{
    static const qint64 first[] = {5 * 60, 50 * 60, 3 * 3600, 20 * 3600};
    if (k < 4)
        return first[k];
    return qint64(k) * k * 11 * 3600;
}

const QString noFaviconPrefix = QString::fromLatin1(DemoAccount::noFaviconHostPrefix);

const QStringList topics = {"weekly-newsletter", "product-launch",
                            "pricing",           "careers",
                            "blog/remote-work",  "docs/getting-started",
                            "events/summit",     "press-kit",
                            "support/faq",       "case-studies/retail",
                            "webinar",           "podcast/episode-12",
                            "shop/sale",         "partners",
                            "changelog"};

void addLinks(SandboxState &state, const QDateTime &now, const QString &workspaceId,
              const QString &site, int count, const QStringList &slashtags = {})
{
    const QList<QJsonObject> spaceDomains = state.domains.value(workspaceId);
    QList<QJsonObject> usable;
    for (const QJsonObject &domain : spaceDomains) {
        if (domain.value("active").toBool())
            usable.append(domain);
    }
    for (int k = 0; k < count; ++k) {
        const QString topic = topics.at(k % topics.size());
        const QString slashtag = k < slashtags.size()
                                     ? slashtags.at(k)
                                     : topic.section(QLatin1Char('/'), -1) + QString::number(k);
        // Every fifth destination lives on a host the favicon service has no icon for.
        const QString host = k % 5 == 2 ? QStringLiteral("%1.%2").arg(noFaviconPrefix, site)
                                        : QStringLiteral("www.") + site;
        const QString destination = QStringLiteral("https://%1/%2?ref=%3").arg(host, topic).arg(k);
        const QString title = QStringLiteral("%1 – %2 #%3")
                                  .arg(site, topic.section(QLatin1Char('/'), -1))
                                  .arg(count - k);
        const QJsonObject &domain = usable.at(k % usable.size());
        const QJsonObject json = SandboxState::linkJson(
            QStringLiteral("%1-l%2").arg(workspaceId).arg(k, 3, 10, QLatin1Char('0')), title,
            slashtag, destination, domain, now.addSecs(-ageInSeconds(k)), (k * 37) % 251,
            k % 4 == 1);
        state.links.append({workspaceId, json});
    }
}

} // namespace

void DemoAccount::fill(SandboxState &state, const QDateTime &now)
{
    state.email = QString::fromLatin1(email);
    state.password = QString::fromLatin1(password);
    state.account = {{"id", "acc-7d1e2f30"},
                     {"fullName", "Dana Demo"},
                     {"email", state.email},
                     {"username", "dana.demo"},
                     {"avatarUrl", state.baseUrl() + "/avatars/account.png"},
                     {"createdAt", SandboxState::timestamp(now.addDays(-900))}};

    state.workspaces = {makeWorkspace(state, "wsp-personal", "Personal", "classic", true),
                        makeWorkspace(state, "wsp-marketing", "Marketing", "classic", false),
                        makeWorkspace(state, "wsp-agency", "Agency Team", "team", false),
                        makeWorkspace(state, "wsp-archive", "Archive", "classic", false)};

    state.domains.insert("wsp-personal",
                         {makeDomain("dom-quorv-link", "quorv.link", true, true),
                          makeDomain("dom-dana-plain", "dana.plain-demo.net", false, true)});
    state.domains.insert("wsp-marketing",
                         {makeDomain("dom-acme-go", "go.acme-demo.com", true, true),
                          makeDomain("dom-acme-link", "acme.link", true, true),
                          makeDomain("dom-acme-promo", "promo.acme-demo.com", true, true),
                          makeDomain("dom-acme-news", "news.acme-demo.com", true, true),
                          makeDomain("dom-acme-shop", "shop.acme-demo.com", true, true),
                          makeDomain("dom-acme-events", "events.acme-demo.com", true, true),
                          makeDomain("dom-acme-jobs", "jobs.acme-demo.com", true, true),
                          makeDomain("dom-acme-old", "old.acme-demo.com", true, false)});
    state.domains.insert("wsp-agency", {makeDomain("dom-agency", "agency.link", true, true)});
    state.domains.insert("wsp-archive", {makeDomain("dom-archive", "arch.quorv.link", true, true)});

    addLinks(state, now, "wsp-personal", "example.com", 40, {"welcome", "docs"});
    addLinks(state, now, "wsp-marketing", "acme-demo.com", 22, {"launch"});
    addLinks(state, now, "wsp-agency", "agency-client.org", 3);

    // The same version as the program itself: a fresh client is up to date.
    const QStringList version = QStringLiteral(QUORVELLA_VERSION).split(QLatin1Char('.'));
    const int major = version.value(0).toInt();
    const int minor = version.value(1).toInt();
    const int patch = version.value(2).toInt();
    state.versions = {{"com.quorvella.desktop.macos.Quorvella",
                       QJsonObject{{"major", major}, {"minor", minor}, {"patch", patch}}}};
    state.plugins = {{"macos", QJsonObject{{"version", QJsonObject{{"major", major},
                                                                   {"minor", minor},
                                                                   {"patch", patch}}}}}};
}
