#pragma once

#include <QColor>
#include <QWidget>

#include <functional>
#include <memory>

class BrandedLinkView;
class Popover;
class QToolButton;
class ViewController;

// The actions of the row under the pointer: open, copy, favourite, share, QR, edit and delete,
// over the right end of the row, with the share and QR popovers anchored on their buttons.
// Seven styled buttons per row would cost a list of 28 rows about 3 MB, so a list keeps as few
// as it needs: a row takes one when pointed at, from a row that no longer shows its own (see
// takeFor), and gives it back when the pointer leaves, unless one of its popovers is open.
class LinkRowActions : public QWidget
{
    Q_OBJECT

public:
    // The pointed row's background, which the overlay fades in from.
    static inline const QColor hoveredRow{0xF0, 0xF5, 0xFF};

    // What the share and QR popovers show; without them the two buttons stay hidden.
    using ShareContent = std::function<std::unique_ptr<ViewController>(const QString &shortURL,
                                                                       const QString &title)>;
    using QRContent = std::function<std::unique_ptr<ViewController>(
        const QString &shortURL, const QString &slashtag, bool isHttps)>;
    static void setPopoverContents(ShareContent share, QRContent qr);

    // The overlay of this row: its own, else one that a sibling row no longer shows (moved
    // here), else a new one. Shown by the row.
    [[nodiscard]] static LinkRowActions *takeFor(BrandedLinkView *row);
    // The overlay the row holds now, or nothing.
    [[nodiscard]] static LinkRowActions *of(const BrandedLinkView *row);

    ~LinkRowActions() override;

    // Follows the row's favourite state (icon, name and tooltip of the toggle).
    void showFavourite(bool favourite);
    // Over the right end of the row, above its texts.
    void place();
    [[nodiscard]] bool hasPopoverShown() const;
    // Free for another row: hidden, no popover open.
    [[nodiscard]] bool isIdle() const { return isHidden() && !hasPopoverShown(); }

    [[nodiscard]] QToolButton *favourite() const { return m_favourite; }

    void openShareMenu();
    void openQRMenu();
    void closeSharePopover();
    void closeQRPopover();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    explicit LinkRowActions(BrandedLinkView *row);

    [[nodiscard]] BrandedLinkView *row() const;
    QToolButton *makeAction(const QString &icon, const QString &name, const QString &objectName,
                            const QString &shortcut);
    Popover *makePopover(std::unique_ptr<Popover> &popover, const QString &closeNotification,
                         QWidget *keeper);

    QToolButton *m_favourite = nullptr;
    QToolButton *m_shareButton = nullptr;
    QToolButton *m_qrButton = nullptr;
    std::unique_ptr<Popover> m_popoverShare;
    std::unique_ptr<Popover> m_popoverQR;
};
