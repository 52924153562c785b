#pragma once

#include "Platform/WebView.h"
#include "Platform/linux/WebViewProtocol.h"

#include <QList>

// A web view that records what it was asked to do and lets a test play each navigation
// event, in the order and with the addresses a real browser would report.
class FakeWebView : public WebView
{
    Q_OBJECT

public:
    using WebView::WebView;

    void load(const QUrl &url) override
    {
        loads.append(url);
        running = true;
    }
    void setInterceptedPrefix(const QString &prefix) override { interceptedPrefix = prefix; }
    void close() override
    {
        ++closeCalls;
        running = false;
    }
    [[nodiscard]] bool isRunning() const override { return running; }
    [[nodiscard]] QUrl currentUrl() const override { return current; }

    void start(const QUrl &url)
    {
        current = url;
        emit didStart(url);
    }
    void commit(const QUrl &url)
    {
        current = url;
        emit didCommit(url);
    }
    void finish(const QUrl &url)
    {
        current = url;
        emit didLoad(url);
    }
    void fail(const QUrl &url, const QString &error)
    {
        current = url;
        emit didFail(url, error);
    }
    // A navigation to `failingUrl` that never loaded; the view stays where it was.
    void failProvisional(const QString &failingUrl,
                         const QString &error = QStringLiteral("not loaded"))
    {
        emit didFailProvisionalNavigation(error,
                                          WebViewProtocol::failureUserInfo(failingUrl, error));
    }
    // Plays a whole page load: start, commit, finish.
    void loadPage(const QUrl &url)
    {
        start(url);
        commit(url);
        finish(url);
    }
    void challenge(const QUrl &url) { emit didReceiveChallenge(url); }
    void userCloses()
    {
        running = false;
        emit closedByUser();
    }
    void crash(const QString &reason = QStringLiteral("helper stopped"))
    {
        running = false;
        emit crashed(reason);
    }

    QList<QUrl> loads;
    QString interceptedPrefix;
    QUrl current;
    int closeCalls = 0;
    bool running = false;
};
