#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class ApiManager;
class QNetworkAccessManager;
class TokenManager;
struct ApiResponse;

// Turns the sign-in code into a token, refreshes an expired token, and decides for everyone
// whether a usable token exists. At most one token request is under way per 5 seconds.
class AuthenticationManager : public QObject
{
    Q_OBJECT

public:
    using DomainsHandler = std::function<void(const QJsonArray &)>;

    // Made on first use over the shared API client, and never released.
    static AuthenticationManager &shared();

    // Becomes the token exchange of the given API client.
    AuthenticationManager(QNetworkAccessManager *network, ApiManager &api,
                          QObject *parent = nullptr);
    ~AuthenticationManager() override;

    // A token loads with all four fields and is not expired.
    [[nodiscard]] bool hasValidToken() const;
    // Starts a refresh of a complete but expired token and says so; an absent or still
    // valid token is left alone.
    bool refreshIfExpired();
    // The sign-in window's redirect: true when it carries a code, whose exchange then starts.
    bool handleRedirect(const QString &urlText);
    void exchangeCode(const QString &code);
    void refresh(const TokenManager &token);
    void requestToken(const QVariantMap &parameters, bool announce, bool fetchDomains,
                      const QString &label);
    void domainsFetched(const std::optional<QJsonArray> &domains);

    // Where the account's domains go after a sign-in: the default workspace and domain logic
    // installs itself here. Until then the list is only logged.
    void setDomainsHandler(DomainsHandler handler) { m_domainsHandler = std::move(handler); }

    // Where the account's workspaces go after a sign-in, to choose the default workspace.
    void setWorkspacesHandler(DomainsHandler handler) { m_workspacesHandler = std::move(handler); }

    // After a sign-in, once the default workspace and domain are known, the user-notification
    // part announces a URL copied while signed out. Not after a refresh.
    void setStoredDestinationHandler(std::function<void()> handler)
    {
        m_destinationHandler = std::move(handler);
    }

    [[nodiscard]] std::optional<QDateTime> requestDate() const { return m_requestDate; }
    // The single-flight window.
    static constexpr qint64 requestWindowMs = 5000;

private:
    bool hopToGuiThread(std::function<void()> call);
    void handleAnswer(const ApiResponse &response, const QVariantMap &parameters, bool announce,
                      bool fetchDomains, const QString &label);
    void signOut();
    void fetchWorkspaces();
    void workspacesFetched(const std::optional<QJsonArray> &workspaces);
    void riseStoredDestinationURL();

    QNetworkAccessManager *m_network;
    ApiManager &m_api;
    std::optional<QDateTime> m_requestDate;
    quint64 m_requestSession = 0;
    // The sign-in session whose pending URL is still to be offered.
    std::optional<quint64> m_offerSession;
    DomainsHandler m_domainsHandler;
    DomainsHandler m_workspacesHandler;
    std::function<void()> m_destinationHandler;
};
