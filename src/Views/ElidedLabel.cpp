#include "Views/ElidedLabel.h"

#include <QMouseEvent>

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

void ElidedLabel::elide()
{
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, width());
    setText(shown);
    if (shown == m_fullText)
        setToolTip(m_baseToolTip);
    else
        setToolTip(m_baseToolTip.isEmpty() ? m_fullText
                                           : m_baseToolTip + QLatin1Char('\n') + m_fullText);
}
