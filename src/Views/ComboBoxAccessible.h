#pragma once

#include <QAccessibleWidget>

class QComboBox;

// What a screen reader hears for a pop-up: its label as the name ("Default workspace") and the
// chosen item as the value. Qt's own interface on Linux speaks the chosen item as the name and
// leaves the label to a relation that not every reader follows, so "Personal" was all a user
// heard.
class ComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit ComboBoxAccessible(QComboBox *comboBox);

    // Makes every pop-up of the program use it; once is enough, more calls do nothing.
    static void install();

    [[nodiscard]] QString text(QAccessible::Text t) const override;
    [[nodiscard]] QAccessible::State state() const override;
    [[nodiscard]] int childCount() const override;
    [[nodiscard]] QAccessibleInterface *child(int index) const override;
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override;
    [[nodiscard]] QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    [[nodiscard]] QComboBox *comboBox() const;
};
