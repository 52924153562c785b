#include "Platform/linux/DataControlConnection.h"

#include "App/Logger.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The text types, best first; the same three are offered when we set the clipboard.
const char *const textTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING"};
const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");

// An owner that has not finished writing after this long is taken as one that never will.
constexpr int readTimeoutMs = 3000;
// A reader that has not taken our text after this long is given up on.
constexpr int writeTimeoutMs = 5000;
// Clipboard texts beyond this are no addresses; they are not kept.
constexpr qsizetype maxTextBytes = 1 << 20;

void log(const QString &line)
{
    Logger::shared().log({line});
}

// Both managers describe the same objects under two names; one template serves both.
#define QUORVELLA_DATA_CONTROL_TRAITS(Name, prefix, maxVersion)                                    \
    struct Name                                                                                    \
    {                                                                                              \
        using Manager = prefix##_manager_v1;                                                       \
        using Device = prefix##_device_v1;                                                         \
        using Source = prefix##_source_v1;                                                         \
        using Offer = prefix##_offer_v1;                                                           \
        using DeviceListener = prefix##_device_v1_listener;                                        \
        using SourceListener = prefix##_source_v1_listener;                                        \
        using OfferListener = prefix##_offer_v1_listener;                                          \
        static constexpr uint32_t version = maxVersion;                                            \
        static const wl_interface *manager() { return &prefix##_manager_v1_interface; }            \
        static Source *createSource(Manager *m)                                                    \
        {                                                                                          \
            return prefix##_manager_v1_create_data_source(m);                                      \
        }                                                                                          \
        static Device *getDevice(Manager *m, wl_seat *s)                                           \
        {                                                                                          \
            return prefix##_manager_v1_get_data_device(m, s);                                      \
        }                                                                                          \
        static void destroy(Manager *m) { prefix##_manager_v1_destroy(m); }                        \
        static void destroy(Device *d) { prefix##_device_v1_destroy(d); }                          \
        static void destroy(Source *s) { prefix##_source_v1_destroy(s); }                          \
        static void destroy(Offer *o) { prefix##_offer_v1_destroy(o); }                            \
        static void offer(Source *s, const char *type) { prefix##_source_v1_offer(s, type); }      \
        static void setSelection(Device *d, Source *s) { prefix##_device_v1_set_selection(d, s); } \
        static void receive(Offer *o, const char *type, int fd)                                    \
        {                                                                                          \
            prefix##_offer_v1_receive(o, type, fd);                                                \
        }                                                                                          \
        static void listen(Device *d, const DeviceListener *l, void *data)                         \
        {                                                                                          \
            prefix##_device_v1_add_listener(d, l, data);                                           \
        }                                                                                          \
        static void listen(Source *s, const SourceListener *l, void *data)                         \
        {                                                                                          \
            prefix##_source_v1_add_listener(s, l, data);                                           \
        }                                                                                          \
        static void listen(Offer *o, const OfferListener *l, void *data)                           \
        {                                                                                          \
            prefix##_offer_v1_add_listener(o, l, data);                                            \
        }                                                                                          \
    }

QUORVELLA_DATA_CONTROL_TRAITS(ExtProtocol, ext_data_control, 1);
QUORVELLA_DATA_CONTROL_TRAITS(WlrProtocol, zwlr_data_control, 2);
#undef QUORVELLA_DATA_CONTROL_TRAITS

// Sends a sync and dispatches until its answer came, or the time is up.
bool roundtripWithin(wl_display *display, int timeoutMs)
{
    bool done = false;
    static const wl_callback_listener answered{[](void *data, wl_callback *, uint32_t) {
        *static_cast<bool *>(data) = true;
    }};
    wl_callback *callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &answered, &done);
    const QDeadlineTimer deadline(timeoutMs);
    bool failed = false;
    while (!done && !failed) {
        if (wl_display_prepare_read(display) != 0) {
            failed = wl_display_dispatch_pending(display) < 0;
            continue;
        }
        wl_display_flush(display);
        pollfd readable{wl_display_get_fd(display), POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(deadline.remainingTime()));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            failed = ready == 0 || errno != EINTR;
            continue;
        }
        failed = wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0;
    }
    wl_callback_destroy(callback);
    return done;
}

// Reads a pipe to its end without blocking; gives up after a time or beyond a size.
class PipeReader : public QObject
{
public:
    enum class Outcome { Complete, TooLong, TimedOut, Failed };
    using Done = std::function<void(Outcome, const QByteArray &)>;

    PipeReader(int fd, Done done)
        : m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read)
        , m_done(std::move(done))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeReader::readMore);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { finish(Outcome::TimedOut); });
        m_timer.start(readTimeoutMs);
    }
    ~PipeReader() override { ::close(m_fd); }

private:
    void readMore()
    {
        char buffer[16384];
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got > 0) {
                m_data.append(buffer, got);
                if (m_data.size() > maxTextBytes)
                    return finish(Outcome::TooLong);
            } else if (got == 0) {
                return finish(Outcome::Complete);
            } else if (errno != EINTR) {
                if (errno != EAGAIN)
                    finish(Outcome::Failed);
                return;
            }
        }
    }
    void finish(Outcome outcome)
    {
        m_notifier.setEnabled(false);
        m_timer.stop();
        if (Done done = std::exchange(m_done, nullptr))
            done(outcome, m_data);
    }

    int m_fd;
    QSocketNotifier m_notifier;
    QTimer m_timer;
    QByteArray m_data;
    Done m_done;
};

