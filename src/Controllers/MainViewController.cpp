#include "Controllers/MainViewController.h"

#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/SettingsStore.h"
#include "Services/ApiManager.h"

#include <QPointer>

#include <cstdio>

using namespace Costants;

MainViewController::MainViewController(QWidget *parent)
    : PlaceholderViewController(
          QStringLiteral("Your links"),
          QStringLiteral("You are signed in. The latest links of your workspace will be listed "
                         "here."),
          parent)
{}

void MainViewController::viewWillAppear()
{
    // Once per controller: it lives until sign-out or a new sign-in drops it.
    if (m_accountRequested || ApiManager::shared().internetStatus() == InternetStatus::notReachable)
        return;
    m_accountRequested = true;
    ApiManager::shared().getAccount(
        [self = QPointer(this)](const std::optional<QJsonObject> &account) {
            if (self)
                self->accountLoaded(account);
        });
}

void MainViewController::accountLoaded(const std::optional<QJsonObject> &account)
{
    if (!account)
        return;
    const QJsonValue id = account->value(QLatin1String("id"));
    if (!id.isString())
        return;
    Logger::shared().log({QStringLiteral("setting userid")});
    if (CrashReporter *reporter = CrashReporter::shared())
        reporter->setUser(id.toString());
    std::puts("SENTRY: setting user data on");
    std::fflush(stdout);
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::userId, id.toString());
    store.synchronize();
}
