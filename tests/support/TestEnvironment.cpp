#include "TestEnvironment.h"

#include "App/SettingsStore.h"

#include <QDir>
#include <QFile>

TestEnvironment::TestEnvironment()
{
    QDir().mkpath(configHome());
    QDir().mkpath(cacheHome());
    QDir().mkpath(applicationsFolder());
    QDir().mkpath(root() + QStringLiteral("/data"));
    setVariable("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    setVariable("XDG_CACHE_HOME", QFile::encodeName(cacheHome()));
    setVariable("XDG_DATA_HOME", QFile::encodeName(root() + QStringLiteral("/data")));
    setVariable("QUORVELLA_APPLICATIONS_DIR", QFile::encodeName(applicationsFolder()));
    // The runtime folder must be private, or Qt and D-Bus refuse it.
    const QString runtime = root() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setVariable("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
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

QString TestEnvironment::configHome() const
{
    return root() + QStringLiteral("/config");
}

QString TestEnvironment::cacheHome() const
{
    return root() + QStringLiteral("/cache");
}

QString TestEnvironment::applicationsFolder() const
{
    return root() + QStringLiteral("/Applications/");
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
