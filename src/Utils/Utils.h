#pragma once

#include "Services/WorkspaceDTO.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The requests that create, update and replace links, the title suggestion, and the
// preparation of a workspace list.
class Utils
{
public:
    // A refusal for the form to show: the field it concerns ("slashtag", "title",
    // "destination"), or empty when the request as a whole failed, and the text.
    using ErrorCallback = std::function<void(const QString &property, const QString &message)>;
    using TitleCompletion = std::function<void(std::optional<QString>)>;

    Utils() = delete;

    // The listed workspaces as records; queues the unchecked ones for the domain check.
    static QList<WorkspaceDTO> prepareWorkspaces(const QJsonArray &list);

    // Title suggestion, slashtag step, then the automatic creation with the default domain.
    static void autoRebrand(const QString &url);
    static void requestTitleSuggestion(const QString &url, const QString &workspaceId,
                                       TitleCompletion completion);
    static void createAutoLink(const std::optional<QString> &slashtag, QJsonObject body,
                               const QString &fallbackTitle,
                               const std::optional<QString> &suggestedTitle,
                               const QString &workspaceId);
    // The new-link form's creation.
    static void createLink(const QString &destination, const std::optional<QString> &title,
                           const QString &slashtag, const QString &domainId,
                           const std::optional<QString> &workspaceId, ErrorCallback onError);
    static void postLink(const QJsonObject &body, const std::optional<QString> &workspaceId,
                         ErrorCallback onError);
    // The edit form's in-place update, and its delete-and-recreate replacement.
    static void updateLink(const QString &linkId, const QString &destination,
                           const QString &slashtag, const QString &domainId, const QString &title,
                           const std::optional<QString> &workspaceId, ErrorCallback onError);
    static void replaceLink(const QString &oldLinkId, const QString &destination,
                            const QString &slashtag, const QString &domainId, const QString &title,
                            const std::optional<QString> &workspaceId, ErrorCallback onError);

    // Runs `work` later on the GUI thread, whichever thread asks.
    static void onMainThread(std::function<void()> work);
    // Runs `work` on a pool thread.
    static void onBackgroundThread(std::function<void()> work);

    [[nodiscard]] static QJsonObject formBody(const QString &destination, const QString &title,
                                              const QString &slashtag, const QString &domainId);

private:
    static void replacementCreated(const QString &oldLinkId, const QString &workspaceId,
                                   const std::optional<QJsonObject> &answer,
                                   const ErrorCallback &onError);
    static void oldLinkDeleted(const QString &oldLinkId, const QString &workspaceId,
                               const QJsonObject &link, const std::optional<QJsonObject> &deleted);
};
