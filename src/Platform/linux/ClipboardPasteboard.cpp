#include "Platform/linux/ClipboardPasteboard.h"

#include "App/Logger.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

namespace {

const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");

// Qt waits up to 5 s for an X11 selection owner; an empty answer after this long means the
// owner did not answer at all.
constexpr qint64 slowReadMs = 1000;

bool onGuiThread()
{
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

} // namespace

ClipboardPasteboard::ClipboardPasteboard()
{
    QCoreApplication *application = QCoreApplication::instance();
    Q_ASSERT(application);
    if (QThread::currentThread() != application->thread())
        moveToThread(application->thread());

    // dataChanged is emitted for the clipboard selection on every change, also when another
    // X11 client takes the selection over (Qt watches owner changes through XFixes).
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &ClipboardPasteboard::scheduleRefresh);

    if (onGuiThread()) {
        refresh();
        const QMutexLocker locker(&m_mutex);
        m_changeCount = 0;
    } else {
        QMetaObject::invokeMethod(this, &ClipboardPasteboard::refresh, Qt::QueuedConnection);
    }
}

ClipboardPasteboard::~ClipboardPasteboard() = default;

qint64 ClipboardPasteboard::changeCount() const
{
    const QMutexLocker locker(&m_mutex);
    return m_changeCount;
}

PasteboardSnapshot ClipboardPasteboard::snapshot() const
{
    const QMutexLocker locker(&m_mutex);
    return {m_changeCount, m_items};
}

bool ClipboardPasteboard::setString(const QString &text)
{
    if (onGuiThread())
        return writeOnGuiThread(text);
    if (!QCoreApplication::instance())
        return false;
    bool accepted = false;
    QMetaObject::invokeMethod(
        this, [this, &text] { return writeOnGuiThread(text); }, Qt::BlockingQueuedConnection,
        &accepted);
    return accepted;
}

bool ClipboardPasteboard::isMarkedSecret(const QMimeData &data, const QStringList &formats)
{
    return formats.contains(passwordManagerHint) &&
           data.data(passwordManagerHint).trimmed() == QByteArrayLiteral("secret");
}

void ClipboardPasteboard::scheduleRefresh()
{
    ++m_pendingChanges;
    if (m_pendingChanges == 1)
        QTimer::singleShot(0, this, &ClipboardPasteboard::refresh);
}

void ClipboardPasteboard::refresh()
{
    std::optional<QList<PasteboardItem>> items;
    if (const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)) {
        // On X11 each question to another program's clipboard may wait up to Qt's timeout
        // for an owner that does not answer. The format list is asked for once and reused,
        // and when the owner did not answer it, its content is not asked for at all.
        QElapsedTimer elapsed;
        elapsed.start();
        const QStringList formats = data->formats();
        QList<PasteboardItem> list;
        if (formats.isEmpty() && elapsed.elapsed() > slowReadMs) {
            Logger::shared().log({QStringLiteral("the clipboard owner does not answer")});
        } else if (!isMarkedSecret(*data, formats)) {
            // A secret is dropped as a whole: not read, not kept, not handed to anybody.
            const bool hasText = formats.contains(QLatin1String("text/plain"));
            list.append(PasteboardItem{hasText ? std::optional(data->text()) : std::nullopt});
        }
        items = list;
    }

    const int changes = qMax(1, m_pendingChanges);
    m_pendingChanges = 0;
    // Count and items change together, so a tick never pairs a new count with old items.
    const QMutexLocker locker(&m_mutex);
    m_changeCount += changes;
    m_items = items;
}

bool ClipboardPasteboard::writeOnGuiThread(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto *data = new QMimeData;
    data->setText(text);
    // setMimeData replaces every format at once: the clipboard is cleared and set in one step.
    clipboard->setMimeData(data, QClipboard::Clipboard);
    if (clipboard->ownsClipboard())
        return true;
    // Platforms without selection ownership keep the data in the process; read it back.
    const QMimeData *now = clipboard->mimeData(QClipboard::Clipboard);
    return now && now->hasText() && now->text() == text;
}
