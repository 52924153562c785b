#pragma once

#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <optional>

// The updater. Started without a request, it registers itself as the handler of the URL scheme
// and says so with a ReadyMark. On a "quorvella-updater://update?pathApp=…&pathZip=…&token=…"
// request that
// carries the one-time token the program stored, for the folder it stored, it copies the
// archive, waits until the running Quorvella has quit, extracts the new bundle beside the
// install, swaps it in with renames and starts it. The old bundle is kept until the new one
// reports healthy (see HealthMark); if it does not, it is ended and the old one is put back
// and started. Either way the handler goes when it is done. At its start it puts back a bundle
// left aside by a swap cut short and removes a handler whose updater is gone. Each step is one
// function.
class UpdaterApplication : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QString folder;  // holds the bundle, ends with "/"
        QString archive; // the new bundle's zip
        QString token;   // one-time, stored by the program before it handed over
    };

    // Ms to wait for the old program to quit and for the new one to report healthy.
    struct Timeouts
    {
        int quit = 60000;
        int start = 30000;        // until the new version is healthy
        int registration = 10000; // of the URL handler, the desktop's cache included
    };

    explicit UpdaterApplication(Timeouts timeouts, QObject *parent = nullptr);

    // Handles a request among the arguments, else registers the URL scheme. The archive must be
    // signed with a key built in (ArchiveSignature::trustedKeys). The program's exit status
    // follows: 0 updated (or registered), 1 rolled back, 2 bad request, 3 not registered.
    void run(const QStringList &arguments);

    [[nodiscard]] static std::optional<Request> parseRequest(const QUrl &url);
    // Whether `candidate` ("major.minor.patch") is a later version than `installed`.
    [[nodiscard]] static bool isNewer(const QString &installed, const QString &candidate);

    // Where a bundle states its version, inside the bundle.
    static inline const QString versionFileName = QStringLiteral("share/quorvella/version");

    static inline const QString bundleName = QStringLiteral("Quorvella.app");
    static inline const QString instanceName =
        QStringLiteral("com.quorvella.desktop.macos.Quorvella");

signals:
    void finished(int status);

private:
    void registerScheme();
    void schemeRegistered(const QString &program, bool registered);
    [[nodiscard]] bool authorize();
    [[nodiscard]] bool takeArchive();
    void waitForQuit();
    void stage();
    void swap();
    void repairHalfDoneSwap();
    void startNew();
    void waitForHealth();
    void endNew(bool force);
    void newStarted();
    void rollBack();
    void restartOld(int status);
    void finish(int status);

    [[nodiscard]] QString bundle() const { return m_request.folder + bundleName; }
    [[nodiscard]] QString staging() const { return m_staging ? m_staging->path() : QString(); }
    // Our private copy of the handed archive; its signature lies beside it.
    [[nodiscard]] QString archive() const
    {
        return m_work ? m_work->filePath(QStringLiteral("Quorvella.zip")) : QString();
    }
    [[nodiscard]] QString old() const
    {
        return m_request.folder + QStringLiteral(".Quorvella.old");
    }

    Timeouts m_timeouts;
    Request m_request;
    std::unique_ptr<QLockFile> m_lock;
    qint64 m_newPid = 0;
    QElapsedTimer m_sinceStart;
    QString m_installedVersion;
    std::unique_ptr<QTemporaryDir> m_work;    // private copies of what was handed
    std::unique_ptr<QTemporaryDir> m_staging; // the new bundle, beside the install
};
