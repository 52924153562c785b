#include "App/ViewControllerFactory.h"

#include "App/Logger.h"

#include <QHash>
#include <QMutex>

#include <cstdlib>

namespace {

QMutex &registryMutex()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, ViewControllerFactory::Creator> &registry()
{
    static QHash<QString, ViewControllerFactory::Creator> creators;
    return creators;
}

} // namespace

void ViewControllerFactory::registerCreator(const QString &identifier, Creator creator)
{
    QMutexLocker locker(&registryMutex());
    registry().insert(identifier, std::move(creator));
}

bool ViewControllerFactory::contains(const QString &identifier)
{
    QMutexLocker locker(&registryMutex());
    return registry().contains(identifier);
}

std::unique_ptr<QObject> ViewControllerFactory::tryInstantiate(const QString &identifier)
{
    Creator creator;
    {
        QMutexLocker locker(&registryMutex());
        creator = registry().value(identifier);
    }
    return creator ? creator() : nullptr;
}

std::unique_ptr<QObject> ViewControllerFactory::instantiate(const QString &identifier)
{
    std::unique_ptr<QObject> object = tryInstantiate(identifier);
    if (!object)
        fail(identifier);
    return object;
}

QString ViewControllerFactory::missingMessage(const QString &identifier)
{
    return QStringLiteral("Why cant i find ") + identifier +
           QStringLiteral("? - Check Main.storyboard");
}

void ViewControllerFactory::fail(const QString &identifier)
{
    Logger::shared().log({missingMessage(identifier)});
    qFatal("%s", qPrintable(missingMessage(identifier)));
    std::abort();
}
