#include "Platform/linux/MessageBoxAlertPresenter.h"

#include "App/Costants.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {

// A box without a "Cancel" button ignores Esc on its own; the user still expects it to close.
class EscapeFilter : public QObject
{
public:
    explicit EscapeFilter(QMessageBox *box)
        : m_box(box)
    {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_box && event->type() == QEvent::KeyPress && !m_box->escapeButton() &&
            static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel)) {
            m_box->reject();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QMessageBox *m_box;
};

} // namespace

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
    QAbstractButton *cancel = nullptr;
    for (const QString &label : labels) {
        buttons.append(box.addButton(label, QMessageBox::AcceptRole));
        if (label == Costants::Alerts::cancel)
            cancel = buttons.last();
    }
    // Esc answers "Cancel" where there is one, and closes the box without an answer otherwise.
    box.setEscapeButton(cancel);
    QAbstractButton *safe = cancel ? cancel : buttons.last();
    box.setDefaultButton(qobject_cast<QPushButton *>(
        alert.destructive && buttons.size() > 1 ? safe : buttons.first()));
    // A tray program has no window of its own to be in front of.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    EscapeFilter escape(&box);
    box.installEventFilter(&escape);
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
    // Closing the box without a button answers nothing; it is not the default button.
    return index < 0 ? NoAnswer : FirstButton + index;
}
