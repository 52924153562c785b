#include "App/AppDelegate.h"
#include "App/CommandLine.h"
#include "App/CrashReporter.h"
#include "Controllers/ControllerRegistry.h"
#include "Platform/Platform.h"
#include "Platform/ServicesProvider.h"
#include "Platform/linux/LinuxPlatform.h"
#include "Platform/linux/LocalSandbox.h"
#include "Services/Config.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char **argv)
{
    const CommandLine commandLine = CommandLine::parse(argumentsOf(argc, argv));
    if (!commandLine.error.isEmpty()) {
        printLine(stderr, QStringLiteral("quorvella: ") + commandLine.error);
        return 2;
    }
    if (commandLine.help) {
        std::fputs(CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (commandLine.version) {
        printLine(stdout, QStringLiteral("quorvella ") + QStringLiteral(QUORVELLA_VERSION));
        return 0;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvella"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVELLA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.quorvella.desktop.Quorvella"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app-icon.svg")));
    // A tray program: closing a dialogue or the sign-in window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    QString error;
    Platform::install(std::make_unique<LinuxPlatform>());
    // One instance per session: a second start hands its command line over and ends.
    ServicesProvider &services = Platform::current().servicesProvider();
    if (!services.claimSingleInstance()) {
        if (!services.forwardCommandLine(QApplication::arguments(), &error)) {
            printLine(stderr,
                      QStringLiteral("quorvella: the running instance did not answer: ") + error);
            return 1;
        }
        return 0;
    }

    std::optional<Config> config = Config::load(&error);
    if (!config) {
        printLine(stderr, QStringLiteral("quorvella: ") + error);
        return 2;
    }
    if (commandLine.sandbox) {
        if (commandLine.sandboxUrl.isEmpty()) {
            auto *sandbox = new LocalSandbox(&application);
            const QUrl origin = sandbox->start(&error);
            if (origin.isEmpty()) {
                printLine(stderr, QStringLiteral("quorvella: ") + error);
                return 1;
            }
            printLine(stdout, QStringLiteral("Quorvella: using the sandbox service at %1; sign in "
                                             "as demo@quorvella.test with the password demo")
                                  .arg(origin.toString()));
            config = config->routedTo(origin);
        } else if (!Config::isAcceptableOrigin(commandLine.sandboxUrl)) {
            printLine(stderr, QStringLiteral("quorvella: --sandbox needs https, or http on this "
                                             "machine"));
            return 2;
        } else {
            config = config->routedTo(commandLine.sandboxUrl);
        }
    }
    Config::install(*config);

    ControllerRegistry::registerAll();
    AppDelegate delegate;
    const bool handOn = commandLine.rebrandText.has_value() || !commandLine.openUrls.isEmpty();
    QTimer::singleShot(0, &delegate, [&delegate, handOn] {
        delegate.applicationDidFinishLaunching();
        // "--rebrand TEXT" or a link as the first start: it goes in once the program runs.
        if (handOn)
            delegate.handleCommandLine(QApplication::arguments());
    });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     &AppDelegate::applicationWillTerminate);
    const int status = QApplication::exec();
    CrashReporter::setShared(nullptr);
    return status;
}
