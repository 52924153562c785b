#include "Platform/linux/MessageBoxAlertPresenter.h"

#include "App/Costants.h"

#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

namespace {

// The canvas and buttons of the popovers rather than the desktop's stock grey: white, a
// filled accent button for the answer Enter gives, a red one for an answer that destroys, and
// the accent focus ring (a 2 px border that only the keyboard focus colours, so nothing moves).
const QString kStyle = QStringLiteral(
    "QMessageBox { background: #FFFFFF; }"
    "QLabel { color: #1D1D1F; background: transparent; }"
    "QLabel#qt_msgbox_informativelabel { color: #444444; }"
    "QPushButton { background: #FFFFFF; color: #1D1D1F; border: 2px solid #DDDDDD;"
    " border-radius: 6px; padding: 5px 16px; min-width: 64px; }"
    "QPushButton:hover { background: #F6F7F9; }"
    "QPushButton:focus { border-color: #2563EB; }"
    "QPushButton[primary=\"true\"] { background: #2563EB; color: #FFFFFF; border-color: #2563EB; }"
    "QPushButton[primary=\"true\"]:hover { background: #1D4ED8; border-color: #1D4ED8; }"
    "QPushButton[primary=\"true\"]:focus { border-color: #1E3A8A; }"
    "QPushButton[destructive=\"true\"] { background: #C62828; color: #FFFFFF;"
    " border-color: #C62828; }"
    "QPushButton[destructive=\"true\"]:hover { background: #B71C1C; border-color: #B71C1C; }"
    "QPushButton[destructive=\"true\"]:focus { border-color: #7F1212; }");

// The program's own icon where it is built in, else the desktop's for the kind of message.
QPixmap iconFor(const QMessageBox &box, Alert::Style style)
{
    const QString app = QStringLiteral(":/icons/app-icon.svg");
    if (QFile::exists(app))
        return QIcon(app).pixmap(QSize(48, 48), box.devicePixelRatioF());
    const QStyle::StandardPixmap standard =
        style == Alert::Style::Critical        ? QStyle::SP_MessageBoxCritical
        : style == Alert::Style::Informational ? QStyle::SP_MessageBoxInformation
                                               : QStyle::SP_MessageBoxWarning;
    return box.style()->standardIcon(standard, nullptr, &box).pixmap(QSize(48, 48));
}

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
    // Names of links and titles come from the service: shown as the words they are.
    box.setTextFormat(Qt::PlainText);
    if (auto *informative = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    if (auto *message = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont title = message->font();
        title.setPointSizeF(title.pointSizeF() * 1.15);
        title.setWeight(QFont::DemiBold);
        message->setFont(title);
    }
    box.setIconPixmap(iconFor(box, alert.style));
    box.setStyleSheet(kStyle);
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
    const bool destructive = alert.destructive && buttons.size() > 1;
    box.setDefaultButton(qobject_cast<QPushButton *>(destructive ? safe : buttons.first()));
    // The answer that destroys is marked red and never the default; otherwise the default is
    // the filled accent button.
    buttons.first()->setProperty(destructive ? "destructive" : "primary", true);
    for (QAbstractButton *button : buttons)
        button->setCursor(Qt::PointingHandCursor);
    // A tray program has no window of its own to be in front of.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    EscapeFilter escape(&box);
    box.installEventFilter(&escape);
    box.exec();
    const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
    // Closing the box without a button answers nothing; it is not the default button.
    return index < 0 ? NoAnswer : FirstButton + index;
}
