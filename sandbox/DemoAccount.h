#pragma once

#include <QDateTime>

class SandboxState;

// The account every sandbox starts with: four workspaces (one not of the "classic" type, one
// with seven active domains and an inactive one, one without links), links with clicks,
// favourites and creation times from minutes to years before the start. Every fifth link
// points at a host without a favicon.
class DemoAccount
{
public:
    static constexpr const char *email = "demo@quorvella.test";
    static constexpr const char *password = "demo";
    // Hosts starting with this label have no favicon at the favicon service.
    static constexpr const char *noFaviconHostPrefix = "static";

    static void fill(SandboxState &state, const QDateTime &now);
};
