#include "TestEnvironment.h"

#include "App/SettingsStore.h"

#include <QDir>
#include <QFile>

TestEnvironment::TestEnvironment()
{
    const std::pair<const char *, QString> folders[]{
        {"XDG_CONFIG_HOME", configHome()},
        {"XDG_CACHE_HOME", root() + QStringLiteral("/cache")},
        {"XDG_DATA_HOME", root() + QStringLiteral("/data")},
        {"QUORVELLA_APPLICATIONS_DIR", applicationsFolder()},
        {"XDG_RUNTIME_DIR", root() + QStringLiteral("/runtime")}};
    for (const auto &[name, folder] : folders) {
        QDir().mkpath(folder);
        setVariable(name, QFile::encodeName(folder));
    }
    // The runtime folder must be private, or Qt and D-Bus refuse it.
    QFile::setPermissions(root() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SettingsStore::reopenAll();
}

TestEnvironment::~TestEnvironment()
{
    for (const auto &[name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
    SettingsStore::reopenAll();
}

void TestEnvironment::setVariable(const char *name, const QByteArray &value)
{
    const QByteArray key(name);
    if (m_saved.find(key) == m_saved.end()) {
        m_saved[key] =
            qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
    }
    qputenv(name, value);
}
