#include "App/AppDelegate.h"
#include "App/CommandLine.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
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
#include <memory>

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

    // Before Qt picks its platform: on a Wayland desktop that only XWayland lets us watch,
    // Qt has to run on xcb.
    const ClipboardChoice clipboard = LinuxPlatform::chooseClipboard();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvella"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVELLA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.quorvella.desktop.Quorvella"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app-icon.svg")));
    // A tray program: closing a dialogue or the sign-in window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Everything that talks to the desktop goes before the application object does: its D-Bus
    // connection, windows and tray icon do not outlive it. Declared after the application, so
    // destroyed before it, on every way out of main.
    struct PlatformTeardown
    {
        explicit PlatformTeardown(std::unique_ptr<LinuxPlatform> platform)
        {
            Platform::install(std::move(platform));
        }
        ~PlatformTeardown() { Platform::install(nullptr); }
        PlatformTeardown(const PlatformTeardown &) = delete;
        PlatformTeardown &operator=(const PlatformTeardown &) = delete;
    };
    auto linuxPlatform = std::make_unique<LinuxPlatform>(clipboard);
    LinuxPlatform *desktop = linuxPlatform.get();
    const PlatformTeardown platform(std::move(linuxPlatform));

    QString error;
    std::optional<Config> config = Config::load(&error);
    if (!config) {
        printLine(stderr, QStringLiteral("quorvella: ") + error);
        return 2;
    }
    // One instance per session: a second start hands its command line over and ends. Claimed
    // only once the configuration is read, so that a version that cannot even start does not
    // look running.
    ServicesProvider &services = Platform::current().servicesProvider();
    if (!services.claimSingleInstance()) {
        if (!services.forwardCommandLine(QApplication::arguments(), &error)) {
            printLine(stderr,
                      QStringLiteral("quorvella: the running instance did not answer: ") + error);
            return 1;
        }
        return 0;
    }
    std::unique_ptr<AppDelegate> delegate;
    Logger::shared().log({clipboard.description()});
    const auto launch = [&delegate, &commandLine, desktop](const Config &chosen) {
        Config::install(chosen);
        ControllerRegistry::registerAll();
        delegate = std::make_unique<AppDelegate>();
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, delegate.get(),
                         &AppDelegate::applicationWillTerminate);
        const bool handOn = commandLine.rebrandText.has_value() ||
                            !commandLine.openUrls.isEmpty() ||
                            commandLine.pauseMinutes.has_value() || commandLine.resume;
        QTimer::singleShot(0, delegate.get(), [app = delegate.get(), handOn, desktop] {
            app->applicationDidFinishLaunching();
            desktop->tellWhenCopiesAreUnseen();
            // "--rebrand TEXT", a pause or a link as the first start: it goes in once the
            // program runs.
            if (handOn)
                app->handleCommandLine(QApplication::arguments());
        });
    };
    if (commandLine.sandbox && commandLine.sandboxUrl.isEmpty()) {
        // Every host must point at the sandbox before the first request, so start-up goes on
        // once it has said where it listens.
        auto *sandbox = new LocalSandbox(&application);
        QObject::connect(sandbox, &LocalSandbox::ready, &application,
                         [launch, base = *config](const QUrl &origin) {
                             printLine(stdout, QStringLiteral("Quorvella: using the sandbox "
                                                              "service at %1; sign in as "
                                                              "demo@quorvella.test with the "
                                                              "password demo")
                                                   .arg(origin.toString()));
                             launch(base.routedTo(origin));
                         });
        QObject::connect(sandbox, &LocalSandbox::failed, &application, [](const QString &reason) {
            printLine(stderr, QStringLiteral("quorvella: ") + reason);
            QCoreApplication::exit(1);
        });
        sandbox->start();
    } else if (commandLine.sandbox && !Config::isAcceptableOrigin(commandLine.sandboxUrl)) {
        printLine(stderr, QStringLiteral("quorvella: --sandbox needs https, or http on this "
                                         "machine"));
        return 2;
    } else {
        launch(commandLine.sandbox ? config->routedTo(commandLine.sandboxUrl) : *config);
    }
    const int status = QApplication::exec();
    // The program's objects go first, while the platform they use is still there.
    delegate.reset();
    CrashReporter::setShared(nullptr);
    return status;
}
