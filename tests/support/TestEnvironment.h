#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <optional>

// Gives a test its own XDG folders (config, cache, data, runtime) and applications folder,
// reopens the settings stores there, and restores everything when it goes out of scope,
// even when a check fails early.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    [[nodiscard]] QString root() const { return m_dir.path(); }
    [[nodiscard]] QString configHome() const { return root() + QStringLiteral("/config"); }
    [[nodiscard]] QString applicationsFolder() const
    {
        return root() + QStringLiteral("/Applications/");
    }

    void setVariable(const char *name, const QByteArray &value);

private:
    QTemporaryDir m_dir;
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};
