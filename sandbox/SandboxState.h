#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// Everything the remote service knows: the account, its workspaces, domains and links, the
// published update documents and the crash envelopes received. reset() returns to the demo
// account of DemoAccount.
class SandboxState
{
public:
    struct Link
    {
        QString workspaceId;
        QJsonObject json;
    };

    explicit SandboxState(QString baseUrl);

    void reset();
    [[nodiscard]] const QString &baseUrl() const { return m_baseUrl; }

    QString email;
    QString password;
    QJsonObject account;
    QList<QJsonObject> workspaces;
    QHash<QString, QList<QJsonObject>> domains; // by workspace id
    QList<Link> links;                          // newest first
    QJsonObject versions;
    QJsonObject plugins;
    QJsonArray envelopes;
    // How the download host spoils each archive ("updater", "program"): "traversal",
    // "absolute", "link", "truncated"; absent serves it whole.
    QHash<QString, QString> archiveVariants;

    [[nodiscard]] std::optional<QJsonObject> workspace(const QString &id) const;
    [[nodiscard]] QString defaultWorkspaceId() const;
    [[nodiscard]] std::optional<QJsonObject> domain(const QString &workspaceId,
                                                    const QString &domainId) const;
    [[nodiscard]] QJsonArray accountDomains() const;
    [[nodiscard]] QList<QJsonObject> linksOf(const QString &workspaceId) const;
    [[nodiscard]] Link *findLink(const QString &workspaceId, const QString &linkId);
    [[nodiscard]] bool slashtagTaken(const QString &domainId, const QString &slashtag,
                                     const QString &exceptLinkId = {}) const;
    [[nodiscard]] QJsonObject addLink(const QString &workspaceId, const QString &destination,
                                      const QString &title, const QJsonObject &domain,
                                      const QString &slashtag);
    bool removeLink(const QString &workspaceId, const QString &linkId);

    // A link object as the service answers it.
    [[nodiscard]] static QJsonObject linkJson(const QString &id, const QString &title,
                                              const QString &slashtag, const QString &destination,
                                              const QJsonObject &domain, const QDateTime &createdAt,
                                              int clicks, bool favourite);
    [[nodiscard]] static QString timestamp(const QDateTime &time);
    // Re-points the link at another domain and slashtag, updating the derived fields.
    static void setLinkAddress(QJsonObject &link, const QJsonObject &domain,
                               const QString &slashtag);

private:
    QString m_baseUrl;
    int m_nextLink = 1;
};
