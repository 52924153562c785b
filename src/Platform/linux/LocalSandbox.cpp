#include "Platform/linux/LocalSandbox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

LocalSandbox::LocalSandbox(QObject *parent)
    : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("the sandbox service did not say where it listens")); });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &LocalSandbox::readListeningLine);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(QStringLiteral("the sandbox service did not start: %1")
                     .arg(m_process.errorString()));
    });
    connect(&m_process, &QProcess::finished, this,
            [this] { fail(QStringLiteral("the sandbox service ended before it was ready")); });
}

LocalSandbox::~LocalSandbox()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // The event loop has ended by now; a killed child is reaped at once, so nothing lingers.
    m_process.closeWriteChannel();
    m_process.kill();
    m_process.waitForFinished(1000);
}

QString LocalSandbox::executablePath()
{
    const QString fromEnvironment = qEnvironmentVariable("QUORVELLA_SANDBOX");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quorvella-sandbox");
}

void LocalSandbox::start(int timeoutMs)
{
    const QString program = executablePath();
    if (!QFileInfo(program).isExecutable()) {
        const QString reason = QStringLiteral("the sandbox service is not installed at %1");
        QMetaObject::invokeMethod(
            this, [this, reason, program] { fail(reason.arg(program)); }, Qt::QueuedConnection);
        return;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_deadline.start(timeoutMs);
    m_process.start(program, {QStringLiteral("--exit-on-stdin-eof")});
}

void LocalSandbox::readListeningLine()
{
    static const QRegularExpression listening(
        QStringLiteral("^quorvella-sandbox listening on (http://127\\.0\\.0\\.1:\\d+)\\s*$"));
    if (m_answered) {
        m_process.readAllStandardOutput(); // what it says later is not ours to keep
        return;
    }
    while (!m_answered && m_process.canReadLine()) {
        const QRegularExpressionMatch match =
            listening.match(QString::fromUtf8(m_process.readLine()));
        if (match.hasMatch()) {
            m_answered = true;
            m_deadline.stop();
            emit ready(QUrl(match.captured(1)));
        }
    }
}

void LocalSandbox::fail(const QString &reason)
{
    if (m_answered)
        return;
    m_answered = true;
    m_deadline.stop();
    m_process.kill();
    emit failed(reason);
}
