#include "LogCapture.h"

#include "App/Logger.h"

#include <QFile>

LogCapture::LogCapture()
{
    m_file.open();
    m_previous = Logger::shared().outputDescriptor();
    Logger::shared().setOutputDescriptor(m_file.handle());
}

LogCapture::~LogCapture()
{
    Logger::shared().setOutputDescriptor(m_previous);
}

QStringList LogCapture::lines() const
{
    QFile file(m_file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}
