#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

// The rebrand pipeline for a copied link: the behaviour option, the duplicate check and its
// dialogues, and what follows a creation or an update.
class LinkHandler
{
public:
    using ErrorCallback = std::function<void(const QString &)>;
    using SuccessHandler = void (*)(const std::optional<QJsonObject> &);

    LinkHandler() = delete;

    // Runs on the caller's thread (the clipboard tick's worker thread, or the services
    // entry's); dialogues move to the GUI thread.
    static void handleCopiedLink(const QString &url);

    // Stores the URL for the new-link form and asks for it to be shown.
    static void openNewLinkForm(const QString &url);

    // An automatic creation. workspaceId: the workspace the link was made in, empty for the
    // list's; `destination` is the copied address, which an undo puts back.
    static void linkCreated(const std::optional<QJsonObject> &link, const QString &workspaceId,
                            const QString &destination = QString());
    static void linkCreatedFromForm(const std::optional<QJsonObject> &link,
                                    const QString &workspaceId);
    static void linkUpdated(const std::optional<QJsonObject> &link, const QString &workspaceId);
    // A "slashtag" error goes to onError; other well-formed errors and answers to onSuccess;
    // a malformed "errors" entry to neither.
    static void handleLinkResponse(const std::optional<QJsonObject> &answer,
                                   const ErrorCallback &onError, SuccessHandler onSuccess);

private:
    enum class Option { autoRebrand, form, notification };

    static void dispatchWithoutCheck(Option option, const QString &url);
    static void checkDuplicate(Option option, const QString &url);
    static void duplicateResult(Option option, const QString &url,
                                const std::optional<QString> &workspaceId,
                                const std::optional<QJsonArray> &links);
    static void storeDuplicate(const QJsonObject &link, const std::optional<QString> &workspaceId);

    // Dialogues A to D; on the GUI thread.
    static void askAutoRebrandDuplicate(const QString &url, const QString &existing);
    static void askFormDuplicate(const QString &url, const QString &existing);
    static void askNotificationDuplicate(const QString &url, const QString &existing);
    static void askRebrand(const QString &url);

    static void afterLink(const std::optional<QJsonObject> &link, bool fromForm, bool updated,
                          const QString &workspaceId, const QString &destination);
};
