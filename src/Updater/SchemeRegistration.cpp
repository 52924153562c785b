#include "Updater/SchemeRegistration.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

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

bool SchemeRegistration::registerHandler(const QString &program, QString *error)
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Quorvella Updater\n"
                                         "Exec=%1\n"
                                         "NoDisplay=true\n"
                                         "Terminal=false\n"
                                         "MimeType=%2;\n")
                              .arg(execLine(program), mimeType);
    if (!writeFile(data + QStringLiteral("/applications/") + desktopFileName, entry, error))
        return false;
    const QString listPath =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/mimeapps.list");
    QFile existing(listPath);
    const QString list =
        existing.open(QIODevice::ReadOnly) ? QString::fromUtf8(existing.readAll()) : QString();
    existing.close();
    return writeFile(listPath, withDefault(list), error);
}
