#include "Platform/ColorSchemeSource.h"

#include <QCoreApplication>
#include <QEvent>

ColorSchemeSource::ColorSchemeSource(QObject *parent)
    : QObject(parent)
{
    // A new palette is announced to the application object itself (the signal of old is
    // deprecated); the filter passes every event on untouched.
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
}

bool ColorSchemeSource::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange &&
        watched == QCoreApplication::instance())
        emit changed();
    return QObject::eventFilter(watched, event);
}
