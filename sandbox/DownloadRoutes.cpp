#include "DownloadRoutes.h"

#include "SandboxState.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonValue>

namespace {

const QString kProgramBundle = QStringLiteral("Quorvella.app");

// "major.minor.patch" of the manifest's entry for the program, or empty.
QString announcedVersion(const QJsonObject &versions)
{
    const QJsonObject entry =
        versions.value(QLatin1String("com.quorvella.desktop.macos.Quorvella")).toObject();
    QStringList parts;
    for (const char *field : {"major", "minor", "patch"}) {
        const QJsonValue value = entry.value(QLatin1String(field));
        if (!value.isDouble())
            return {};
        parts.append(QString::number(value.toInteger()));
    }
    return parts.join(QLatin1Char('.'));
}

} // namespace

DownloadRoutes::DownloadRoutes(const SandboxState &state, const QString &archivesFrom)
    : m_state(state)
{
    if (archivesFrom.isEmpty()) {
        m_updaterArchive = ArchiveBuilder::updaterArchive();
        m_programArchive = ArchiveBuilder::programArchive();
        return;
    }
    m_updaterArchive = ArchiveBuilder::zip(
        ArchiveBuilder::folderEntries(archivesFrom, QStringLiteral("QuorvellaUpdater.app")));
    m_programBundle = ArchiveBuilder::folderEntries(archivesFrom, kProgramBundle);
}

QByteArray DownloadRoutes::programArchive()
{
    if (m_programBundle.isEmpty())
        return m_programArchive;
    const QString version = announcedVersion(m_state.versions);
    if (m_programArchive.isEmpty() || version != m_programVersion) {
        // The announced version: the updater checks it is newer, and a build for testing runs
        // as that version.
        QList<ArchiveBuilder::Entry> entries = m_programBundle;
        const QString versionPath = kProgramBundle + QStringLiteral("/share/quorvella/version");
        entries.removeIf([&versionPath](const ArchiveBuilder::Entry &entry) {
            return entry.path == versionPath;
        });
        if (!version.isEmpty())
            entries.append({versionPath, version.toUtf8() + '\n', false});
        m_programArchive = ArchiveBuilder::zip(entries);
        m_programVersion = version;
    }
    return m_programArchive;
}

void DownloadRoutes::addTo(RouteTable &table)
{
    table.add("GET", "/apps/macapp/versions.json(\\.sig)?",
              [this](const SandboxRequest &, const QRegularExpressionMatch &match) {
                  const QByteArray bytes = manifest();
                  if (match.captured(1).isEmpty())
                      return SandboxReply::bytes(bytes, "application/json");
                  return SandboxReply::bytes(ArchiveBuilder::signature(bytes),
                                             "application/octet-stream");
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

QByteArray DownloadRoutes::manifest()
{
    // The archives' sizes and hashes as served, unless the test posted its own.
    QJsonObject document = m_state.versions;
    if (!document.contains(QLatin1String("archives"))) {
        QJsonObject archives;
        for (const char *name : {"updater", "program"}) {
            const QString archive = QLatin1String(name);
            const QByteArray bytes = served(archive);
            const bool badHash = m_state.archiveVariants.value(archive) == QLatin1String("badhash");
            const bool updater = archive == QLatin1String("updater");
            archives.insert(
                updater ? QStringLiteral("QuorvellaUpdater.zip") : QStringLiteral("Quorvella.zip"),
                QJsonObject{{"version", updater ? QStringLiteral(QUORVELLA_VERSION)
                                                : announcedVersion(m_state.versions)},
                            {"size", bytes.size()},
                            {"sha256", QString::fromLatin1(
                                           QCryptographicHash::hash(badHash ? bytes + "x" : bytes,
                                                                    QCryptographicHash::Sha256)
                                               .toHex())}});
        }
        document.insert(QStringLiteral("archives"), archives);
    }
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QByteArray DownloadRoutes::served(const QString &archive)
{
    QString variant = m_state.archiveVariants.value(archive);
    if (variant == QLatin1String("badsignature") || variant == QLatin1String("badhash"))
        variant.clear();
    const bool updater = archive == QLatin1String("updater");
    const QByteArray whole = updater ? m_updaterArchive : programArchive();
    if (variant.isEmpty())
        return whole;
    const QString key = archive + QLatin1Char('/') + variant + QLatin1Char('/') +
                        (updater ? QString() : m_programVersion);
    if (!m_spoiled.contains(key))
        m_spoiled.insert(key,
                         ArchiveBuilder::spoiled(whole,
                                                 updater ? QStringLiteral("QuorvellaUpdater.app")
                                                         : QStringLiteral("Quorvella.app"),
                                                 variant));
    return m_spoiled.value(key);
}
