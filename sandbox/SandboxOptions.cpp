#include "SandboxOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

std::optional<SandboxOptions> SandboxOptions::parse(const QStringList &arguments, QString *error)
{
    SandboxOptions options;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Local stand-in for every remote party of Quorvella."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port on 127.0.0.1 (0: a free one)."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption lifetime(QStringLiteral("token-lifetime"),
                                      QStringLiteral("Access token lifetime in seconds."),
                                      QStringLiteral("SECONDS"), QStringLiteral("3600"));
    const QCommandLineOption clientId(QStringLiteral("client-id"),
                                      QStringLiteral("Registered OAuth client id."),
                                      QStringLiteral("ID"), options.clientId);
    const QCommandLineOption clientSecret(QStringLiteral("client-secret"),
                                          QStringLiteral("Registered OAuth client secret."),
                                          QStringLiteral("SECRET"), options.clientSecret);
    const QCommandLineOption redirectUri(QStringLiteral("redirect-uri"),
                                         QStringLiteral("Registered OAuth redirect URI."),
                                         QStringLiteral("URI"), options.redirectUri);
    const QCommandLineOption crashKey(QStringLiteral("crash-key"),
                                      QStringLiteral("Public key the crash sink accepts."),
                                      QStringLiteral("KEY"), options.crashKey);
    const QCommandLineOption stdinEof(QStringLiteral("exit-on-stdin-eof"),
                                      QStringLiteral("Stop when standard input is closed."));
    const QCommandLineOption archivesFrom(
        QStringLiteral("archives-from"),
        QStringLiteral("Serve zips of DIR/Quorvella.app and DIR/QuorvellaUpdater.app as the "
                       "update archives; the program's carries the version the manifest "
                       "announces."),
        QStringLiteral("DIR"));
    parser.addOptions(
        {port, lifetime, clientId, clientSecret, redirectUri, crashKey, stdinEof, archivesFrom});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *error = parser.helpText();
        return std::nullopt;
    }
    bool ok = false;
    const uint portValue = parser.value(port).toUInt(&ok);
    if (!ok || portValue > 65535) {
        *error = QStringLiteral("--port needs a number from 0 to 65535");
        return std::nullopt;
    }
    options.port = static_cast<quint16>(portValue);
    options.tokenLifetimeSeconds = parser.value(lifetime).toInt(&ok);
    if (!ok || options.tokenLifetimeSeconds < 0) {
        *error = QStringLiteral("--token-lifetime needs a number of seconds, 0 or more");
        return std::nullopt;
    }
    options.clientId = parser.value(clientId);
    options.clientSecret = parser.value(clientSecret);
    options.redirectUri = parser.value(redirectUri);
    options.crashKey = parser.value(crashKey);
    options.exitOnStdinEof = parser.isSet(stdinEof);
    if (parser.isSet(archivesFrom)) {
        options.archivesFrom = QDir(parser.value(archivesFrom)).absolutePath();
        for (const char *bundle : {"Quorvella.app", "QuorvellaUpdater.app"}) {
            if (!QFileInfo(options.archivesFrom + QLatin1Char('/') + QLatin1String(bundle))
                     .isDir()) {
                *error = QStringLiteral("--archives-from needs a folder with Quorvella.app and "
                                        "QuorvellaUpdater.app");
                return std::nullopt;
            }
        }
    }
    return options;
}
