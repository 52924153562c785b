#pragma once

#include <QJsonArray>

#include <functional>
#include <optional>

// GET "/workspaces?orderBy=name&orderDir=asc" with the stored workspace header, for the link
// list and the workspace picker. Without a usable token nothing is sent and the completion is
// never called (a refresh starts instead); otherwise it is called once, on the GUI thread,
// with the list, or with nothing on any failure.
class WorkspacesRequest
{
public:
    using Completion = std::function<void(std::optional<QJsonArray>)>;

    WorkspacesRequest() = delete;

    static void send(Completion completion);
};
