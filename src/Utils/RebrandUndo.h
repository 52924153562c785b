#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

// The last automatic rebrand, which the user may take back for two minutes: the link goes
// and the address that was copied comes back on the clipboard. Lives on the GUI thread.
class RebrandUndo
{
public:
    using DeleteCompletion = std::function<void(const std::optional<QJsonObject> &)>;
    // Sends the delete request of one link; empty: the API client's, as a row's delete.
    using Deleter = std::function<void(const QString &linkId, DeleteCompletion)>;

    static constexpr qint64 windowMs = 2 * 60 * 1000;

    static RebrandUndo &shared();
    RebrandUndo();
    RebrandUndo(const RebrandUndo &) = delete;
    RebrandUndo &operator=(const RebrandUndo &) = delete;

    void setDeleter(Deleter deleter);

    // An automatic rebrand made this link for this destination, for the signed-in user.
    void remember(const QString &linkId, const QString &destination, const QString &fullShortUrl);
    // The link was edited or replaced here: it is the user's now, not ours to take back.
    void linkChanged(const QString &linkId);
    void forget();

    // Whether the last rebrand (or this link's) can be undone now.
    [[nodiscard]] bool canUndo() const;
    [[nodiscard]] bool canUndo(const QString &linkId) const;

    // The settings menu's entry, and the notification's action for its link.
    void undoLast();
    void undo(const QString &linkId);

private:
    struct Rebrand
    {
        QString linkId;
        QString destination;
        QString fullShortUrl;
        QString userId;
        QDateTime madeAt;
        bool edited = false;
    };

    // Why the rebrand cannot be undone now, or nothing.
    [[nodiscard]] std::optional<QString> refusal(const QString &linkId) const;
    void deleteAnswered(const QString &linkId, const std::optional<QJsonObject> &answer);

    std::optional<Rebrand> m_last;
    Deleter m_deleter;
};
