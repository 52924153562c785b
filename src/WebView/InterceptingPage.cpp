#include "InterceptingPage.h"

InterceptingPage::InterceptingPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{}

bool InterceptingPage::acceptNavigationRequest(const QUrl &url, NavigationType type,
                                               bool isMainFrame)
{
    const QString text = url.toString(QUrl::FullyEncoded);
    if (!m_prefix.isEmpty() && text.startsWith(m_prefix)) {
        emit navigationRefused(text);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage *InterceptingPage::createWindow(WebWindowType)
{
    return this;
}
