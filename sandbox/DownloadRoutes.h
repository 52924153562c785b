#pragma once

#include "ArchiveBuilder.h"
#include "RouteTable.h"

#include <QHash>

class SandboxState;

// The download host (update manifest and both archives) and the API host's plug-in document.
class DownloadRoutes
{
public:
    // With `archivesFrom` set the archives are zips of the bundles in that folder.
    DownloadRoutes(const SandboxState &state, const QString &archivesFrom);
    void addTo(RouteTable &table);

private:
    // The update manifest as served now, the same bytes for it and its signature, with the
    // size, SHA-256 and version of each archive.
    [[nodiscard]] QByteArray manifest();
    // The archive as served now, the same bytes for the archive and its signature.
    [[nodiscard]] QByteArray served(const QString &archive);
    // The program's archive, from the given bundle with the announced version in it.
    [[nodiscard]] QByteArray programArchive();

    const SandboxState &m_state;
    QHash<QString, QByteArray> m_spoiled; // by archive, variant and announced version
    QByteArray m_updaterArchive;
    QByteArray m_programArchive;
    QList<ArchiveBuilder::Entry> m_programBundle; // empty: the built-in archive
    QString m_programVersion;                     // of m_programArchive
};
