#include "DownloadRoutes.h"

#include "ArchiveBuilder.h"
#include "SandboxState.h"

DownloadRoutes::DownloadRoutes(const SandboxState &state)
    : m_state(state)
    , m_updaterArchive(ArchiveBuilder::updaterArchive())
    , m_programArchive(ArchiveBuilder::programArchive())
{}

void DownloadRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/apps/macapp/versions.json", [this](const SandboxRequest &, const auto &) {
        return SandboxReply::json(m_state.versions);
    });
    table.add("GET", "/plugins", [this](const SandboxRequest &, const auto &) {
        return SandboxReply::json(m_state.plugins);
    });
    table.add("GET", "/apps/macapp/(QuorvellaUpdater|Quorvella)\\.zip(\\.sig)?",
              [this](const SandboxRequest &, const QRegularExpressionMatch &match) {
                  const QString archive = match.captured(1) == QLatin1String("Quorvella")
                                              ? QStringLiteral("program")
                                              : QStringLiteral("updater");
                  const QByteArray bytes = served(archive);
                  if (match.captured(2).isEmpty())
                      return SandboxReply::bytes(bytes, "application/zip");
                  const bool bad =
                      m_state.archiveVariants.value(archive) == QLatin1String("badsignature");
                  return SandboxReply::bytes(ArchiveBuilder::signature(bad ? bytes + "x" : bytes),
                                             "application/octet-stream");
              });
}

QByteArray DownloadRoutes::served(const QString &archive)
{
    QString variant = m_state.archiveVariants.value(archive);
    if (variant == QLatin1String("badsignature"))
        variant.clear();
    const bool updater = archive == QLatin1String("updater");
    const QByteArray &whole = updater ? m_updaterArchive : m_programArchive;
    if (variant.isEmpty())
        return whole;
    const QString key = archive + QLatin1Char('/') + variant;
    if (!m_spoiled.contains(key))
        m_spoiled.insert(key,
                         ArchiveBuilder::spoiled(whole,
                                                 updater ? QStringLiteral("QuorvellaUpdater.app")
                                                         : QStringLiteral("Quorvella.app"),
                                                 variant));
    return m_spoiled.value(key);
}
