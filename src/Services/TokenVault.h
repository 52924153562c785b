#pragma once

#include "Platform/Keyring.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <optional>

// Where the access and refresh tokens live: in the desktop's keyring when one runs and takes
// them, else in the settings store as before. Only those two are secret; the token type and
// expiry stay in the store. Keyring work is asynchronous, so the tokens kept there are also
// held here in memory for TokenManager's reads, which must not wait. Until start() has heard
// from the keyring, and after it refused, the store serves as before.
class TokenVault : public QObject
{
    Q_OBJECT

public:
    enum class Place { undecided, keyring, store };
    struct Secrets
    {
        std::optional<QString> accessToken;
        std::optional<QString> refreshToken;
        friend bool operator==(const Secrets &, const Secrets &) = default;
    };

    explicit TokenVault(Keyring &keyring, QObject *parent = nullptr);
    ~TokenVault() override;

    // The vault TokenManager uses; none (the default) leaves the tokens in the store.
    static void install(TokenVault *vault);
    [[nodiscard]] static TokenVault *installed();

    // Looks for a keyring, takes the tokens kept there, and moves tokens found in the store
    // into it. Call once, on the GUI thread.
    void start();
    [[nodiscard]] Place place() const { return m_place.load(); }
    // The tokens the keyring holds, as last read or written.
    [[nodiscard]] Secrets secrets() const;
    // New tokens, while the place is the keyring: kept there, or in the store if it refuses.
    void keep(const Secrets &secrets);
    // Sign-out: the tokens leave the keyring too.
    void forget();

signals:
    void placeDecided(TokenVault::Place place);

private:
    void probed(bool running);
    void readDone(Keyring::Result result, const QString &secret);
    void migrate(const Secrets &fromStore);
    void migrated(const Secrets &moved, Keyring::Result result);
    void write(const Secrets &secrets);
    void written(Keyring::Result result);
    void fallBackToStore(const QString &why);
    void decide(Place place);

    [[nodiscard]] static Secrets storedSecrets();
    static void storeSecrets(const Secrets &secrets);

    Keyring &m_keyring;
    std::atomic<Place> m_place{Place::undecided};
    mutable QMutex m_mutex;
    Secrets m_secrets;
    bool m_keyringRuns = false;
    // Signed out since start(): an entry read afterwards is not taken.
    bool m_forgotten = false;
};
