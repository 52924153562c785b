#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

class SettingsStore;

// The domain the user last chose for a workspace. The pairs of all accounts are stored
// together under "qv-account-workspace-pairs" as a binary property list: an array of
// dictionaries with the keys "workspace", "domain" and "accountId", in this order.
struct WorkspaceDomainPair
{
    QString workspace;
    QString domain;
    QString accountId;

    [[nodiscard]] static QByteArray encode(const QList<WorkspaceDomainPair> &pairs);
    // Nothing when the data is no array of complete pairs.
    [[nodiscard]] static std::optional<QList<WorkspaceDomainPair>> decode(const QByteArray &data);

    // The stored pairs, most recent first; a missing or unreadable list holds none.
    [[nodiscard]] static QList<WorkspaceDomainPair> stored(const SettingsStore &store);
    // The most recently saved pair of the account for the workspace.
    [[nodiscard]] static std::optional<WorkspaceDomainPair>
    find(const QList<WorkspaceDomainPair> &pairs, const QString &accountId,
         const QString &workspaceId);

    // Puts the pair in front of the stored list, keeping older pairs. Where no readable list
    // is stored a new one is started, so the first choice on a fresh store is remembered.
    static bool save(SettingsStore &store, const QString &domainId, const QString &workspaceId,
                     const QString &accountId);
};
