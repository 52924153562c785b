#include "Update/ReadyMark.h"

#include "Update/PrivateFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSaveFile>
#include <QTimer>

#include <memory>
#include <utility>

QString ReadyMark::path()
{
    const QString base = PrivateFolder::base();
    return base.isEmpty() ? QString() : base + QStringLiteral("updater-ready");
}

bool ReadyMark::write(const QString &program)
{
    QSaveFile mark(path());
    return !path().isEmpty() && mark.open(QIODevice::WriteOnly) &&
           mark.write(program.toUtf8()) >= 0 && mark.commit();
}

void ReadyMark::clear()
{
    if (!path().isEmpty())
        QFile::remove(path());
}

void ReadyMark::waitFor(const QString &program, int timeoutMs, QObject *context,
                        std::function<void(bool)> done)
{
    const QString mark = path();
    const auto named = [mark, program] {
        QFile file(mark);
        if (program.isEmpty() || !file.open(QIODevice::ReadOnly) ||
            QString::fromUtf8(file.read(4096)) != program)
            return false;
        file.remove();
        return true;
    };
    waitForFile(mark, named, timeoutMs, context, std::move(done));
}

void ReadyMark::waitForFile(const QString &file, std::function<bool()> arrived, int timeoutMs,
                            QObject *context, std::function<void(bool)> done)
{
    // The watcher and the timer live in one object, gone with the answer or with `context`.
    auto *waiter = new QObject(context);
    auto *watcher = new QFileSystemWatcher(waiter);
    auto *timeout = new QTimer(waiter);
    const auto answered = std::make_shared<bool>(false);
    const auto answer = [waiter, answered, done = std::move(done)](bool ready) {
        if (std::exchange(*answered, true))
            return;
        waiter->deleteLater();
        done(ready);
    };
    const auto look = [arrived = std::move(arrived), answer] {
        if (arrived())
            answer(true);
    };
    if (!file.isEmpty())
        watcher->addPath(QFileInfo(file).absolutePath());
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, waiter, look);
    QObject::connect(timeout, &QTimer::timeout, waiter, [answer] { answer(false); });
    timeout->setSingleShot(true);
    timeout->start(timeoutMs);
    // Written before the watch began.
    QTimer::singleShot(0, waiter, look);
}
