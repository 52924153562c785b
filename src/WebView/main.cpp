#include "WebViewHelper.h"

#include <QApplication>
#include <QTimer>

// quorvella-webview: the sign-in window of Quorvella, driven over standard input and output
// by the main program, so that the tray program never loads the browser engine.
int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication::setOrganizationName(QStringLiteral("Quorvella"));
    QApplication::setApplicationName(QStringLiteral("quorvella-webview"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVELLA_VERSION));
    QApplication app(argc, argv);
    // The window's close is reported before the helper quits, never by Qt on its own.
    QApplication::setQuitOnLastWindowClosed(false);

    WebViewHelper helper;
    QObject::connect(&helper, &WebViewHelper::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    QTimer::singleShot(0, &helper, &WebViewHelper::start);
    return QApplication::exec();
}
