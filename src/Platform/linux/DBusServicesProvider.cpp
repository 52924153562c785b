#include "Platform/linux/DBusServicesProvider.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

DBusServicesObject::DBusServicesObject(ServicesProvider::RebrandHandler rebrand,
                                       ServicesProvider::CommandLineHandler commandLine)
    : m_rebrand(std::move(rebrand))
    , m_commandLine(std::move(commandLine))
{}

void DBusServicesObject::RebrandText(const QString &text)
{
    // An empty string is what a caller sends when it has no text.
    const std::optional<QString> error =
        m_rebrand ? m_rebrand(text.isEmpty() ? std::nullopt : std::optional<QString>(text))
                  : std::nullopt;
    if (error && calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, *error);
}

void DBusServicesObject::HandleCommandLine(const QStringList &arguments)
{
    if (m_commandLine)
        m_commandLine(arguments);
}

DBusServicesProvider::DBusServicesProvider(const QDBusConnection &connection)
    : m_connection(connection)
{}

DBusServicesProvider::~DBusServicesProvider()
{
    if (!m_object)
        return;
    m_connection.unregisterObject(objectPath);
    m_connection.unregisterService(serviceName);
}

bool DBusServicesProvider::claimSingleInstance()
{
    // Without a session bus nobody can tell two instances apart: run.
    if (!m_connection.isConnected() || !m_connection.interface())
        return true;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_connection.interface()->registerService(singleInstanceName,
                                                  QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

bool DBusServicesProvider::forwardCommandLine(const QStringList &arguments, QString *error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(singleInstanceName, objectPath, serviceName,
                                                       QStringLiteral("HandleCommandLine"));
    call << arguments;
    const QDBusMessage answer = m_connection.call(call, QDBus::Block, 5000);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        if (error)
            *error = answer.errorMessage();
        return false;
    }
    return true;
}

bool DBusServicesProvider::install(RebrandHandler rebrand, CommandLineHandler commandLine)
{
    if (!m_connection.isConnected())
        return false;
    if (m_object)
        m_connection.unregisterObject(objectPath);
    m_object = std::make_unique<DBusServicesObject>(std::move(rebrand), std::move(commandLine));
    if (!m_connection.registerObject(objectPath, m_object.get(), QDBusConnection::ExportAllSlots))
        return false;
    return m_connection.registerService(serviceName);
}
