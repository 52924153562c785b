#pragma once

#include "Services/BrandedLinkDTO.h"
#include "Views/LinkRowActions.h"

#include <QJsonObject>
#include <QWidget>

#include <optional>

class ElidedLabel;
class QLabel;
class QPushButton;
class QToolButton;

// One row of the link list: short URL, title, clicks, age, favicon and a favourite's mark, and
// while the pointer is over it the actions (LinkRowActions). A row whose id is empty is the
// placeholder that leads to the dashboard. Screen readers meet it as a list item that can be
// selected, named after its short URL.
class BrandedLinkView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 64;

    // What the share and QR popovers of a row show. The controllers live above this layer, so
    // they are handed in once at start; without them the two buttons stay hidden.
    using ShareContent = LinkRowActions::ShareContent;
    using QRContent = LinkRowActions::QRContent;
    static void setPopoverContents(ShareContent share, QRContent qr);

    explicit BrandedLinkView(QWidget *parent = nullptr);
    ~BrandedLinkView() override;

    // Takes every field from the record; even rows get the grey background.
    void configure(const BrandedLinkDTO &link, int row);

    // "https://" or "http://" followed by the short URL.
    [[nodiscard]] QString fullUrl() const;
    [[nodiscard]] bool isPlaceholder() const { return id.isEmpty(); }

    void visitURL();
    void copyLink();
    void loveLink();
    void openDeleteMenu();
    void trashLink();
    void editLink();
    void openMoreDash();
    void openShareMenu();
    void openQRMenu();
    void closeSharePopover();
    void closeQRPopover();

    void favouriteAnswered(const std::optional<QJsonObject> &answer);

    void setHovered(bool hovered);
    [[nodiscard]] bool isHovered() const { return m_hovered; }
    // The keyboard selection of the list.
    void setSelected(bool selected);
    [[nodiscard]] bool isSelected() const { return m_selected; }

    // "1 click", "0 clicks", "2 clicks".
    [[nodiscard]] static QString clicksText(qint64 clicks);
    // "Just now", "59 minutes ago", "1 year ago"...: the largest unit that is not zero.
    [[nodiscard]] static QString creationText(const BrandedLinkDTO &link);

    [[nodiscard]] ElidedLabel *shortUrlButton() const { return m_shortUrlButton; }
    [[nodiscard]] ElidedLabel *multilineTitle() const { return m_multilineTitle; }
    [[nodiscard]] QLabel *clicks() const { return m_clicks; }
    [[nodiscard]] QLabel *creationDate() const { return m_creationDate; }
    [[nodiscard]] QLabel *favicon() const { return m_favicon; }
    // The overlay's favourite button and the overlay, taken for this row if it had none.
    [[nodiscard]] QToolButton *favourite();
    [[nodiscard]] QWidget *layerHover();

    QString id;
    bool isHttps = false;
signals:
    // The service's answer to a favourite toggle, for the list the rows are drawn from.
    void favouriteChanged(const QString &id, bool favourite);

public:
    QString shortURL;
    QString slashtag;
    bool isFavourite = false;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPushButton *ensureDashLink();
    void showFavourite(bool favourite);
    // The row's accessible description: favourite, title, clicks and age.
    void describe();
    [[nodiscard]] QRect favouriteMarkRect() const;
    void confirmAndDelete(const QString &informativeText, const QString &confirm,
                          bool closePopoverFirst);
    static void deleteAnswered(const std::optional<QJsonObject> &answer, const QString &fullUrl,
                               const QString &linkId);

    ElidedLabel *m_shortUrlButton;
    ElidedLabel *m_multilineTitle;
    QLabel *m_clicks;
    QLabel *m_creationDate;
    QLabel *m_favicon;
    QWidget *m_content;
    QPushButton *m_openDashLink = nullptr;
    bool m_even = false;
    bool m_hovered = false;
    bool m_selected = false;
};
