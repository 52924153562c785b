#include "Platform/linux/FileSaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

FileSaveDialog::~FileSaveDialog()
{
    // A dialog still open goes with its owner; its completion is never called then.
    if (m_dialog) {
        m_dialog->disconnect();
        m_dialog->deleteLater();
    }
}

void FileSaveDialog::begin(const SavePanelOptions &options, Completion completion)
{
    auto *dialog = new QFileDialog;
    m_dialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setWindowTitle(options.title);
    dialog->setLabelText(QFileDialog::Accept, options.prompt);
    dialog->setLabelText(QFileDialog::FileName, options.nameFieldLabel);
    QStringList filters;
    for (const QString &type : options.allowedTypes)
        filters.append(QStringLiteral("%1 (*.%2)").arg(type.toUpper(), type));
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->setDefaultSuffix(options.allowedTypes.first());
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    dialog->setDirectory(QDir(documents).exists() ? documents : QDir::homePath());
    dialog->selectFile(options.suggestedName);
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, completion = std::move(completion)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         const bool saved = result == QDialog::Accepted;
                         completion(saved ? SaveDialog::OK : SaveDialog::Cancel,
                                    saved && !files.isEmpty() ? files.first() : QString());
                     });
    dialog->open();
    dialog->raise();
    dialog->activateWindow();
}
