#include "Controllers/LinkList/AccountHeader.h"

#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "App/SettingsStore.h"
#include "Controllers/LinkList/LinkListWidgets.h"
#include "Platform/Platform.h"
#include "Platform/Workspace.h"
#include "Services/Config.h"
#include "Views/HeaderTitle.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>

#include <cstdio>

using namespace Costants;

AccountHeader::AccountHeader(QWidget *parent)
    : QWidget(parent)
    , m_avatarIcon(new QToolButton)
    , m_accountNameButton(new QPushButton)
{
    m_avatarIcon->setObjectName(QStringLiteral("avatarIcon"));
    m_avatarIcon->setFixedSize(32, 32);
    m_avatarIcon->setIconSize(QSize(32, 32));
    m_avatarIcon->setAutoRaise(true);
    m_avatarIcon->setFocusPolicy(Qt::NoFocus);
    m_avatarIcon->setAccessibleName(QStringLiteral("Account settings"));
    m_accountNameButton->setObjectName(QStringLiteral("accountNameButton"));
    m_accountNameButton->setFlat(true);
    m_accountNameButton->setFocusPolicy(Qt::TabFocus);
    m_accountNameButton->setCursor(Qt::PointingHandCursor);
    m_accountNameButton->setToolTip(QStringLiteral("Account settings"));
    m_accountNameButton->setAccessibleName(QStringLiteral("Account settings"));
    setHeaderTitleFont(m_accountNameButton);
    m_accountNameButton->setStyleSheet(
        QStringLiteral("QPushButton { border: none; text-align: left; color: #1D1D1F; }"
                       "QPushButton:hover { color: #2563EB; }"));
    QToolButton *add =
        LinkListWidgets::headerButton(QStringLiteral("ic-plus"), QStringLiteral("New link"));
    QToolButton *dashboard = LinkListWidgets::headerButton(QStringLiteral("ic-dashboard"),
                                                           QStringLiteral("Open the dashboard"));
    m_settingsButton =
        LinkListWidgets::headerButton(QStringLiteral("ic-settings"), QStringLiteral("Settings"));
    add->setObjectName(QStringLiteral("addButton"));
    m_settingsButton->setObjectName(QStringLiteral("settingsButton"));

    auto *top = new QHBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(4);
    top->addWidget(m_avatarIcon);
    top->addWidget(m_accountNameButton, 1);
    top->addWidget(add);
    top->addWidget(dashboard);
    top->addWidget(m_settingsButton);
    connect(m_avatarIcon, &QToolButton::clicked, this, &AccountHeader::openAccountTab);
    connect(m_accountNameButton, &QPushButton::clicked, this, &AccountHeader::openAccountTab);
    connect(add, &QToolButton::clicked, this, &AccountHeader::addButton);
    connect(dashboard, &QToolButton::clicked, this, &AccountHeader::openDashboard);
    connect(m_settingsButton, &QToolButton::clicked, this, [this] {
        m_settingsButton->setDown(false);
        emit settingsRequested(m_settingsButton);
    });
}

void AccountHeader::accountLoaded(const std::optional<QJsonObject> &account)
{
    if (!account)
        return;
    const QJsonValue id = account->value(QLatin1String("id"));
    if (id.isString()) {
        logLines({QStringLiteral("setting userid")});
        if (CrashReporter *reporter = CrashReporter::shared())
            reporter->setUser(id.toString());
        std::puts("SENTRY: setting user data on");
        std::fflush(stdout);
        SettingsStore &store = SettingsStore::shared();
        store.setString(Preferences::userId, id.toString());
        store.synchronize();
    }
    const QJsonValue name = account->value(QLatin1String("fullName"));
    if (name.isString())
        m_accountNameButton->setText(name.toString());
    const QJsonValue avatar = account->value(QLatin1String("avatarUrl"));
    if (avatar.isString())
        LinkListWidgets::setAvatar(m_avatarIcon, avatar.toString());
}

QString AccountHeader::accountName() const
{
    return m_accountNameButton->text();
}

void AccountHeader::addButton()
{
    logLines({QStringLiteral("creating new link controller")});
    NotificationCenter::shared().post(NotificationViews::closePopover);
    SettingsStore &store = SettingsStore::shared();
    store.setString(Preferences::newDestination, QString());
    store.synchronize();
    NotificationCenter::shared().post(NotificationViews::newLinkPopover);
}

void AccountHeader::openDashboard()
{
    logLines({QStringLiteral("open dashboard")});
    Platform::current().workspace().openUrl(Config::current().dashboardHost);
}

void AccountHeader::openAccountTab()
{
    logLines({QStringLiteral("open account tab")});
    QUrl page = Config::current().dashboardHost;
    page.setPath(Dashboard::accountSettingsPath);
    Platform::current().workspace().openUrl(page);
}
