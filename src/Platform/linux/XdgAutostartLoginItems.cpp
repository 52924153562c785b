#include "Platform/linux/XdgAutostartLoginItems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

XdgAutostartLoginItems::XdgAutostartLoginItems(QString executable)
    : m_executable(std::move(executable))
{}

QString XdgAutostartLoginItems::entryPath(const QString &identifier)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + identifier + QStringLiteral(".desktop");
}

QString XdgAutostartLoginItems::execValue(const QString &executable)
{
    // Inside the quotes of an Exec argument ", `, $ and \ are escaped with a backslash; the
    // string type of the key then doubles every backslash once more.
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$'))
            quoted += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\\'))
            quoted += QStringLiteral("\\\\\\");
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%'); // a field code otherwise
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool XdgAutostartLoginItems::setEnabled(const QString &identifier, bool enabled)
{
    const QString path = entryPath(identifier);
    if (!enabled)
        return !QFile::exists(path) || QFile::remove(path);
    if (m_executable.isEmpty() || m_executable.contains(QLatin1Char('\n')))
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quorvella\n"
                                         "Comment=Opens Quorvella at login when you asked for it\n"
                                         "Exec=%1\n"
                                         "Icon=com.quorvella.desktop.Quorvella\n"
                                         "Terminal=false\n"
                                         "NoDisplay=true\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(m_executable));
    file.write(entry.toUtf8());
    return file.commit();
}
