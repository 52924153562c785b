#include "WebViewHelper.h"

#include "InterceptingPage.h"
#include "SignInWindow.h"
#include "StdinReader.h"

#include <QAuthenticator>
#include <QGuiApplication>
#include <QScreen>
#include <QWebEngineCertificateError>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

#include <cstdio>

namespace {

using Command = WebViewProtocol::Command;
using Event = WebViewProtocol::Event;

Event eventOf(Event::Kind kind, const QUrl &url)
{
    Event event;
    event.kind = kind;
    event.url = url;
    return event;
}

} // namespace

WebViewHelper::WebViewHelper(QObject *parent)
    : QObject(parent)
    // No storage name: an off-the-record profile, so cookies, cache and form data of the
    // sign-in live in memory only and vanish with the helper.
    , m_profile(new QWebEngineProfile(this))
    , m_page(new InterceptingPage(m_profile, this))
    , m_window(new SignInWindow(m_page))
    , m_input(new StdinReader(this))
{
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);

    connect(m_input, &StdinReader::received, this, &WebViewHelper::onInput);
    connect(m_input, &StdinReader::endOfInput, this, [this] { finish(false); });
    connect(m_window, &SignInWindow::closedByUser, this, [this] { finish(true); });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] { finish(true); });
    connect(m_page, &InterceptingPage::navigationRefused, this,
            &WebViewHelper::onNavigationRefused);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebViewHelper::onLoadingChanged);
    connect(m_page, &QWebEnginePage::loadProgress, this, [this](int progress) {
        // Nothing has arrived at 0 yet: a navigation that is refused gets that far too.
        if (progress == 0 || progress == m_lastProgress || m_refusalPending)
            return;
        m_lastProgress = progress;
        Event event = eventOf(Event::Kind::Loading, m_navigationUrl);
        event.progress = progress;
        emitEvent(event);
    });
    connect(m_page, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl &url, QAuthenticator *) {
                // Left unanswered: the request goes on without credentials.
                emitEvent(eventOf(Event::Kind::Challenge, url));
            });
    connect(m_page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl &url, QAuthenticator *, const QString &) {
                emitEvent(eventOf(Event::Kind::Challenge, url));
            });
    connect(m_page, &QWebEnginePage::certificateError, this,
            [this](const QWebEngineCertificateError &error) {
                // Not deferred and not accepted: an untrusted certificate is refused.
                emitEvent(eventOf(Event::Kind::Challenge, error.url()));
            });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status == QWebEnginePage::NormalTerminationStatus)
                    return;
                Event event = eventOf(Event::Kind::Error, m_page->url());
                event.error = QStringLiteral("The page's process ended unexpectedly.");
                emitEvent(event);
            });
}

WebViewHelper::~WebViewHelper()
{
    // The view before its page, the page before its profile.
    delete m_window;
    delete m_page;
    delete m_profile;
}

void WebViewHelper::start()
{
    // Centred: with no title bar, a window placed at a corner is easy to miss.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    emitEvent(eventOf(Event::Kind::Ready, {}));
}

void WebViewHelper::onInput(const QByteArray &chunk)
{
    for (const QByteArray &line : m_lines.append(chunk)) {
        if (m_finished)
            return;
        // Lines that are not commands are skipped: the program may be newer than us.
        if (const std::optional<Command> command = WebViewProtocol::decodeCommand(line))
            execute(*command);
    }
}

void WebViewHelper::execute(const Command &command)
{
    switch (command.kind) {
    case Command::Kind::Load:
        m_page->load(command.url);
        m_window->raise();
        m_window->activateWindow();
        break;
    case Command::Kind::Intercept:
        m_page->setInterceptedPrefix(command.prefix);
        break;
    case Command::Kind::Close:
        finish(false);
        break;
    }
}

void WebViewHelper::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        if (m_refusalPending && info.url().toString(QUrl::FullyEncoded) == m_refusedUrl)
            return;
        m_refusalPending = false;
        m_navigationUrl = info.url();
        m_lastProgress = -1;
        emitEvent(eventOf(Event::Kind::Started, info.url()));
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus: {
        Event event = eventOf(Event::Kind::Loaded, info.url());
        event.ok = true;
        emitEvent(event);
        return;
    }
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        break;
    }
    if (m_refusalPending) {
        m_refusalPending = false;
        m_refusedUrl.clear();
        return;
    }
    // A page the server sent with an error status still loaded, as in any browser.
    const bool loaded = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain;
    if (!loaded) {
        Event error = eventOf(Event::Kind::Error, info.url());
        error.error =
            info.errorString().isEmpty()
                ? QStringLiteral("The page could not be loaded (error %1).").arg(info.errorCode())
                : info.errorString();
        emitEvent(error);
    }
    Event event = eventOf(Event::Kind::Loaded, info.url());
    event.ok = loaded;
    emitEvent(event);
}

void WebViewHelper::onNavigationRefused(const QString &url)
{
    m_refusalPending = true;
    m_refusedUrl = url;
    Event event = eventOf(Event::Kind::FailedProvisional, m_page->url());
    event.failingUrl = url;
    event.error = QStringLiteral("The navigation to the redirect address was not loaded.");
    event.userInfo = WebViewProtocol::failureUserInfo(url, event.error);
    emitEvent(event);
}

void WebViewHelper::emitEvent(const Event &event)
{
    if (m_finished)
        return;
    const QByteArray line = WebViewProtocol::encode(event);
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

void WebViewHelper::finish(bool byUser)
{
    if (m_finished)
        return;
    Event event;
    event.kind = Event::Kind::Closed;
    event.byUser = byUser;
    emitEvent(event);
    m_finished = true;
    m_window->closeByProgram();
    emit finished();
}
