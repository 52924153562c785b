#pragma once

#include "Views/ViewController.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QUrl>

#include <memory>

class LocalEventMonitor;
class QLabel;
class QNetworkAccessManager;
class QPushButton;
class QRCodeDownload;
class QRSaveJob;
class Spinner;

// The QR popover of a link row: the 256-pixel code of the short URL, and a menu that saves it
// in four PNG sizes or as an SVG drawing. The popover closes on a click outside it.
class QRController : public ViewController
{
    Q_OBJECT

public:
    enum class Rendering { Size64, Size128, Size256, Size512, Svg };

    // shortURL without scheme (domain "/" slashtag); isHttps picks the scheme of a code drawn
    // on this machine when the QR service cannot.
    QRController(QString shortURL, QString slashtag, bool isHttps, QWidget *parent = nullptr);
    ~QRController() override;

    [[nodiscard]] static std::unique_ptr<QRController>
    create(const QString &shortURL, const QString &slashtag, bool isHttps);

    // The download button takes the keyboard: Enter or Space opens its menu.
    void viewWillAppear() override;

    // The download menu's entries. Each save goes on by itself once started; it returns the
    // job, which deletes itself when the file is written or the user cancelled.
    QRSaveJob *saveQR1();
    QRSaveJob *saveQR2();
    QRSaveJob *saveQR3();
    QRSaveJob *saveQR4();
    QRSaveJob *saveSVG();
    // The SVG as "qr.svg" in the Documents folder, without asking.
    QRSaveJob *_saveSVG();

    // Every left or right mouse-down in the program, at its place on the screen.
    void localMatchingEvent(const QPointF &globalPosition);

    [[nodiscard]] const QString &shortURL() const { return m_shortURL; }
    [[nodiscard]] const QString &slashtag() const { return m_slashtag; }
    [[nodiscard]] const QImage &qr3() const { return m_qr3; }
    [[nodiscard]] const QUrl &svg() const { return m_svg; }
    // From the first show until the image on show is there.
    [[nodiscard]] bool isLoading() const { return m_display != nullptr; }

    // The QR service's address of one rendering; dummy is the "%.2f" random number.
    [[nodiscard]] static QUrl qrImageURL(const QUrl &qrHost, const QString &shortURL,
                                         Rendering rendering, const QString &dummy);
    // A new dummy value, never the one drawn just before, so that no cache answers.
    [[nodiscard]] static QString drawDummy();
    [[nodiscard]] static QString suggestedName(const QString &slashtag, Rendering rendering);
    [[nodiscard]] static QString fullShortURL(const QString &shortURL, bool isHttps);
    // Strictly inside: a point on an edge is outside.
    [[nodiscard]] static bool isInsideCta(const QPointF &point, const QRectF &cta);

    // Where the images come from; the program's own connection when none is set.
    static void setNetworkAccessManager(QNetworkAccessManager *network);

signals:
    void imageShown();

protected:
    // The view loads when it is first shown, as rows make their controllers long before.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildView();
    void prepareURLs();
    void fetchShownImage();
    void showImage(const QImage &image);
    QRSaveJob *savePng(Rendering rendering);
    [[nodiscard]] QRCodeDownload *startDownload(Rendering rendering, const QUrl &url);
    [[nodiscard]] static QNetworkAccessManager *network();

    QString m_shortURL;
    QString m_slashtag;
    bool m_isHttps;
    QLabel *m_imageView = nullptr;
    QWidget *m_ctaView = nullptr;
    QPushButton *m_downloadButton = nullptr;
    QWidget *m_workspaceBackView = nullptr;
    Spinner *m_spinner = nullptr;
    std::unique_ptr<LocalEventMonitor> m_eventMonitor;
    QImage m_qr1;
    QImage m_qr2;
    QImage m_qr3;
    QImage m_qr4;
    QUrl m_svg;
    QUrl m_shownURL; // the 256-pixel image on show
    std::unique_ptr<QRCodeDownload> m_display;
    bool m_loaded = false;
};
