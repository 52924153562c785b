#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Never rebrand addresses from:" in the general preferences: the user's host patterns,
// added from a field, edited in place and removed, each change written at once under
// "qv-preferences-never-rebrand-hosts".
class NeverRebrandList : public QWidget
{
    Q_OBJECT

public:
    explicit NeverRebrandList(QWidget *parent = nullptr);

    [[nodiscard]] QStringList patterns() const;

private:
    void addPattern();
    void removeSelected();
    void patternEdited(QListWidgetItem *item);
    void updateButtons();
    void store();
    QListWidgetItem *appendItem(const QString &pattern);

    QListWidget *m_list;
    QLineEdit *m_input;
    QPushButton *m_add;
    QPushButton *m_remove;
    // What an item held before an edit, to put back an edit that is no pattern.
    QString m_editedFrom;
};
