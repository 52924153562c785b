#pragma once

#include "Platform/ServicesProvider.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

// The object published on the session bus: "RebrandText(s)" for the desktop and other
// programs, "HandleCommandLine(as)" for a second start of the program.
class DBusServicesObject : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvella.desktop.Quorvella")

public:
    DBusServicesObject(ServicesProvider::RebrandHandler rebrand,
                       ServicesProvider::CommandLineHandler commandLine);

public slots:
    void RebrandText(const QString &text);
    void HandleCommandLine(const QStringList &arguments);

private:
    ServicesProvider::RebrandHandler m_rebrand;
    ServicesProvider::CommandLineHandler m_commandLine;
};

// The services entry and single instance over the session bus: the service name
// "com.quorvella.desktop.Quorvella" and the single-instance name
// "com.quorvella.desktop.macos.Quorvella", both serving the same object at "/".
class DBusServicesProvider : public ServicesProvider
{
public:
    static inline const QString serviceName = QStringLiteral("com.quorvella.desktop.Quorvella");
    static inline const QString singleInstanceName =
        QStringLiteral("com.quorvella.desktop.macos.Quorvella");
    static inline const QString objectPath = QStringLiteral("/");

    explicit DBusServicesProvider(
        const QDBusConnection &connection = QDBusConnection::sessionBus());
    ~DBusServicesProvider() override;

    [[nodiscard]] bool claimSingleInstance() override;
    [[nodiscard]] bool forwardCommandLine(const QStringList &arguments, QString *error) override;
    [[nodiscard]] bool install(RebrandHandler rebrand, CommandLineHandler commandLine) override;

private:
    QDBusConnection m_connection;
    std::unique_ptr<DBusServicesObject> m_object;
};
