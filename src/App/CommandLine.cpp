#include "App/CommandLine.h"

#include "Utils/WatchPause.h"

namespace {
const QStringList &qtOptionsWithValue()
{
    static const QStringList options = {
        QStringLiteral("-platform"),        QStringLiteral("-platformpluginpath"),
        QStringLiteral("-platformtheme"),   QStringLiteral("-plugin"),
        QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowicon"),
        QStringLiteral("-qwindowtitle"),    QStringLiteral("-session"),
        QStringLiteral("-style"),           QStringLiteral("-stylesheet"),
        QStringLiteral("-display"),         QStringLiteral("-geometry"),
        QStringLiteral("-title"),           QStringLiteral("-name")};
    return options;
}
} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
        } else if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            line.version = true;
        } else if (argument == QLatin1String("--sandbox")) {
            line.sandbox = true;
        } else if (argument.startsWith(QLatin1String("--sandbox="))) {
            line.sandbox = true;
            line.sandboxUrl = QUrl(argument.mid(10), QUrl::StrictMode);
            if (!line.sandboxUrl.isValid() || line.sandboxUrl.host().isEmpty())
                line.error = QStringLiteral("--sandbox needs a URL such as http://127.0.0.1:8080, "
                                            "not \"%1\"")
                                 .arg(argument.mid(10));
        } else if (argument == QLatin1String("--rebrand")) {
            if (i + 1 >= arguments.size()) {
                line.error = QStringLiteral("--rebrand needs the text to rebrand");
            } else {
                line.rebrandText = arguments.at(++i);
            }
        } else if (argument.startsWith(QLatin1String("--rebrand="))) {
            line.rebrandText = argument.mid(10);
        } else if (argument == QLatin1String("--pause")) {
            line.pauseMinutes = WatchPause::oneHour;
        } else if (argument.startsWith(QLatin1String("--pause="))) {
            bool number = false;
            const int minutes = argument.mid(8).toInt(&number);
            if (!number || minutes < 1 || minutes > WatchPause::maxMinutes)
                line.error = QStringLiteral("--pause= needs a number of minutes from 1 to %1, "
                                            "not \"%2\"")
                                 .arg(WatchPause::maxMinutes)
                                 .arg(argument.mid(8));
            else
                line.pauseMinutes = minutes;
        } else if (argument == QLatin1String("--resume")) {
            line.resume = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            line.error = QStringLiteral("unknown option %1 (see --help)").arg(argument);
        } else if (qtOptionsWithValue().contains(argument)) {
            // Qt's own option and its value are left for QApplication.
            ++i;
        } else if (argument.startsWith(QLatin1String("quorvella:"), Qt::CaseInsensitive)) {
            line.openUrls.append(QUrl(argument));
        }
        if (!line.error.isEmpty())
            break;
    }
    return line;
}

QString CommandLine::usage()
{
    return QStringLiteral(
        "Usage: quorvella [options]\n"
        "Quorvella lives in the system tray and turns copied web addresses into branded links.\n"
        "\n"
        "Options:\n"
        "  --sandbox          start the local sandbox service and use it for every service host\n"
        "  --sandbox=URL      use the service at URL (http only on this machine) for every host\n"
        "  --rebrand TEXT     hand TEXT to the running Quorvella to rebrand it\n"
        "  --pause[=MINUTES]  stop rebranding copied addresses for MINUTES (default 60)\n"
        "  --resume           rebrand copied addresses again\n"
        "  quorvella:...      hand an address of Quorvella's own scheme to the running Quorvella\n"
        "  --version          print the version and exit\n"
        "  --help             print this help and exit\n");
}
