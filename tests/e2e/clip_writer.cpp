// Puts a text on the clipboard of the X display it runs on, as the program does, and keeps
// serving it until its standard input closes.
//   clip_writer TEXT            pasteLink(TEXT, false), called from a worker thread
//   clip_writer --secret TEXT   TEXT marked secret, as a password manager copies it
//   clip_writer --hog TEXT      TEXT taken onto the clipboard, and then no request for it
//                               answered, like a program that hangs while it owns the clipboard

#include "Platform/Platform.h"
#include "Platform/linux/LinuxPlatform.h"
#include "Utils/ClipboardMonitor.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSocketNotifier>
#include <QThread>

#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return 2;
    Platform::install(std::make_unique<LinuxPlatform>());
    [[maybe_unused]] Pasteboard &pasteboard = Platform::current().pasteboard();

    bool pasted = false;
    const bool hog = arguments.front() == QLatin1String("--hog");
    if ((hog || arguments.front() == QLatin1String("--secret")) && arguments.size() == 2) {
        auto *data = new QMimeData;
        data->setText(arguments.at(1));
        if (!hog)
            data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
        QApplication::clipboard()->setMimeData(data);
        pasted = QApplication::clipboard()->ownsClipboard();
        std::printf("pasted: %s\n", pasted ? "true" : "false");
        std::fflush(stdout);
        // Outside the event loop, requests for the clipboard pile up unanswered.
        char buffer[256];
        while (hog && ::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
        if (hog)
            return pasted ? 0 : 1;
    } else {
        // From a worker thread, as the rebrand pipeline may call it: the write hops over.
        const QString link = arguments.front();
        QThread *writer = QThread::create([link] {
            const bool accepted = ClipboardMonitor::pasteLink(link, false);
            std::printf("pasted: %s\n", accepted ? "true" : "false");
            std::fflush(stdout);
        });
        QObject::connect(writer, &QThread::finished, writer, &QObject::deleteLater);
        writer->start();
    }

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&input] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            QApplication::quit();
        }
    });
    return QApplication::exec();
}
