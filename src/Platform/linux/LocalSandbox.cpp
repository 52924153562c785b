#include "Platform/linux/LocalSandbox.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>

LocalSandbox::LocalSandbox(QObject *parent)
    : QObject(parent)
{}

LocalSandbox::~LocalSandbox()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
}

QString LocalSandbox::executablePath()
{
    const QString fromEnvironment = qEnvironmentVariable("QUORVELLA_SANDBOX");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quorvella-sandbox");
}

QUrl LocalSandbox::start(QString *error, int timeoutMs)
{
    const QString program = executablePath();
    if (!QFileInfo(program).isExecutable()) {
        *error = QStringLiteral("the sandbox service is not installed at %1").arg(program);
        return {};
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, {QStringLiteral("--exit-on-stdin-eof")});
    if (!m_process.waitForStarted(timeoutMs)) {
        *error =
            QStringLiteral("the sandbox service did not start: %1").arg(m_process.errorString());
        return {};
    }
    static const QRegularExpression ready(
        QStringLiteral("^quorvella-sandbox listening on (http://127\\.0\\.0\\.1:\\d+)\\s*$"));
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
        while (m_process.canReadLine()) {
            const QRegularExpressionMatch match =
                ready.match(QString::fromUtf8(m_process.readLine()));
            if (match.hasMatch())
                return QUrl(match.captured(1));
        }
    }
    *error = QStringLiteral("the sandbox service did not say where it listens");
    m_process.kill();
    m_process.waitForFinished(3000);
    return {};
}