// Writes our text into the pipe of a program that pasted it, without blocking, and closes
// it; deletes itself when done or given up.
class PipeWriter : public QObject
{
public:
    PipeWriter(int fd, QByteArray data, QObject *parent)
        : QObject(parent)
        , m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Write)
        , m_data(std::move(data))
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeWriter::writeMore);
        QTimer::singleShot(writeTimeoutMs, this, &PipeWriter::finish);
        writeMore();
    }
    ~PipeWriter() override { ::close(m_fd); }

private:
    void writeMore()
    {
        while (m_written < m_data.size()) {
            const ssize_t put =
                ::write(m_fd, m_data.constData() + m_written, size_t(m_data.size() - m_written));
            if (put > 0) {
                m_written += put;
            } else if (put < 0 && errno == EINTR) {
                continue;
            } else {
                // EAGAIN: the notifier says when there is room; anything else ends it.
                if (put < 0 && errno == EAGAIN)
                    return;
                break;
            }
        }
        finish();
    }
    void finish()
    {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    QSocketNotifier m_notifier;
    QByteArray m_data;
    qsizetype m_written = 0;
};

} // namespace

class DataControlConnection::Session
{
public:
    virtual ~Session() = default;
    virtual void offerText(const QByteArray &utf8) = 0;
};

namespace {

template<typename P>
class DataControlSession final : public DataControlConnection::Session
{
public:
    using Publish = DataControlConnection::Publish;

    DataControlSession(DataControlConnection *owner, Publish publish, std::atomic<bool> &open)
        : m_owner(owner)
        , m_publish(std::move(publish))
        , m_open(open)
    {}

    ~DataControlSession() override
    {
        m_reader.reset();
        m_notifier.reset();
        for (auto it = m_offers.cbegin(); it != m_offers.cend(); ++it)
            P::destroy(it.key());
        for (auto it = m_sources.cbegin(); it != m_sources.cend(); ++it)
            P::destroy(it.key());
        if (m_device)
            P::destroy(m_device);
        if (m_manager)
            P::destroy(m_manager);
        if (m_seat)
            wl_seat_destroy(m_seat);
        if (m_registry)
            wl_registry_destroy(m_registry);
        if (m_display)
            wl_display_disconnect(m_display);
        m_open.store(false);
    }

