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
    table.add("GET", "/apps/macapp/QuorvellaUpdater.zip",
              [this](const SandboxRequest &, const auto &) {
                  return SandboxReply::bytes(
                      ArchiveBuilder::spoiled(m_updaterArchive, "QuorvellaUpdater.app",
                                              m_state.archiveVariants.value("updater")),
                      "application/zip");
              });
    table.add("GET", "/apps/macapp/Quorvella.zip", [this](const SandboxRequest &, const auto &) {
        return SandboxReply::bytes(
            ArchiveBuilder::spoiled(m_programArchive, "Quorvella.app",
                                    m_state.archiveVariants.value("program")),
            "application/zip");
    });
}
