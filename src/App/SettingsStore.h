#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>

class QSettings;

// A persistent key-value store in a binary property-list file, shared by the program and
// the launcher. Values keep their kinds; a read of an absent key, or of a key holding another
// kind, gives false, 0 or nothing. Safe from any thread; two processes may write at once
// (each write merges under a lock file and replaces the file atomically).
class SettingsStore
{
public:
    // The application-group store: every key of the system lives here.
    static SettingsStore &shared();
    // The per-program store, only for platform switches such as "NSApplicationCrashOnExceptions".
    static SettingsStore &standard();
    // Reopens both stores at the paths of the current environment (tests change XDG_CONFIG_HOME).
    static void reopenAll();

    static QString directory();
    static QString sharedFilePath();
    static QString standardFilePath();

    explicit SettingsStore(const QString &filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    [[nodiscard]] bool boolForKey(const QString &key) const;
    [[nodiscard]] qint64 integerForKey(const QString &key) const;
    [[nodiscard]] std::optional<double> doubleForKey(const QString &key) const;
    [[nodiscard]] std::optional<QString> stringForKey(const QString &key) const;
    [[nodiscard]] std::optional<QDateTime> dateForKey(const QString &key) const;
    [[nodiscard]] std::optional<QVariantList> arrayForKey(const QString &key) const;
    // The texts of an array; elements of other kinds are skipped.
    [[nodiscard]] std::optional<QStringList> stringArrayForKey(const QString &key) const;
    [[nodiscard]] std::optional<QVariantMap> dictionaryForKey(const QString &key) const;
    [[nodiscard]] std::optional<QByteArray> dataForKey(const QString &key) const;
    // The stored value of any kind, or the registered default, or an invalid QVariant.
    [[nodiscard]] QVariant objectForKey(const QString &key) const;
    [[nodiscard]] bool contains(const QString &key) const;

    void setBool(const QString &key, bool value);
    void setInteger(const QString &key, qint64 value);
    void setDouble(const QString &key, double value);
    void setString(const QString &key, const QString &value);
    void setDate(const QString &key, const QDateTime &value);
    void setArray(const QString &key, const QVariantList &value);
    void setStringArray(const QString &key, const QStringList &value);
    void setDictionary(const QString &key, const QVariantMap &value);
    void setData(const QString &key, const QByteArray &value);
    void remove(const QString &key);
    void removeKeys(const QStringList &keys);

    // Merges the other process's changes into this view and writes ours.
    bool synchronize();

    // In-memory defaults, consulted when a key is absent; never written to the file.
    void registerDefaults(const QVariantMap &defaults);

    [[nodiscard]] QString filePath() const { return m_filePath; }

private:
    void store(const QString &key, const QVariant &value);
    void syncLocked();
    void ensureFile() const;

    QString m_filePath;
    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_defaults;
};
