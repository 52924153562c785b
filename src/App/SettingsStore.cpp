#include "App/SettingsStore.h"

#include "App/PropertyList.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions kFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool readPropertyList(QIODevice &device, QSettings::SettingsMap &map)
{
    const QByteArray data = device.readAll();
    if (data.isEmpty())
        return true; // a new store
    const std::optional<QVariant> root = PropertyList::decode(data);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap entries = root->toMap();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        map.insert(it.key(), it.value());
    return true;
}

bool writePropertyList(QIODevice &device, const QSettings::SettingsMap &map)
{
    QVariantMap entries;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (PropertyList::isStorable(it.value()))
            entries.insert(it.key(), it.value());
    }
    const QByteArray data = PropertyList::encode(entries);
    return !data.isEmpty() && device.write(data) == data.size();
}

QSettings::Format propertyListFormat()
{
    static const QSettings::Format format = QSettings::registerFormat(
        QStringLiteral("plist"), readPropertyList, writePropertyList, Qt::CaseSensitive);
    return format;
}

// QSettings flushes on its own from the event loop of the thread that made it, outside our
// lock. We write through on every change instead, so that automatic flush is switched off.
class PropertyListFile : public QSettings
{
public:
    explicit PropertyListFile(const QString &path)
        : QSettings(path, propertyListFormat())
    {}

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest)
            return true;
        return QSettings::event(event);
    }
};

std::unique_ptr<SettingsStore> &sharedSlot()
{
    static std::unique_ptr<SettingsStore> store;
    return store;
}

std::unique_ptr<SettingsStore> &standardSlot()
{
    static std::unique_ptr<SettingsStore> store;
    return store;
}

QMutex &slotMutex()
{
    static QMutex mutex;
    return mutex;
}

QVariant normalised(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULong:
        return QVariant(value.toLongLong());
    case QMetaType::QStringList:
        return QVariant(value.toList());
    default:
        return value;
    }
}

} // namespace

SettingsStore &SettingsStore::shared()
{
    QMutexLocker locker(&slotMutex());
    auto &slot = sharedSlot();
    if (!slot)
        slot = std::make_unique<SettingsStore>(sharedFilePath());
    return *slot;
}

SettingsStore &SettingsStore::standard()
{
    QMutexLocker locker(&slotMutex());
    auto &slot = standardSlot();
    if (!slot)
        slot = std::make_unique<SettingsStore>(standardFilePath());
    return *slot;
}

void SettingsStore::reopenAll()
{
    QMutexLocker locker(&slotMutex());
    sharedSlot() = std::make_unique<SettingsStore>(sharedFilePath());
    standardSlot() = std::make_unique<SettingsStore>(standardFilePath());
}

QString SettingsStore::directory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvella");
}

QString SettingsStore::sharedFilePath()
{
    return directory() +
           QStringLiteral("/4HNT8QZ2WV.group.com.quorvella.desktop.macos.Quorvella-v7.plist");
}

QString SettingsStore::standardFilePath()
{
    return directory() + QStringLiteral("/com.quorvella.desktop.macos.Quorvella.plist");
}

SettingsStore::SettingsStore(const QString &filePath)
    : m_filePath(filePath)
{
    ensureFile();
    m_settings = std::make_unique<PropertyListFile>(m_filePath);
}

SettingsStore::~SettingsStore() = default;

void SettingsStore::ensureFile() const
{
    // The folder and file are created private before the first write: the store holds the
    // OAuth token, and a file made by a later atomic rewrite keeps the existing file's mode.
    const QString folder = QFileInfo(m_filePath).absolutePath();
    const QByteArray folderPath = QFile::encodeName(folder);
    if (!QDir().mkpath(folder))
        return;
    ::chmod(folderPath.constData(), S_IRWXU);
    const QByteArray path = QFile::encodeName(m_filePath);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0)
        ::close(fd);
    QFile::setPermissions(m_filePath, kFileMode);
}

