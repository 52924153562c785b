#include "Views/ElidedLabel.h"

#include <QMouseEvent>
#include <QTextDocument>

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
