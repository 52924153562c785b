#pragma once

#include "Views/WindowContentController.h"

#include <QUrl>
#include <QVariantMap>

#include <memory>

class WebView;

// The sign-in web view on the authorization server's authorize page. The redirect back to the
// registered redirect URI is never loaded: it fails, and its URL carries the code.
class OauthViewController : public WindowContentController
{
    Q_OBJECT

public:
    explicit OauthViewController(QObject *parent = nullptr);
    ~OauthViewController() override;

    void setIsSignup(bool isSignup) { m_isSignup = isSignup; }
    [[nodiscard]] bool isSignup() const { return m_isSignup; }
    [[nodiscard]] WebView *webView() const { return m_webView.get(); }

    void present() override;
    void raise() override;
    void dismiss() override;

    // The authorize URL, built by plain concatenation (the redirect URI goes in as it is).
    [[nodiscard]] static QString authorizeUrl(const QUrl &authorizationHost, bool isSignup);
    // The text with the values of credential query items replaced, for the log.
    [[nodiscard]] static QString redactedUrl(const QString &text);

private:
    void viewDidLoad();
    void handleNotification();
    void didFailProvisionalNavigation(const QString &error, const QVariantMap &userInfo);
    void webViewCrashed(const QString &reason);
    void dismissWebView();

    std::unique_ptr<WebView> m_webView;
    bool m_isSignup = false;
};
