#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

// A page that refuses every navigation to addresses starting with a prefix (the sign-in
// redirect address), so that no request for it is ever sent; each refusal is announced.
class InterceptingPage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit InterceptingPage(QWebEngineProfile *profile, QObject *parent = nullptr);

    void setInterceptedPrefix(const QString &prefix) { m_prefix = prefix; }

signals:
    // `url` exactly as the navigation asked for it.
    void navigationRefused(const QString &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    // Links that ask for a new window open in this one: the helper shows one page only.
    QWebEnginePage *createWindow(WebWindowType type) override;
    // The page's console is not ours to print: it may quote addresses with secrets in them.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                  const QString &) override
    {}

private:
    QString m_prefix;
};
