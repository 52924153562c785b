#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

// One row of a domain picker: the domain's name as a button. A click posts the row's number
// in the list shown, with the picker as sender, so only the form that owns the picker acts.
class DomainLinkView : public QWidget
{
    Q_OBJECT

public:
    DomainLinkView(const QString &name, int index, QObject *picker, QWidget *parent = nullptr);

    [[nodiscard]] QPushButton *name() const { return m_name; }
    [[nodiscard]] int index() const { return m_index; }

    void selectDomain();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setHighlighted(bool highlighted);

    QPushButton *m_name;
    int m_index;
    QPointer<QObject> m_picker;
};
