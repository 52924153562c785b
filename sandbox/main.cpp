#include "SandboxOptions.h"
#include "SandboxServer.h"
#include "ShutdownWatcher.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvella-sandbox"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVELLA_VERSION));

    QString error;
    const std::optional<SandboxOptions> options =
        SandboxOptions::parse(QCoreApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }

    ShutdownWatcher watcher(options->exitOnStdinEof);
    QObject::connect(&watcher, &ShutdownWatcher::shutdownRequested, &app, &QCoreApplication::quit);

    SandboxServer server(*options);
    const quint16 port = server.start();
    if (port == 0) {
        std::fprintf(stderr, "quorvella-sandbox: cannot listen on 127.0.0.1:%u\n",
                     unsigned(options->port));
        return 1;
    }
    std::printf("quorvella-sandbox listening on http://127.0.0.1:%u\n", unsigned(port));
    std::fflush(stdout);
    return app.exec();
}
