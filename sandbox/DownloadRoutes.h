#pragma once

#include "RouteTable.h"

class SandboxState;

// The download host (update manifest and both archives) and the API host's plug-in document.
class DownloadRoutes
{
public:
    explicit DownloadRoutes(const SandboxState &state);
    void addTo(RouteTable &table);

private:
    const SandboxState &m_state;
    QByteArray m_updaterArchive;
    QByteArray m_programArchive;
};
