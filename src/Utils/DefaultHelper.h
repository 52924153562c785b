#pragma once

#include <QJsonArray>
#include <QString>

// Keeps the default workspace and domain of automatic creation, and the names of every
// branded domain of the user, valid as workspace and domain lists arrive from the service.
class DefaultHelper
{
public:
    DefaultHelper() = delete;

    // Index of the workspace stored (refreshed) or newly chosen under `key`; -1 when the list
    // is empty and nothing stored is in it.
    static int chooseDefaultWorkspace(const QJsonArray &list, const QString &key);
    // Index of the default domain in a list of active domains; -1 when the list is empty or
    // the stored default is not in it (the stored one then stays).
    static int checkDefaultDomain(const QJsonArray &list);
    // Adds the shared short domain and every full name of the list to "domainNames".
    static void updateDomainNames(const QJsonArray &list);
    static void saveWorkspaceDomainPair(const QString &domainId, const QString &workspaceId,
                                        const QString &accountId);
    // The account's domains fetched after sign-in: the active ones decide the default domain.
    static void accountDomainsFetched(const QJsonArray &list);
    // The account's workspaces fetched after sign-in: they decide the default workspace.
    static void accountWorkspacesFetched(const QJsonArray &list);
};
