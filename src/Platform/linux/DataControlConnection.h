#pragma once

#include "Platform/Pasteboard.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// The data-control managers a compositor offers.
struct DataControlGlobals
{
    bool ext = false;
    bool wlr = false;
};

// A Wayland connection of its own that follows the seat's clipboard selection through a
// data-control manager and sets it. Lives on a worker thread: every pipe to another program
// is read and written without blocking, with a time limit, so a program that owns the
// clipboard and never answers costs nothing but a log line.
class DataControlConnection : public QObject
{
    Q_OBJECT

public:
    // Called on the worker thread with the changes seen since the last call (0 for the
    // selection found at connection) and the items read for the latest one.
    using Publish = std::function<void(int changes, std::optional<QList<PasteboardItem>> items)>;

    DataControlConnection(bool useExtManager, Publish publish);
    ~DataControlConnection() override;

    // Which managers the compositor of WAYLAND_DISPLAY offers; nothing when no compositor
    // answered within the time.
    [[nodiscard]] static std::optional<DataControlGlobals> probe(int timeoutMs);

    // Connects and binds; on the worker thread.
    void open();
    // Makes the text the clipboard selection and serves it until another selection
    // replaces it; on the worker thread.
    void offerText(const QByteArray &utf8);
    // The connection is up and the seat's device is bound.
    [[nodiscard]] bool isOpen() const { return m_open.load(); }

    class Session;

private:
    const bool m_useExtManager;
    Publish m_publish;
    std::unique_ptr<Session> m_session;
    std::atomic<bool> m_open{false};
};
