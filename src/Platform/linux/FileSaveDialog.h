#pragma once

#include "Platform/SaveDialog.h"

#include <QPointer>

class QFileDialog;

// The desktop's file dialog, opened without blocking the event loop. It starts in the
// Documents folder and stays above the popovers, which float over every other window.
class FileSaveDialog : public SaveDialog
{
public:
    FileSaveDialog() = default;
    ~FileSaveDialog() override;
    FileSaveDialog(const FileSaveDialog &) = delete;
    FileSaveDialog &operator=(const FileSaveDialog &) = delete;

    void begin(const SavePanelOptions &options, Completion completion) override;

private:
    QPointer<QFileDialog> m_dialog;
};
