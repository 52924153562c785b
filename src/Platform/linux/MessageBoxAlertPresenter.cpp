#include "Platform/linux/MessageBoxAlertPresenter.h"

#include <QMessageBox>
#include <QPushButton>

int MessageBoxAlertPresenter::runModal(const Alert &alert)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("Quorvella"));
    box.setText(alert.message);
    box.setInformativeText(alert.informativeText);
    switch (alert.style) {
    case Alert::Style::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Alert::Style::Informational:
        box.setIcon(QMessageBox::Information);
        break;
    case Alert::Style::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    const QStringList labels =
        alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    QList<QAbstractButton *> buttons;
    for (const QString &label : labels)
        buttons.append(box.addButton(label, QMessageBox::AcceptRole));
    box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
    // A tray program has no window of its own to be in front of.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
    // Closing the box without a button answers nothing; it is not the default button.
    return index < 0 ? NoAnswer : FirstButton + index;
}
