#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <optional>

// The line protocol between the program and the sign-in helper `quorvella-webview`: one
// compact JSON object per line, commands on the helper's standard input, events on its
// standard output. Both sides use this class, so they can never disagree on the format.
class WebViewProtocol
{
public:
    struct Command
    {
        enum class Kind { Load, Intercept, Close };
        Kind kind = Kind::Close;
        QUrl url;       // Load
        QString prefix; // Intercept

        friend bool operator==(const Command &, const Command &) = default;
    };

    struct Event
    {
        enum class Kind {
            Ready,
            Started,
            Loading,
            Loaded,
            Error,
            FailedProvisional,
            Challenge,
            Closed
        };
        Kind kind = Kind::Ready;
        QUrl url;             // every kind but Ready and Closed: the page the view shows
        int progress = 0;     // Loading, 0..100
        bool ok = false;      // Loaded
        QString error;        // Error, FailedProvisional
        QString failingUrl;   // FailedProvisional, exactly as the refused navigation had it
        QVariantMap userInfo; // FailedProvisional
        bool byUser = false;  // Closed

        friend bool operator==(const Event &, const Event &) = default;
    };

    // The user-info of a refused navigation, keyed as the sign-in flow reads it.
    [[nodiscard]] static QVariantMap failureUserInfo(const QString &failingUrl,
                                                     const QString &error);

    // One line each, ending in '\n'.
    [[nodiscard]] static QByteArray encode(const Command &command);
    [[nodiscard]] static QByteArray encode(const Event &event);

    // Nothing for anything that is not a well-formed object of a known kind: a peer that
    // prints noise or speaks a newer protocol must not be able to confuse the other side.
    [[nodiscard]] static std::optional<Command> decodeCommand(const QByteArray &line);
    [[nodiscard]] static std::optional<Event> decodeEvent(const QByteArray &line);

    // Longest line accepted; a peer that sends more without a newline loses that line.
    static constexpr qsizetype maxLineLength = 1024 * 1024;
};

// Splits a byte stream into lines, keeping a partial last line until its end arrives.
class WebViewLineBuffer
{
public:
    // The complete lines in `chunk` and before it, without their line ends ("\n" or "\r\n").
    [[nodiscard]] QList<QByteArray> append(const QByteArray &chunk);
    [[nodiscard]] qsizetype pending() const { return m_pending.size(); }

private:
    QByteArray m_pending;
    bool m_discarding = false; // inside an overlong line, dropped up to its end
};
