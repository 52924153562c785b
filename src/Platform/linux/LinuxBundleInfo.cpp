#include "Platform/linux/LinuxBundleInfo.h"

#include <QCoreApplication>
#include <QDir>

QString LinuxBundleInfo::shortVersion() const
{
    return QStringLiteral(QUORVELLA_VERSION);
}

QString LinuxBundleInfo::bundlePath() const
{
    QDir bin(QCoreApplication::applicationDirPath());
    bin.cdUp();
    return bin.absolutePath();
}

QString LinuxBundleInfo::applicationsFolder() const
{
    QString folder = qEnvironmentVariable("QUORVELLA_APPLICATIONS_DIR");
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/Applications");
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
