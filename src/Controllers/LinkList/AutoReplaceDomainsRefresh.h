#pragma once

class QObject;

// The link list's background refresh of the automatic rebranding's domains: the workspaces,
// the one chosen for automatic rebranding, and its active domains, handed to the default
// domain check. Nothing is kept; answers that arrive after the context is gone are dropped.
class AutoReplaceDomainsRefresh
{
public:
    AutoReplaceDomainsRefresh() = delete;

    static void start(QObject *context);
};
