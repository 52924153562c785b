#include "Views/LinkTableView.h"

#include "Views/BrandedLinkView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>

namespace {

class RowAccessible : public QAccessibleWidget
{
public:
    explicit RowAccessible(BrandedLinkView *row)
        : QAccessibleWidget(row, QAccessible::ListItem)
    {}

    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        state.selected = static_cast<const BrandedLinkView *>(widget())->isSelected();
        return state;
    }
};

// Matched by the most derived class name, so it holds whichever factory came first.
QAccessibleInterface *linkListAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("BrandedLinkView"))
        return new RowAccessible(static_cast<BrandedLinkView *>(object));
    if (className == QLatin1String("LinkTableView"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::List);
    return nullptr;
}

// At the start, before a screen reader can ask for the list.
void installLinkListAccessible()
{
    QAccessible::installFactory(linkListAccessible);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installLinkListAccessible)

// Out of line, so that a program with the class also links the factory above.
LinkTableView::LinkTableView(QWidget *parent)
    : QWidget(parent)
{}
