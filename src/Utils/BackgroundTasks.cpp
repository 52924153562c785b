#include "Utils/BackgroundTasks.h"

#include "App/Costants.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Utils/DefaultHelper.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

#include <atomic>

using namespace Costants;

namespace {
std::atomic<int> pauseMilliseconds{2000};
// One resumption at a time after the service asked to slow down, however often run() is
// called meanwhile.
std::atomic<bool> resumeScheduled{false};

void resumeAfterSlowDown(qint64 seconds)
{
    if (resumeScheduled.exchange(true))
        return;
    logLines({QStringLiteral("domain check waits for the service: ") + QString::number(seconds) +
              QStringLiteral(" s")});
    QTimer::singleShot(std::chrono::seconds(seconds), QCoreApplication::instance(), [] {
        resumeScheduled.store(false);
        QThreadPool::globalInstance()->start([] { BackgroundTasks::run(); });
    });
}

// The service answered and will answer the same for this workspace (gone, or no access):
// asking again would block the ids behind it. No answer, a server error, a sign-out or a
// throttle is worth another try.
bool isRefusal(int status)
{
    return status >= 400 && status < 500 && status != 401 && status != 408 && status != 429;
}
} // namespace

void BackgroundTasks::setDelayMilliseconds(int milliseconds)
{
    pauseMilliseconds.store(milliseconds);
}

int BackgroundTasks::delayMilliseconds()
{
    return pauseMilliseconds.load();
}

void BackgroundTasks::run()
{
    logLines({QStringLiteral("BACKGROUND TASKS.... load domains")});
    const std::optional<QStringList> queued =
        SettingsStore::shared().stringArrayForKey(Preferences::workspaceIdsListToCheckDomains);
    if (!queued) {
        logLines({QStringLiteral("no workspaces to check, nil found...")});
        return;
    }
    if (queued->isEmpty()) {
        logLines({QStringLiteral("no workspaces to check...")});
        return;
    }
    const QString workspaceId = queued->first();
    QThreadPool::globalInstance()->start([workspaceId] { check(workspaceId); });
}

void BackgroundTasks::check(const QString &workspaceId)
{
    logLines({QStringLiteral("gonna check wid ") + workspaceId});
    ApiManager &api = ApiManager::shared();
    // Offline, or without a usable token, the id stays queued for the next run.
    if (api.internetStatus() == InternetStatus::notReachable)
        return;
    api.getDomains(workspaceId, [workspaceId](const std::optional<QJsonArray> &domains,
                                              int status) {
        if (!domains && !isRefusal(status)) {
            // Taken up again when the service's pause is over, not before.
            if (const ApiManager &client = ApiManager::shared(); client.isSlowedDown())
                resumeAfterSlowDown(client.slowDownSecondsLeft());
            return;
        }
        if (domains)
            DefaultHelper::updateDomainNames(*domains);
        else
            logLines({QStringLiteral("workspace refused, moving on: ") + workspaceId});
        SettingsStore &store = SettingsStore::shared();
        // Read again: the queue may have grown since the request left.
        QStringList toCheck = store.stringArrayForKey(Preferences::workspaceIdsListToCheckDomains)
                                  .value_or(QStringList());
        toCheck.removeOne(workspaceId);
        store.setStringArray(Preferences::workspaceIdsListToCheckDomains, toCheck);
        store.synchronize();
        QStringList checked = store.stringArrayForKey(Preferences::workspaceIdsListCheckedDomains)
                                  .value_or(QStringList());
        if (!checked.contains(workspaceId))
            checked.append(workspaceId);
        store.setStringArray(Preferences::workspaceIdsListCheckedDomains, checked);
        store.synchronize();
        logLines({QStringLiteral("... background tasks done")});
        QTimer::singleShot(delayMilliseconds(), QCoreApplication::instance(), [] {
            QThreadPool::globalInstance()->start([] {
                logLines({QStringLiteral("calling FUTURE")});
                run();
            });
        });
    });
}
