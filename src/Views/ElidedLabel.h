#pragma once

#include <QLabel>

// One line of text that never overflows: cut at the end with "…" when it does not fit, the
// whole text then in the tooltip. Clickable labels emit clicked() and show a pointing hand.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    [[nodiscard]] QString fullText() const { return m_fullText; }
    [[nodiscard]] bool isElided() const { return text() != m_fullText; }
    // A tooltip shown when the text fits; when it does not, the full text follows it.
    void setBaseToolTip(const QString &toolTip);
    void setClickable(bool clickable);
    [[nodiscard]] bool isClickable() const { return m_clickable; }
    // The text as a tooltip that shows it literally, whatever markup it seems to hold.
    [[nodiscard]] static QString plainToolTip(const QString &text);

    [[nodiscard]] QSize minimumSizeHint() const override;

signals:
    void clicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void elide();

    QString m_fullText;
    QString m_baseToolTip;
    bool m_clickable = false;
};
