#pragma once

#include "RouteTable.h"

#include <QHash>

class SandboxState;

// The download host (update manifest and both archives) and the API host's plug-in document.
class DownloadRoutes
{
public:
    explicit DownloadRoutes(const SandboxState &state);
    void addTo(RouteTable &table);

private:
    // The archive as served now, the same bytes for the archive and its signature.
    [[nodiscard]] QByteArray served(const QString &archive);

    const SandboxState &m_state;
    QHash<QString, QByteArray> m_spoiled; // by archive and variant
    QByteArray m_updaterArchive;
    QByteArray m_programArchive;
};
