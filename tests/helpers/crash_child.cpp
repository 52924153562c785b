// Installs the crash handler into the folder given, sets a user id, then dies of the
// signal given (SEGV by default), as a crashing Quorvella would.
#include "App/CrashHandler.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>

// In a sanitizer build the crash must reach our handler, not AddressSanitizer's.
extern "C" const char *__asan_default_options()
{
    return "handle_segv=0:handle_sigbus=0:handle_abort=0:allow_user_segv_handler=1";
}

// The fault under test, out of the undefined-behaviour checks' sight so that it reaches the
// signal handler.
__attribute__((noinline, no_sanitize("undefined"))) static void writeToNowhere()
{
    // A volatile pointer, so that the compiler cannot see the null and put a trap there instead.
    volatile int *volatile nowhere = nullptr;
    *nowhere = 1;
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fputs("usage: crash_child REPORT_DIR [abort|segv]\n", stderr);
        return 2;
    }
    QString error;
    if (!CrashHandler::install(arguments.at(1), QStringLiteral("quorvella@test"), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 3;
    }
    CrashHandler::setUserId(QStringLiteral("user-42"));
    if (arguments.size() > 2 && arguments.at(2) == QLatin1String("abort"))
        std::abort();
    writeToNowhere();
    return 0;
}
