#pragma once

#include "RouteTable.h"

class FaultInjector;
class RequestLog;
class SandboxState;
class TokenRegistry;
struct SandboxOptions;

// The control API under /__sandbox/ that tests drive: reset, recorded requests and crash
// envelopes, token lifetimes and expiry, published documents, and fault injection.
class ControlRoutes
{
public:
    struct Parts
    {
        const SandboxOptions &options;
        SandboxState &state;
        TokenRegistry &tokens;
        RequestLog &log;
        FaultInjector &faults;
    };
    explicit ControlRoutes(Parts parts);
    void addTo(RouteTable &table);

private:
    [[nodiscard]] QJsonObject config() const;
    void addTokenRoutes(RouteTable &table);
    void addFaultRoutes(RouteTable &table);

    Parts m_parts;
};
