#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// One item on the clipboard: its plain-text contents, when it has any.
struct PasteboardItem
{
    std::optional<QString> plainText;
};

// The change count and the items read together, so that they belong to the same change.
struct PasteboardSnapshot
{
    qint64 changeCount = 0;
    std::optional<QList<PasteboardItem>> items;
};

// The system clipboard. Every operation is callable from any thread: reads come from a
// snapshot, writes are carried out on the thread that owns the desktop connection.
class Pasteboard
{
public:
    virtual ~Pasteboard() = default;

    // Increases whenever any program, this one included, changes the clipboard.
    [[nodiscard]] virtual qint64 changeCount() const = 0;
    // The count with the items now on the clipboard, in order (nothing when the clipboard
    // holds no data), in one read.
    [[nodiscard]] virtual PasteboardSnapshot snapshot() const = 0;
    // Replaces the whole contents with one plain text; tells whether the clipboard took it.
    [[nodiscard]] virtual bool setString(const QString &text) = 0;
};
