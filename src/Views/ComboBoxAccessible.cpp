#include "Views/ComboBoxAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace {

QAccessibleInterface *comboBoxFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("QComboBox"))
        return nullptr;
    auto *box = qobject_cast<QComboBox *>(object);
    return box ? new ComboBoxAccessible(box) : nullptr;
}

} // namespace

ComboBoxAccessible::ComboBoxAccessible(QComboBox *comboBox)
    : QAccessibleWidget(comboBox, QAccessible::ComboBox)
{}

void ComboBoxAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&comboBoxFactory);
        return true;
    }();
    Q_UNUSED(installed)
}

QComboBox *ComboBoxAccessible::comboBox() const
{
    return static_cast<QComboBox *>(widget());
}

QString ComboBoxAccessible::text(QAccessible::Text t) const
{
    // The base gives the accessible name, else the text of the label whose buddy it is.
    if (t == QAccessible::Value)
        return comboBox()->isEditable() ? comboBox()->lineEdit()->text()
                                        : comboBox()->currentText();
    return QAccessibleWidget::text(t);
}

QAccessible::State ComboBoxAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = comboBox()->view()->isVisible();
    state.collapsed = !state.expanded;
    state.hasPopup = true;
    state.editable = comboBox()->isEditable();
    return state;
}

// The item list, as the reader walks into it when the pop-up opens.
int ComboBoxAccessible::childCount() const
{
    return 1;
}

QAccessibleInterface *ComboBoxAccessible::child(int index) const
{
    return index == 0 ? QAccessible::queryAccessibleInterface(comboBox()->view()) : nullptr;
}

int ComboBoxAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return child && child->object() == comboBox()->view() ? 0 : -1;
}

QStringList ComboBoxAccessible::actionNames() const
{
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
}

void ComboBoxAccessible::doAction(const QString &actionName)
{
    if (actionName == showMenuAction() || actionName == pressAction()) {
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}
