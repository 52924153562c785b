#include "Updater/SchemeRegistration.h"

#include "App/Logger.h"
#include "Platform/linux/DesktopDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <QTimer>

#include <algorithm>

namespace {

bool writeFile(const QString &path, const QString &content, QString *error)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) >= 0 && file.commit())
        return true;
    *error = path + QStringLiteral(": ") + file.errorString();
    return false;
}

QString applicationsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/applications");
}

QString entryPath()
{
    return applicationsFolder() + QLatin1Char('/') + SchemeRegistration::desktopFileName;
}

QString listPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/mimeapps.list");
}

QString read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(1024 * 1024)) : QString();
}

// A desktop entry's string value: only the backslash needs escaping in a path.
QString escaped(const QString &program)
{
    return QString(program).replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

QString entryFor(const QString &program)
{
    // TryExec: a desktop ignores the entry once the updater is gone, even if it stays.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Quorvella Updater\n"
                          "TryExec=%1\n"
                          "Exec=%2\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n"
                          "MimeType=%3;\n")
        .arg(escaped(program), SchemeRegistration::execLine(program), SchemeRegistration::mimeType);
}

} // namespace

QString SchemeRegistration::execLine(const QString &program)
{
    const QString arguments = QStringLiteral(" %u");
    // Quoted only when it must be: xdg-open without a desktop environment splits the line at
    // blanks and would take the quotes as part of the program's name.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool plain =
        std::none_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); });
    if (plain)
        return QString(program).replace(QLatin1Char('%'), QStringLiteral("%%")) + arguments;
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // In a desktop entry a backslash is itself escaped once more, and "%" is doubled.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return QLatin1Char('"') + quoted + QLatin1Char('"') + arguments;
}

QString SchemeRegistration::withDefault(const QString &list)
{
    const QString section = QStringLiteral("[Default Applications]");
    const QString entry = mimeType + QLatin1Char('=') + desktopFileName;
    QStringList lines = list.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    qsizetype sectionAt = lines.indexOf(section);
    if (sectionAt < 0) {
        lines << section << entry;
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    qsizetype end = sectionAt + 1;
    while (end < lines.size() && !lines.at(end).startsWith(QLatin1Char('[')))
        ++end;
    for (qsizetype i = sectionAt + 1; i < end; ++i) {
        if (lines.at(i).section(QLatin1Char('='), 0, 0).trimmed() == mimeType) {
            lines[i] = entry;
            return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        }
    }
    lines.insert(sectionAt + 1, entry);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString SchemeRegistration::withoutDefault(const QString &list)
{
    QStringList lines = list.split(QLatin1Char('\n'));
    const QString entry = mimeType + QLatin1Char('=') + desktopFileName;
    lines.removeIf([&entry](const QString &line) { return line.trimmed() == entry; });
    const qsizetype sectionAt = lines.indexOf(QStringLiteral("[Default Applications]"));
    qsizetype next = sectionAt + 1;
    while (sectionAt >= 0 && next < lines.size() && lines.at(next).trimmed().isEmpty())
        ++next;
    if (sectionAt >= 0 && (next == lines.size() || lines.at(next).startsWith(QLatin1Char('['))))
        lines.remove(sectionAt, next - sectionAt);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void SchemeRegistration::registerHandler(const QString &program, int timeoutMs, QObject *context,
                                         std::function<void(bool)> done)
{
    QString error;
    const QString list = read(listPath());
    if (!writeFile(entryPath(), entryFor(program), &error) ||
        !writeFile(listPath(), withDefault(list), &error)) {
        Logger::shared().log({QStringLiteral("can't register the URL scheme: ") + error});
        QTimer::singleShot(0, context, [done] { done(false); });
        return;
    }
    // Confirmed only once the desktop's cache is rebuilt too, by what it then reads.
    DesktopDatabase::refresh(applicationsFolder(), timeoutMs, context,
                             [program, done](bool) { done(isRegistered(program)); });
}

bool SchemeRegistration::isRegistered(const QString &program)
{
    const QString list = read(listPath());
    return read(entryPath()) == entryFor(program) && withDefault(list) == list;
}

bool SchemeRegistration::isStale()
{
    const QString entry = read(entryPath());
    if (entry.isEmpty())
        return false;
    for (const QString &line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("TryExec=")))
            return !QFileInfo(line.mid(8).replace(QStringLiteral("\\\\"), QStringLiteral("\\")))
                        .isExecutable();
    }
    return true; // written before entries named their program: nothing checks it any more
}

bool SchemeRegistration::unregisterHandler(QString *error)
{
    if (QFileInfo(entryPath()).exists() && !QFile::remove(entryPath())) {
        *error = QStringLiteral("can't remove ") + entryPath();
        return false;
    }
    const QString list = read(listPath());
    const QString rest = withoutDefault(list);
    if (rest == list)
        return true;
    if (rest.isEmpty() && QFile::remove(listPath()))
        return true;
    return writeFile(listPath(), rest, error);
}
