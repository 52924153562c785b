#include "Views/ElidedLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTextDocument>

namespace {

// A clickable label is a link to a screen reader, named by its text unless given a name, and
// pressed from there as by a click.
class ClickableLabelAccessible : public QAccessibleWidget
{
public:
    explicit ClickableLabelAccessible(ElidedLabel *label)
        : QAccessibleWidget(label, QAccessible::Link)
    {}

    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        const QString text = QAccessibleWidget::text(t);
        return t == QAccessible::Name && text.isEmpty() ? label()->fullText() : text;
    }

    [[nodiscard]] QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << pressAction();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            emit label()->clicked();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    [[nodiscard]] ElidedLabel *label() const { return static_cast<ElidedLabel *>(widget()); }
};

QAccessibleInterface *clickableLabelAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("ElidedLabel") &&
        static_cast<ElidedLabel *>(object)->isClickable())
        return new ClickableLabelAccessible(static_cast<ElidedLabel *>(object));
    return nullptr;
}

void installClickableLabelAccessible()
{
    QAccessible::installFactory(clickableLabelAccessible);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installClickableLabelAccessible)

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    elide();
}

void ElidedLabel::setBaseToolTip(const QString &toolTip)
{
    m_baseToolTip = toolTip;
    elide();
}

void ElidedLabel::setClickable(bool clickable)
{
    m_clickable = clickable;
    setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (m_clickable && event->button() == Qt::LeftButton && rect().contains(event->pos()))
        emit clicked();
}

QString ElidedLabel::plainToolTip(const QString &text)
{
    // A tooltip that looks like markup is shown as rich text; titles and names come from web
    // pages and the service, so such a one is shown escaped, as the words it is.
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

void ElidedLabel::elide()
{
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, width());
    setText(shown);
    if (shown == m_fullText)
        setToolTip(plainToolTip(m_baseToolTip));
    else
        setToolTip(plainToolTip(
            m_baseToolTip.isEmpty() ? m_fullText : m_baseToolTip + QLatin1Char('\n') + m_fullText));
}
