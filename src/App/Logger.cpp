#include "App/Logger.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <unistd.h>

Logger &Logger::shared()
{
    static Logger instance(QStringLiteral("Quorvella-logs.txt"));
    return instance;
}

Logger::Logger(QString file)
    : m_file(std::move(file))
{}

void Logger::log(const QVariantList &items) const
{
    const int fd = m_fd.load();
    for (const QVariant &item : items) {
        const QByteArray line = describe(item).toUtf8() + '\n';
        const char *data = line.constData();
        qsizetype left = line.size();
        // One write per line; a short write (pipe almost full) is finished, never dropped.
        while (left > 0) {
            const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            data += written;
            left -= written;
        }
    }
}

QString Logger::describe(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return QStringLiteral("nil");
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QDateTime:
        return value.toDateTime().toUTC().toString(Qt::ISODate);
    case QMetaType::QUrl:
        return value.toUrl().toString();
    case QMetaType::QByteArray:
        return QStringLiteral("%1 bytes").arg(value.toByteArray().size());
    case QMetaType::QVariantMap:
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
    case QMetaType::QVariantHash:
    case QMetaType::QJsonObject:
    case QMetaType::QJsonArray:
    case QMetaType::QJsonValue:
    case QMetaType::QJsonDocument: {
        // One item, one line: compact, so that a line of the log is always one item.
        const QJsonValue json = QJsonValue::fromVariant(value);
        if (json.isObject())
            return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
        if (json.isArray())
            return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
        return json.toVariant().toString();
    }
    default:
        if (value.canConvert<QString>())
            return value.toString();
        return QString::fromLatin1(value.typeName());
    }
}