    bool connect()
    {
        m_display = wl_display_connect(nullptr);
        if (!m_display)
            return fail(QStringLiteral("cannot connect to the Wayland compositor"));
        m_registry = wl_display_get_registry(m_display);
        static const wl_registry_listener globals{&DataControlSession::global,
                                                  [](void *, wl_registry *, uint32_t) {
                                                  }};
        wl_registry_add_listener(m_registry, &globals, this);
        if (!roundtripWithin(m_display, 2000))
            return fail(QStringLiteral("the Wayland compositor did not answer"));
        if (!m_seat || !m_manager)
            return fail(QStringLiteral("the Wayland compositor offers no seat or data-control "
                                       "manager"));
        m_device = P::getDevice(m_manager, m_seat);
        static const typename P::DeviceListener deviceEvents{
            &DataControlSession::dataOffer, &DataControlSession::selection,
            &DataControlSession::finished, &DataControlSession::primarySelection};
        P::listen(m_device, &deviceEvents, this);
        wl_display_flush(m_display);
        m_notifier =
            std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_owner,
                         [this] { dispatch(); });
        m_open.store(true);
        return true;
    }

    void offerText(const QByteArray &utf8) override
    {
        if (!m_open.load())
            return;
        typename P::Source *source = P::createSource(m_manager);
        static const typename P::SourceListener sourceEvents{&DataControlSession::send,
                                                             &DataControlSession::cancelled};
        P::listen(source, &sourceEvents, this);
        for (const char *type : textTypes)
            P::offer(source, type);
        m_sources.insert(source, utf8);
        P::setSelection(m_device, source);
        wl_display_flush(m_display);
    }

private:
    bool fail(const QString &reason)
    {
        log(QStringLiteral("clipboard: ") + reason);
        return false;
    }

    void dispatch()
    {
        if (wl_display_prepare_read(m_display) == 0 && wl_display_read_events(m_display) < 0)
            return lost();
        if (wl_display_dispatch_pending(m_display) < 0)
            return lost();
        wl_display_flush(m_display);
    }

    void lost()
    {
        log(QStringLiteral("clipboard: the Wayland connection was lost; copies are no longer "
                           "seen"));
        m_notifier->setEnabled(false);
        m_open.store(false);
    }

    static void global(void *data, wl_registry *registry, uint32_t name, const char *interface,
                       uint32_t version)
    {
        auto *self = static_cast<DataControlSession *>(data);
        if (!self->m_seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
            self->m_seat =
                static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (!self->m_manager && std::strcmp(interface, P::manager()->name) == 0) {
            self->m_manager = static_cast<typename P::Manager *>(
                wl_registry_bind(registry, name, P::manager(), std::min(version, P::version)));
        }
    }

    static void dataOffer(void *data, typename P::Device *, typename P::Offer *offer)
    {
        auto *self = static_cast<DataControlSession *>(data);
        static const typename P::OfferListener offerEvents{&DataControlSession::offerType};
        P::listen(offer, &offerEvents, self);
        self->m_offers.insert(offer, {});
    }

    static void offerType(void *data, typename P::Offer *offer, const char *type)
    {
        auto *self = static_cast<DataControlSession *>(data);
        if (self->m_offers.contains(offer))
            self->m_offers[offer].append(QString::fromUtf8(type));
    }

    static void selection(void *data, typename P::Device *, typename P::Offer *offer)
    {
        static_cast<DataControlSession *>(data)->takeSelection(offer);
    }

    static void primarySelection(void *data, typename P::Device *, typename P::Offer *offer)
    {
        // Only the clipboard counts; the primary selection changes with every mouse drag.
        static_cast<DataControlSession *>(data)->drop(offer);
    }

    static void finished(void *data, typename P::Device *)
    {
        auto *self = static_cast<DataControlSession *>(data);
        P::destroy(self->m_device);
        self->m_device = nullptr;
        self->lost();
    }

    static void send(void *data, typename P::Source *source, const char *, int32_t fd)
    {
        auto *self = static_cast<DataControlSession *>(data);
        // Every request until the source is replaced gets the whole text.
        new PipeWriter(fd, self->m_sources.value(source), self->m_owner);
    }

    static void cancelled(void *data, typename P::Source *source)
    {
        auto *self = static_cast<DataControlSession *>(data);
        self->m_sources.remove(source);
        P::destroy(source);
    }

    void drop(typename P::Offer *offer)
    {
        if (offer && m_offers.remove(offer))
            P::destroy(offer);
    }

    void takeSelection(typename P::Offer *offer)
    {
        // The selection found at connection was there before the program started: it is
        // read, but it is no change.
        if (m_sawSelection)
            ++m_pendingChanges;
        m_sawSelection = true;
        m_reader.reset();
        if (m_selection != offer)
            drop(m_selection);
        m_selection = offer;
        if (!offer)
            return publish(std::nullopt);

        const QStringList types = m_offers.value(offer);
        if (types.contains(passwordManagerHint)) {
            // A password manager's copy is dropped whole: never read, kept or handed on.
            return publish(QList<PasteboardItem>{});
        }
        const char *chosen = nullptr;
        for (const char *type : textTypes) {
            if (!chosen && types.contains(QLatin1String(type)))
                chosen = type;
        }
        if (!chosen)
            return publish(QList<PasteboardItem>{PasteboardItem{}});
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            log(QStringLiteral("clipboard: no pipe to read the clipboard: ") +
                QString::fromLocal8Bit(std::strerror(errno)));
            return publish(QList<PasteboardItem>{PasteboardItem{}});
        }
        P::receive(offer, chosen, fds[1]);
        wl_display_flush(m_display);
        ::close(fds[1]);
        m_reader = std::make_unique<PipeReader>(
            fds[0], [this](PipeReader::Outcome outcome, const QByteArray &bytes) {
                m_reader.release()->deleteLater();
                read(outcome, bytes);
            });
    }

