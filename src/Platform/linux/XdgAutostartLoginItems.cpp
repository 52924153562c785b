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

QString XdgAutostartLoginItems::stringValue(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    escaped.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return escaped;
}

QStringList XdgAutostartLoginItems::keptUserChoices(const QString &path)
{
    // What the user switched off in the desktop's start-up settings stays off.
    QFile file(path);
    QStringList kept;
    if (!file.open(QIODevice::ReadOnly))
        return kept;
    bool inEntry = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && (line == QLatin1String("Hidden=true") ||
                             line == QLatin1String("X-GNOME-Autostart-enabled=false")))
            kept.append(line);
    }
    return kept;
}

bool XdgAutostartLoginItems::setEnabled(const QString &identifier, bool enabled)
{
    const QString path = entryPath(identifier);
    if (!enabled)
        return !QFile::exists(path) || QFile::remove(path);
    if (m_executable.isEmpty() || m_executable.contains(QLatin1Char('\n')))
        return false;
    // A copy run from a build tree or another folder has no launcher beside it; an entry
    // pointing there would break the start at login of the installed copy.
    const QFileInfo launcher(m_executable);
    if (!launcher.isAbsolute() || !launcher.isFile() || !launcher.isExecutable())
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QStringList kept = keptUserChoices(path);
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Name=Quorvella\n"
                                   "Comment=Opens Quorvella at login when you asked for it\n"
                                   "TryExec=%1\n"
                                   "Exec=%2\n"
                                   "Icon=com.quorvella.desktop.Quorvella\n"
                                   "Terminal=false\n"
                                   "NoDisplay=true\n")
                        .arg(stringValue(m_executable), execValue(m_executable));
    if (kept.contains(QLatin1String("Hidden=true")))
        entry += QStringLiteral("Hidden=true\n");
    entry += kept.contains(QLatin1String("X-GNOME-Autostart-enabled=false"))
                 ? QStringLiteral("X-GNOME-Autostart-enabled=false\n")
                 : QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == entry.toUtf8())
        return true; // already so: no write at every start
    current.close();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry.toUtf8());
    return file.commit();
}
