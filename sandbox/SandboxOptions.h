#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Command-line settings of the sandbox: where it listens and which client it has registered.
struct SandboxOptions
{
    quint16 port = 0;
    int tokenLifetimeSeconds = 3600;
    QString clientId = QStringLiteral("5f3c9a1e-8b2d-4c6f-a7e0-91d4b2c8e6a3");
    QString clientSecret = QStringLiteral("c08e47b2-19fa-4d3e-b5a1-6e2f9d07c4b8");
    QString redirectUri = QStringLiteral("https://localhost/oauth");
    QString crashKey = QStringLiteral("5b0f3e6c2a9d4e71b8c3f0a1d2e4b6c8");
    bool exitOnStdinEof = false;
    // Holds Quorvella.app and QuorvellaUpdater.app, served zipped instead of the built-in
    // archives; empty: the built-in ones.
    QString archivesFrom;

    // Parses the arguments; on a bad value writes the reason to *error and returns nothing.
    [[nodiscard]] static std::optional<SandboxOptions> parse(const QStringList &arguments,
                                                             QString *error);
};
