#pragma once

#include <QMap>
#include <QString>
#include <QVariantMap>

// One diagnostic event for the crash-reporting service.
struct CrashEvent
{
    QString level = QStringLiteral("info");
    QString message;
    QMap<QString, QString> tags;
    // Property-list values; an entry is put in only when its value exists.
    QVariantMap extra;
};
