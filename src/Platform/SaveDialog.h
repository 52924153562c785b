#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What a save panel shows: its title, the text of its save button, the label of the name
// field, the name it proposes and the file types it allows (extensions without the dot).
struct SavePanelOptions
{
    QString title;
    QString prompt;
    QString nameFieldLabel;
    QString suggestedName;
    bool canSelectHiddenExtension = false;
    QStringList allowedTypes;
};

// A save panel that never blocks its caller: begin() returns at once and the completion runs
// later on the GUI thread, once, with the answer (1: save, 0: cancel) and the chosen path.
class SaveDialog
{
public:
    static constexpr int OK = 1;
    static constexpr int Cancel = 0;

    using Completion = std::function<void(int response, const QString &path)>;

    virtual ~SaveDialog() = default;
    virtual void begin(const SavePanelOptions &options, Completion completion) = 0;
};
