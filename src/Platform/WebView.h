#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

// The embedded browser of the sign-in window. It shows its own title-less window while it
// runs; navigation events arrive as signals on the thread that created it (the GUI thread).
class WebView : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~WebView() override = default;

    // Shows the window if it is not shown yet and navigates it to `url`.
    virtual void load(const QUrl &url) = 0;
    // Navigations to addresses starting with `prefix` are refused before any request is
    // sent and reported through didFailProvisionalNavigation. Empty: nothing is refused.
    virtual void setInterceptedPrefix(const QString &prefix) = 0;
    // Closes the window; no closedByUser and no crashed follow.
    virtual void close() = 0;
    [[nodiscard]] virtual bool isRunning() const = 0;
    // The address the view shows now (its last reported one).
    [[nodiscard]] virtual QUrl currentUrl() const = 0;

signals:
    void didStart(const QUrl &url);
    // The first content of a navigation arrived (once per navigation).
    void didCommit(const QUrl &url);
    void progressChanged(int percent);
    void didLoad(const QUrl &url);
    void didFail(const QUrl &url, const QString &error);
    // A navigation that never loaded, the refused redirect among them; userInfo holds the
    // failing address under "NSErrorFailingURLStringKey".
    void didFailProvisionalNavigation(const QString &error, const QVariantMap &userInfo);
    // The server asked for credentials or showed a certificate that was not trusted; the
    // view answers with its default handling (no credentials, untrusted certificates refused).
    void didReceiveChallenge(const QUrl &url);
    void closedByUser();
    // The browser could not start or stopped on its own; the window is gone.
    void crashed(const QString &reason);
};