QVariant SettingsStore::objectForKey(const QString &key) const
{
    QMutexLocker locker(&m_mutex);
    const QVariant value = m_settings->value(key);
    if (value.isValid())
        return value;
    return m_defaults.value(key);
}

bool SettingsStore::contains(const QString &key) const
{
    return objectForKey(key).isValid();
}

bool SettingsStore::boolForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::Bool && value.toBool();
}

qint64 SettingsStore::integerForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::LongLong ? value.toLongLong() : 0;
}

std::optional<double> SettingsStore::doubleForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong)
        return value.toDouble();
    return std::nullopt;
}

std::optional<QString> SettingsStore::stringForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QDateTime> SettingsStore::dateForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QDateTime)
        return std::nullopt;
    return value.toDateTime();
}

std::optional<QVariantList> SettingsStore::arrayForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return value.toList();
}

std::optional<QStringList> SettingsStore::stringArrayForKey(const QString &key) const
{
    const std::optional<QVariantList> list = arrayForKey(key);
    if (!list)
        return std::nullopt;
    QStringList texts;
    for (const QVariant &element : *list) {
        if (element.typeId() == QMetaType::QString)
            texts.append(element.toString());
    }
    return texts;
}

std::optional<QVariantMap> SettingsStore::dictionaryForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

std::optional<QByteArray> SettingsStore::dataForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void SettingsStore::setBool(const QString &key, bool value)
{
    store(key, QVariant(value));
}

void SettingsStore::setInteger(const QString &key, qint64 value)
{
    store(key, QVariant(value));
}

void SettingsStore::setDouble(const QString &key, double value)
{
    store(key, QVariant(value));
}

void SettingsStore::setString(const QString &key, const QString &value)
{
    store(key, QVariant(value));
}

void SettingsStore::setDate(const QString &key, const QDateTime &value)
{
    store(key, QVariant(value));
}

void SettingsStore::setArray(const QString &key, const QVariantList &value)
{
    store(key, QVariant(value));
}

void SettingsStore::setStringArray(const QString &key, const QStringList &value)
{
    store(key, QVariant(QVariantList(value.cbegin(), value.cend())));
}

void SettingsStore::setDictionary(const QString &key, const QVariantMap &value)
{
    store(key, QVariant(value));
}

void SettingsStore::setData(const QString &key, const QByteArray &value)
{
    store(key, QVariant(value));
}

void SettingsStore::store(const QString &key, const QVariant &value)
{
    // What is kept in memory is exactly what the file will give back to any reader: values
    // with no property-list form (a JSON null in a workspace object) are left out here too.
    const std::optional<QVariant> stored =
        PropertyList::decode(PropertyList::encode(normalised(value)));
    QMutexLocker locker(&m_mutex);
    if (!stored) {
        m_settings->remove(key);
    } else {
        m_settings->setValue(key, *stored);
    }
    syncLocked();
}

void SettingsStore::remove(const QString &key)
{
    removeKeys({key});
}

void SettingsStore::removeKeys(const QStringList &keys)
{
    QMutexLocker locker(&m_mutex);
    bool changed = false;
    for (const QString &key : keys) {
        if (m_settings->contains(key)) {
            m_settings->remove(key);
            changed = true;
        }
    }
    // Removing what is not there is no change: the file is left untouched.
    if (changed)
        syncLocked();
}

bool SettingsStore::synchronize()
{
    QMutexLocker locker(&m_mutex);
    syncLocked();
    return m_settings->status() == QSettings::NoError;
}

void SettingsStore::syncLocked()
{
    m_settings->sync();
    // The atomic rewrite keeps the mode of the file it replaces; this repairs a file that
    // someone else recreated with a wider mode.
    QFile::setPermissions(m_filePath, kFileMode);
}

void SettingsStore::registerDefaults(const QVariantMap &defaults)
{
    QMutexLocker locker(&m_mutex);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_defaults.insert(it.key(), normalised(it.value()));
}
