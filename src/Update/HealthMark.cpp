#include "Update/HealthMark.h"

#include "Update/PrivateFolder.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

QString HealthMark::path()
{
    const QString base = PrivateFolder::base();
    return base.isEmpty() ? QString() : base + QStringLiteral("healthy");
}

void HealthMark::writeLater(QObject *context)
{
    QTimer::singleShot(healthyAfterMs, context, [] {
        QSaveFile mark(path());
        if (!path().isEmpty() && mark.open(QIODevice::WriteOnly))
            mark.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        mark.commit();
    });
}

void HealthMark::clear()
{
    if (!path().isEmpty())
        QFile::remove(path());
}

bool HealthMark::isWritten()
{
    return !path().isEmpty() && QFile::exists(path());
}
