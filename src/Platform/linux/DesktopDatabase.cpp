#include "Platform/linux/DesktopDatabase.h"

#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <utility>

void DesktopDatabase::refresh(const QString &folder, int timeoutMs, QObject *context,
                              std::function<void(bool)> done)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty()) {
        // Without the tool the desktop reads the entries themselves: nothing to rebuild.
        QTimer::singleShot(0, context, [done] { done(true); });
        return;
    }
    auto *process = new QProcess(context);
    auto *timeout = new QTimer(process);
    timeout->setSingleShot(true);
    // Exactly one answer: the first of finishing, failing to start, and the timeout.
    const auto answered = std::make_shared<bool>(false);
    const auto answer = [process, answered, done](bool rebuilt) {
        if (std::exchange(*answered, true))
            return;
        process->disconnect();
        process->kill();
        process->deleteLater();
        done(rebuilt);
    };
    QObject::connect(process, &QProcess::finished, context,
                     [answer](int code, QProcess::ExitStatus status) {
                         answer(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [answer](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             answer(false);
                     });
    QObject::connect(timeout, &QTimer::timeout, context, [answer] { answer(false); });
    process->setStandardOutputFile(QProcess::nullDevice());
    timeout->start(timeoutMs);
    process->start(tool, {folder});
}
