#pragma once

#include <QDateTime>

class SandboxState;

// The account every sandbox starts with: four workspaces (one not of the "classic" type, one
// with seven active domains and an inactive one, one without links), links with clicks,
// favourites and creation times from minutes to years before the start.
class DemoAccount
{
public:
    static constexpr const char *email = "demo@quorvella.test";
    static constexpr const char *password = "demo";

    static void fill(SandboxState &state, const QDateTime &now);
};
