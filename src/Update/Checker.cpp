#include "Update/Checker.h"

#include "App/Clock.h"
#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"
#include "Update/VersionHelper.h"

#include <QTimer>

using namespace Costants;
using namespace std::chrono_literals;

namespace {
constexpr auto kHour = 3600s;
constexpr auto kOpenDelay = 2s;

void log(const QVariantList &items)
{
    Logger::shared().log(items);
}
} // namespace

void Checker::setMandatory(bool mandatory)
{
    SettingsStore &store = SettingsStore::shared();
    store.setBool(Preferences::updateMandatoryRequested, mandatory);
    store.synchronize();
}

Checker &Checker::shared()
{
    static auto *checker = new Checker;
    return *checker;
}

QDateTime Checker::currentHourStamp(const QDateTime &now)
{
    const QDateTime local = now.toLocalTime();
    const QDateTime stamp(local.date(), QTime(local.time().hour(), 0));
    return stamp.isValid() ? stamp : now;
}

void Checker::setScheduler(Scheduler scheduler)
{
    m_scheduler = std::move(scheduler);
}

void Checker::setWindowFactory(WindowFactory factory)
{
    m_windowFactory = std::move(factory);
}

void Checker::schedule(std::chrono::milliseconds delay, std::function<void()> action)
{
    if (m_scheduler)
        return m_scheduler(delay, std::move(action));
    QTimer::singleShot(delay, this, std::move(action));
}

void Checker::dailyCheck()
{
    const QDateTime now = currentHourStamp(Clock::current().now());
    schedule(kHour, [this] { dailyCheck(); });
    SettingsStore &store = SettingsStore::shared();
    if (store.boolForKey(Preferences::updateMandatoryRequested)) {
        log({QStringLiteral("forcing check for updates set by key")});
        store.setDate(Preferences::lastUpdateDayChecked, now);
        store.synchronize();
        ApiManager::shared().getVersions(
            [this](const std::optional<QJsonObject> &manifest) { evaluateManifest(manifest); });
        return;
    }
    if (const std::optional<QDateTime> last = store.dateForKey(Preferences::lastUpdateDayChecked)) {
        const qint64 interval = last->secsTo(now);
        log({QStringLiteral("LAST CHECK DATE ") + Logger::describe(*last) +
             QStringLiteral(" now is ") + Logger::describe(now) +
             QStringLiteral(", with interval ") + QString::number(interval)});
        CrashEvent event;
        event.message = QStringLiteral("Internal Message: daily check");
        CrashReporter::capture(event);
        if (interval > kHour.count()) {
            log({QStringLiteral("Gonna check internal")});
            ApiManager::shared().getVersions(
                [this](const std::optional<QJsonObject> &manifest) { evaluateManifest(manifest); });
        }
    }
    log({QStringLiteral("last check for updates on ") + Logger::describe(now)});
    store.setDate(Preferences::lastUpdateDayChecked, now);
    store.synchronize();
}

void Checker::evaluateManifest(const std::optional<QJsonObject> &manifest)
{
    switch (evaluateVersions(manifest, VersionHelper())) {
    case ManifestVerdict::unreadable:
        return setMandatory(false);
    case ManifestVerdict::incomplete:
        return;
    case ManifestVerdict::mandatory:
        setMandatory(true);
        return schedule(kOpenDelay, [this] { openUpdater(); });
    case ManifestVerdict::optional:
        setMandatory(false);
        return schedule(kOpenDelay, [this] { openUpdater(); });
    case ManifestVerdict::current:
        return setMandatory(false);
    }
}

void Checker::openUpdater()
{
    NotificationCenter::shared().post(NotificationViews::closePopover);
    // The hourly tick must not stack a second window on one the user has not answered yet.
    if (m_window || !m_windowFactory)
        return;
    std::unique_ptr<QWidget> window = m_windowFactory();
    if (!window)
        return;
    m_window = window.release();
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    // Application-modal without a nested event loop: the modal run ends when it closes.
    m_window->setWindowModality(Qt::ApplicationModal);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