    void read(PipeReader::Outcome outcome, const QByteArray &bytes)
    {
        switch (outcome) {
        case PipeReader::Outcome::Complete:
            return publish(QList<PasteboardItem>{PasteboardItem{QString::fromUtf8(bytes)}});
        case PipeReader::Outcome::TimedOut:
            log(QStringLiteral("the clipboard owner does not answer"));
            return publish(QList<PasteboardItem>{});
        case PipeReader::Outcome::TooLong:
        case PipeReader::Outcome::Failed:
            break;
        }
        publish(QList<PasteboardItem>{PasteboardItem{}});
    }

    void publish(std::optional<QList<PasteboardItem>> items)
    {
        m_publish(std::exchange(m_pendingChanges, 0), std::move(items));
    }

    DataControlConnection *m_owner;
    Publish m_publish;
    std::atomic<bool> &m_open;
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    typename P::Manager *m_manager = nullptr;
    typename P::Device *m_device = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // Offers announced and not yet replaced, with their types.
    QHash<typename P::Offer *, QStringList> m_offers;
    typename P::Offer *m_selection = nullptr;
    // Our own sources still on offer, with their text.
    QHash<typename P::Source *, QByteArray> m_sources;
    std::unique_ptr<PipeReader> m_reader;
    int m_pendingChanges = 0;
    bool m_sawSelection = false;
};

} // namespace

DataControlConnection::DataControlConnection(bool useExtManager, Publish publish)
    : m_useExtManager(useExtManager)
    , m_publish(std::move(publish))
{}

DataControlConnection::~DataControlConnection() = default;

std::optional<DataControlGlobals> DataControlConnection::probe(int timeoutMs)
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return std::nullopt;
    DataControlGlobals found;
    wl_registry *registry = wl_display_get_registry(display);
    static const wl_registry_listener globals{
        [](void *data, wl_registry *, uint32_t, const char *interface, uint32_t version) {
            auto *seen = static_cast<DataControlGlobals *>(data);
            if (std::strcmp(interface, ext_data_control_manager_v1_interface.name) == 0)
                seen->ext = true;
            if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
                seen->wlr = version >= 1;
        },
        [](void *, wl_registry *, uint32_t) {
        }};
    wl_registry_add_listener(registry, &globals, &found);
    const bool answered = roundtripWithin(display, timeoutMs);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!answered)
        return std::nullopt;
    return found;
}

void DataControlConnection::open()
{
    // A program that closes its end before we wrote all of our text must not end ours.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    if (m_useExtManager) {
        auto session = std::make_unique<DataControlSession<ExtProtocol>>(this, m_publish, m_open);
        if (session->connect())
            m_session = std::move(session);
    } else {
        auto session = std::make_unique<DataControlSession<WlrProtocol>>(this, m_publish, m_open);
        if (session->connect())
            m_session = std::move(session);
    }
}

void DataControlConnection::offerText(const QByteArray &utf8)
{
    if (m_session)
        m_session->offerText(utf8);
}
