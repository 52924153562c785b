#include "Platform/linux/ProcessWebView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <unistd.h>

namespace {

using Command = WebViewProtocol::Command;
using Event = WebViewProtocol::Event;

// How long the helper may take to shut its browser down before it is killed.
constexpr int closeGraceMs = 3000;

QProcessEnvironment helperEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The browser's own sandbox cannot run as root (CI does); as a user it stays on.
    if (::geteuid() == 0 && !environment.contains(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX")))
        environment.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    // The sign-in pages need no GPU; software drawing works on every X server (Xvfb and
    // virtual machines included) and spares the memory of a GPU process.
    const QString flagsName = QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS");
    QString flags = environment.value(flagsName);
    if (!flags.contains(QStringLiteral("--disable-gpu")))
        flags = (flags + QStringLiteral(" --disable-gpu")).trimmed();
    environment.insert(flagsName, flags);
    return environment;
}

} // namespace

ProcessWebView::ProcessWebView(QObject *parent)
    : WebView(parent)
{
    m_closeDeadline.setSingleShot(true);
    m_closeDeadline.setInterval(closeGraceMs);
    connect(&m_closeDeadline, &QTimer::timeout, this, [this] {
        if (m_process)
            m_process->kill();
    });
}

ProcessWebView::~ProcessWebView()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    if (m_process->state() == QProcess::NotRunning)
        return;
    // The helper is left to end on its own: end of input tells it that the window is gone, and
    // it is killed if it takes too long. Waiting for it here would freeze the GUI thread.
    QProcess *process = m_process;
    process->setParent(QCoreApplication::instance());
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(closeGraceMs, process, &QProcess::kill);
    process->closeWriteChannel();
}

QString ProcessWebView::helperPath()
{
    const QString overridden = qEnvironmentVariable("QUORVELLA_WEBVIEW");
    if (!overridden.isEmpty())
        return overridden;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quorvella-webview");
}

qint64 ProcessWebView::processId() const
{
    return m_process ? m_process->processId() : 0;
}

bool ProcessWebView::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning && !m_reported;
}

void ProcessWebView::load(const QUrl &url)
{
    ensureStarted();
    send({Command::Kind::Load, url, {}});
}

void ProcessWebView::setInterceptedPrefix(const QString &prefix)
{
    m_prefix = prefix;
    if (isRunning())
        send({Command::Kind::Intercept, {}, prefix});
}

void ProcessWebView::close()
{
    if (!isRunning())
        return;
    m_closing = true;
    send({Command::Kind::Close, {}, {}});
    m_process->closeWriteChannel();
    m_closeDeadline.start();
}

void ProcessWebView::ensureStarted()
{
    if (isRunning())
        return;
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_lines = {};
    m_committed = false;
    m_closing = false;
    m_reported = false;
    m_currentUrl.clear();

    m_process = new QProcess(this);
    m_process->setProcessEnvironment(helperEnvironment());
    // The engine's own diagnostics are noise for the program and may quote page addresses.
    if (qEnvironmentVariableIsEmpty("QUORVELLA_WEBVIEW_DEBUG"))
        m_process->setStandardErrorFile(QProcess::nullDevice());
    else
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ProcessWebView::onReadable);
    connect(m_process, &QProcess::finished, this, &ProcessWebView::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &ProcessWebView::onErrorOccurred);

    const QString program = helperPath();
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        m_process->deleteLater();
        m_process = nullptr;
        reportCrash(
            QStringLiteral("The sign-in window could not start: %1 is missing.").arg(program));
        return;
    }
    // Writes made before the process runs are kept and delivered once it does.
    m_process->start(program, {}, QIODevice::ReadWrite);
    if (!m_prefix.isEmpty())
        send({Command::Kind::Intercept, {}, m_prefix});
}

void ProcessWebView::send(const Command &command)
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        m_process->write(WebViewProtocol::encode(command));
}

void ProcessWebView::onReadable()
{
    QProcess *process = m_process;
    const QList<QByteArray> lines = m_lines.append(process->readAllStandardOutput());
    for (const QByteArray &line : lines) {
        // A slot may close or replace the helper; what it printed after that is not ours.
        if (process != m_process || m_reported)
            return;
        if (const std::optional<Event> event = WebViewProtocol::decodeEvent(line))
            handle(*event);
    }
}

void ProcessWebView::handle(const Event &event)
{
    if (event.kind != Event::Kind::Ready && event.kind != Event::Kind::Closed)
        m_currentUrl = event.url;
    switch (event.kind) {
    case Event::Kind::Ready:
        break;
    case Event::Kind::Started:
        m_committed = false;
        emit didStart(event.url);
        break;
    case Event::Kind::Loading:
        if (!m_committed) {
            m_committed = true;
            emit didCommit(event.url);
        }
        emit progressChanged(event.progress);
        break;
    case Event::Kind::Loaded:
        // A failed load has already been told by its error event.
        if (event.ok)
            emit didLoad(event.url);
        break;
    case Event::Kind::Error:
        emit didFail(event.url, event.error);
        break;
    case Event::Kind::FailedProvisional:
        emit didFailProvisionalNavigation(event.error, event.userInfo);
        break;
    case Event::Kind::Challenge:
        emit didReceiveChallenge(event.url);
        break;
    case Event::Kind::Closed:
        m_closing = true;
        if (event.byUser && !m_reported) {
            m_reported = true;
            emit closedByUser();
        }
        break;
    }
}

void ProcessWebView::onFinished(int exitCode, QProcess::ExitStatus status)
{
    m_closeDeadline.stop();
    // Events still buffered in the pipe come before the end.
    if (m_process && m_process->bytesAvailable() > 0)
        onReadable();
    if (m_closing || m_reported)
        return;
    if (status == QProcess::CrashExit)
        reportCrash(QStringLiteral("The sign-in window stopped unexpectedly."));
    else
        reportCrash(
            QStringLiteral("The sign-in window ended unexpectedly (exit code %1).").arg(exitCode));
}

void ProcessWebView::onErrorOccurred(QProcess::ProcessError error)
{
    // Crashes arrive through finished(); only a start that failed has no finish.
    if (error == QProcess::FailedToStart && !m_reported)
        reportCrash(QStringLiteral("The sign-in window could not start: %1")
                        .arg(m_process ? m_process->errorString() : QString()));
}

void ProcessWebView::reportCrash(const QString &reason)
{
    if (m_reported)
        return;
    m_reported = true;
    // Never from inside the caller's load(): its owner may delete this object on the signal.
    QMetaObject::invokeMethod(
        this, [this, reason] { emit crashed(reason); }, Qt::QueuedConnection);
}
