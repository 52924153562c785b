#pragma once

#include "Platform/linux/WebViewProtocol.h"

#include <QObject>
#include <QString>

class InterceptingPage;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class SignInWindow;
class StdinReader;

// The helper's whole job: commands from standard input drive the page, and everything the
// page does is reported as events on standard output.
class WebViewHelper : public QObject
{
    Q_OBJECT

public:
    explicit WebViewHelper(QObject *parent = nullptr);
    ~WebViewHelper() override;

    // Shows the window and says it is ready for commands.
    void start();

signals:
    // Nothing more will happen: the application may quit.
    void finished();

private:
    void onInput(const QByteArray &chunk);
    void execute(const WebViewProtocol::Command &command);
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onNavigationRefused(const QString &url);
    void emitEvent(const WebViewProtocol::Event &event);
    void finish(bool byUser);

    QWebEngineProfile *m_profile = nullptr;
    InterceptingPage *m_page = nullptr;
    SignInWindow *m_window = nullptr;
    StdinReader *m_input = nullptr;
    WebViewLineBuffer m_lines;
    QUrl m_navigationUrl; // of the navigation in progress
    int m_lastProgress = -1;
    // A refused navigation still starts (when the page asked for it) and ends as a stopped
    // or failed load; its failure was already reported, so both are swallowed.
    QString m_refusedUrl;
    bool m_refusalPending = false;
    bool m_finished = false;
};
