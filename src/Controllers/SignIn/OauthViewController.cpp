#include "Controllers/SignIn/OauthViewController.h"

#include "App/Costants.h"
#include "App/CrashReporter.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"
#include "Platform/WebView.h"
#include "Services/AuthenticationManager.h"
#include "Services/Config.h"

#include <QRegularExpression>

using namespace Costants;

namespace {

const QString kFailingUrlKey = QStringLiteral("NSErrorFailingURLStringKey");

} // namespace

OauthViewController::OauthViewController(QObject *parent)
    : WindowContentController(parent)
{}

OauthViewController::~OauthViewController()
{
    NotificationCenter::shared().removeObserver(this);
}

QString OauthViewController::authorizeUrl(const QUrl &authorizationHost, bool isSignup)
{
    QString base =
        authorizationHost.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::StripTrailingSlash);
    QString url = base + Oauth::authorizePath + QStringLiteral("?client_id=") + Oauth::clientId +
                  QStringLiteral("&redirect_uri=") + Oauth::redirectUri +
                  QStringLiteral("&response_type=") + QStringLiteral("code") +
                  QStringLiteral("&scope=") + QStringLiteral("qvapi%20offline_access");
    if (isSignup)
        url += QStringLiteral("&acr_values=") + QStringLiteral("register%20cmd:direct");
    else
        url += QStringLiteral("&acr_values=cmd:relogin,register&prompt=login");
    return url;
}

QString OauthViewController::redactedUrl(const QString &text)
{
    static const QRegularExpression secret(
        QStringLiteral("([?&#](?:code|access_token|refresh_token|id_token|client_secret)=)[^&#]*"));
    QString redacted = text;
    redacted.replace(secret, QStringLiteral("\\1<redacted>"));
    return redacted;
}

void OauthViewController::present()
{
    viewDidLoad();
}

void OauthViewController::raise()
{
    // A second click on "Sign in" while the window is open: the same page, in front again.
    if (m_webView && m_webView->isRunning()) {
        m_webView->load(m_webView->currentUrl());
        return;
    }
    // The web view went away (a redirect without a code): start the page afresh.
    NotificationCenter::shared().removeObserver(this);
    dismissWebView();
    viewDidLoad();
}

void OauthViewController::viewDidLoad()
{
    m_webView = Platform::current().createWebView();
    WebView *view = m_webView.get();
    connect(view, &WebView::didStart, this,
            [](const QUrl &url) { logLines({QStringLiteral("starting: ") + url.toString()}); });
    connect(view, &WebView::didCommit, this,
            [](const QUrl &url) { logLines({QStringLiteral("loading: ") + url.toString()}); });
    connect(view, &WebView::didLoad, this,
            [](const QUrl &url) { logLines({QStringLiteral("loaded: ") + url.toString()}); });
    connect(view, &WebView::didFail, this, [](const QUrl &, const QString &error) {
        logLines({QStringLiteral("error: ") + error});
    });
    connect(view, &WebView::didReceiveChallenge, this, [](const QUrl &url) {
        logLines({QStringLiteral("challenge: "), url.toString()});
    });
    connect(view, &WebView::didFailProvisionalNavigation, this,
            &OauthViewController::didFailProvisionalNavigation);
    connect(view, &WebView::closedByUser, this, &WindowContentController::closeRequested);
    connect(view, &WebView::crashed, this, &OauthViewController::webViewCrashed);

    // The redirect is refused before it is requested: nothing is ever sent to it.
    view->setInterceptedPrefix(Oauth::redirectUri);
    const QString url = authorizeUrl(Config::current().authorizationHost, m_isSignup);
    logLines({url});
    view->load(QUrl(url));
    logLines({QStringLiteral("View OAUTH")});
    NotificationCenter::shared().addObserver(
        this, NotificationViews::closeOauthWebview,
        [this](const Notification &) { handleNotification(); });
}

void OauthViewController::handleNotification()
{
    logLines({QStringLiteral("close webview oauth")});
    dismissWebView();
}

void OauthViewController::didFailProvisionalNavigation(const QString &error,
                                                       const QVariantMap &userInfo)
{
    Q_UNUSED(error)
    QVariantMap loggedInfo = userInfo;
    for (auto it = loggedInfo.begin(); it != loggedInfo.end(); ++it) {
        if (it.value().typeId() == QMetaType::QString)
            it.value() = redactedUrl(it.value().toString());
    }
    logLines({QStringLiteral("user:"), loggedInfo});
    const QString failing = userInfo.value(kFailingUrlKey).toString();
    logLines({QStringLiteral("fail LINK: ") + redactedUrl(failing)});
    if (!failing.startsWith(Oauth::redirectUri))
        return;
    logLines({QStringLiteral("it is my redirect URI <3")});
    NotificationCenter::shared().post(NotificationViews::closeOauthWebview);
    CrashReporter::capture(
        {QStringLiteral("info"), QStringLiteral("Internal Message: new login"), {}, {}});
    if (AuthenticationManager::shared().handleRedirect(failing)) {
        NotificationCenter::shared().post(NotificationViews::closeWindowOauth);
        logLines({QStringLiteral("oauth went good")});
    } else {
        logLines({QStringLiteral("oauth not so good")});
    }
}

void OauthViewController::webViewCrashed(const QString &reason)
{
    logLines({QStringLiteral("sign-in web view stopped: ") + reason});
    dismissWebView();
    emit closeRequested();
    [[maybe_unused]] const int answer = Platform::current().alerts().runModal(
        {QStringLiteral("Sign-in could not continue"),
         QStringLiteral("The sign-in window stopped unexpectedly (%1). Please try again.")
             .arg(reason),
         Alert::Style::Warning,
         {QStringLiteral("OK")}});
}

void OauthViewController::dismissWebView()
{
    if (!m_webView)
        return;
    m_webView->close();
    // It may be in the middle of emitting the signal that brought us here.
    m_webView.release()->deleteLater();
}

void OauthViewController::dismiss()
{
    NotificationCenter::shared().removeObserver(this);
    dismissWebView();
}
