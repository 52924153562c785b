#include "Platform/linux/LinuxPlatform.h"

#include "Platform/linux/LinuxBundleInfo.h"
#include "Platform/linux/MessageBoxAlertPresenter.h"
#include "Platform/linux/TrayStatusItem.h"

#include <QDir>
#include <QStandardPaths>

LinuxPlatform::LinuxPlatform()
    : m_alerts(std::make_unique<MessageBoxAlertPresenter>())
    , m_bundle(std::make_unique<LinuxBundleInfo>())
{}

LinuxPlatform::~LinuxPlatform() = default;

std::unique_ptr<StatusItem> LinuxPlatform::createStatusItem()
{
    return std::make_unique<TrayStatusItem>();
}

AlertPresenter &LinuxPlatform::alerts()
{
    return *m_alerts;
}

const BundleInfo &LinuxPlatform::bundle() const
{
    return *m_bundle;
}

void LinuxPlatform::emptyUrlResponseCache()
{
    // The program's HTTP cache folder (favicons, avatars); nothing else is cached on disk.
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
         QStringLiteral("/Quorvella/network"))
        .removeRecursively();
}
