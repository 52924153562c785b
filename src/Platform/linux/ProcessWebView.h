#pragma once

#include "Platform/WebView.h"
#include "Platform/linux/WebViewProtocol.h"

#include <QProcess>
#include <QTimer>

// The web view as a child process, `quorvella-webview`, so that the tray program never
// carries the browser engine's memory. The helper is started by the first command and
// ends with close(), with this object, or when the user closes its window.
class ProcessWebView : public WebView
{
    Q_OBJECT

public:
    explicit ProcessWebView(QObject *parent = nullptr);
    ~ProcessWebView() override;

    void load(const QUrl &url) override;
    void setInterceptedPrefix(const QString &prefix) override;
    void close() override;
    [[nodiscard]] bool isRunning() const override;
    [[nodiscard]] QUrl currentUrl() const override { return m_currentUrl; }

    // The helper next to the program, or the one named by QUORVELLA_WEBVIEW.
    [[nodiscard]] static QString helperPath();
    // The process id of the running helper, 0 when none runs.
    [[nodiscard]] qint64 processId() const;

private:
    void ensureStarted();
    void send(const WebViewProtocol::Command &command);
    void onReadable();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onErrorOccurred(QProcess::ProcessError error);
    void handle(const WebViewProtocol::Event &event);
    void reportCrash(const QString &reason);

    QProcess *m_process = nullptr;
    WebViewLineBuffer m_lines;
    QString m_prefix;
    QUrl m_currentUrl;
    QTimer m_closeDeadline;
    bool m_committed = false;
    bool m_closing = false;  // close() was called or the helper said it closed
    bool m_reported = false; // crashed or closedByUser already emitted for this helper
};
