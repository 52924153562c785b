#include "Controllers/QRShare/QRController.h"

#include "App/Costants.h"
#include "App/LocalEventMonitor.h"
#include "App/Logger.h"
#include "App/NotificationCenter.h"
#include "Controllers/QRShare/QRCodeDownload.h"
#include "Controllers/QRShare/QRSaveJob.h"
#include "Services/Config.h"
#include "Utils/PercentEncoding.h"
#include "Views/Icons.h"
#include "Views/PopoverFrame.h"
#include "Views/Spinner.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

using namespace Costants;

namespace {

constexpr int kShownSize = 256;

// The primary button of the popover, with the focus ring of the program: a 2 px border that
// only the keyboard focus darkens, so nothing moves.
const QString kDownloadStyle =
    QStringLiteral("QPushButton { background: #2563EB; color: #FFFFFF; border: 2px solid #2563EB;"
                   " border-radius: 6px; padding: 6px 12px; font-weight: 500; }"
                   "QPushButton:hover { background: #1D4ED8; border-color: #1D4ED8; }"
                   "QPushButton:focus { border-color: #1E3A8A; }"
                   "QPushButton:pressed, QPushButton:open { background: #1E40AF; }"
                   "QPushButton::menu-indicator { image: none; width: 0; }");

// White on the accent whatever the button's state, sharp at 1x and 2x.
QIcon whiteIcon(const QString &name)
{
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Active})
            icon.addPixmap(Icons::pixmap(name, 16, Qt::white, ratio), mode);
    }
    return icon;
}

const QString kMenuStyle =
    QStringLiteral("QMenu { background: #FFFFFF; border: 1px solid #DDDDDD; padding: 4px; }"
                   "QMenu::item { color: #1D1D1F; padding: 6px 16px; border-radius: 4px; }"
                   "QMenu::item:selected { background: #2563EB; color: #FFFFFF; }"
                   "QMenu::separator { height: 1px; background: #DDDDDD; margin: 4px 8px; }");

QPointer<QNetworkAccessManager> &configuredNetwork()
{
    static QPointer<QNetworkAccessManager> network;
    return network;
}

int pixels(QRController::Rendering rendering)
{
    switch (rendering) {
    case QRController::Rendering::Size64:
        return 64;
    case QRController::Rendering::Size128:
        return 128;
    case QRController::Rendering::Size256:
        return 256;
    case QRController::Rendering::Size512:
        return 512;
    case QRController::Rendering::Svg:
        break;
    }
    return 0;
}

QString tail(QRController::Rendering rendering)
{
    if (rendering == QRController::Rendering::Svg)
        return QStringLiteral("&source=com.quorvella.app&type=svg6&dummy=");
    return QStringLiteral("&source=com.quorvella.app&size=%1&dummy=").arg(pixels(rendering));
}

} // namespace

QRController::QRController(QString shortURL, QString slashtag, bool isHttps, QWidget *parent)
    : ViewController(parent)
    , m_shortURL(std::move(shortURL))
    , m_slashtag(std::move(slashtag))
    , m_isHttps(isHttps)
{
    buildView();
    prepareURLs();
}

QRController::~QRController() = default;

std::unique_ptr<QRController> QRController::create(const QString &shortURL, const QString &slashtag,
                                                   bool isHttps)
{
    return std::make_unique<QRController>(shortURL, slashtag, isHttps);
}

void QRController::setNetworkAccessManager(QNetworkAccessManager *network)
{
    configuredNetwork() = network;
}

QNetworkAccessManager *QRController::network()
{
    QNetworkAccessManager *network = configuredNetwork();
    return network ? network : QRCodeDownload::sharedNetwork();
}

void QRController::buildView()
{
    setObjectName(QStringLiteral("QRController"));
    QVBoxLayout *layout =
        buildPopoverFrame(this, QStringLiteral("QR code"), 8, &m_workspaceBackView);
    QWidget *back = m_workspaceBackView;

    m_ctaView = new QWidget(back);
    m_ctaView->setObjectName(QStringLiteral("ctaView"));
    auto *cta = new QVBoxLayout(m_ctaView);
    cta->setContentsMargins(0, 0, 0, 0);
    cta->setSpacing(8);
    layout->addWidget(m_ctaView);

    const QString full = fullShortURL(m_shortURL, m_isHttps);
    m_imageView = new QLabel(m_ctaView);
    m_imageView->setObjectName(QStringLiteral("imageView"));
    // Room for the border, so the image shows pixel for pixel.
    m_imageView->setFixedSize(kShownSize + 2, kShownSize + 2);
    m_imageView->setAlignment(Qt::AlignCenter);
    m_imageView->setStyleSheet(QStringLiteral(
        "background: #FFFFFF; border: 1px solid #DDDDDD; border-radius: 4px; color: #6B6B6B;"));
    m_imageView->setTextFormat(Qt::PlainText);
    m_imageView->setAccessibleName(QStringLiteral("QR code of ") + full);
    cta->addWidget(m_imageView, 0, Qt::AlignHCenter);

    // The design's spinner, over the middle of the empty code while it loads.
    m_spinner = new Spinner(m_imageView);
    m_spinner->setObjectName(QStringLiteral("spinner"));
    m_spinner->setAccessibleName(QStringLiteral("Loading QR code"));
    auto *centre = new QVBoxLayout(m_imageView);
    centre->addWidget(m_spinner, 0, Qt::AlignCenter);

    m_downloadButton = new QPushButton(whiteIcon(QStringLiteral("ic-download")),
                                       QStringLiteral("Download"), m_ctaView);
    m_downloadButton->setObjectName(QStringLiteral("downloadButton"));
    m_downloadButton->setToolTip(QStringLiteral("Save the QR code as an image"));
    m_downloadButton->setAccessibleName(QStringLiteral("Download QR code"));
    m_downloadButton->setCursor(Qt::PointingHandCursor);
    // Enter opens the menu as Space does, though a popover is no dialogue.
    m_downloadButton->setAutoDefault(true);
    m_downloadButton->setIconSize(QSize(16, 16));
    m_downloadButton->setStyleSheet(kDownloadStyle);
    auto *menu = new QMenu(m_downloadButton);
    menu->setObjectName(QStringLiteral("downloadMenu"));
    menu->setStyleSheet(kMenuStyle);
    menu->setCursor(Qt::PointingHandCursor);
    menu->addAction(QStringLiteral("PNG, 64 × 64 px"), this, &QRController::saveQR1);
    menu->addAction(QStringLiteral("PNG, 128 × 128 px"), this, &QRController::saveQR2);
    menu->addAction(QStringLiteral("PNG, 256 × 256 px"), this, &QRController::saveQR3);
    menu->addAction(QStringLiteral("PNG, 512 × 512 px"), this, &QRController::saveQR4);
    menu->addSeparator();
    menu->addAction(QStringLiteral("SVG, any size"), this, &QRController::saveSVG);
    m_downloadButton->setMenu(menu);
    cta->addWidget(m_downloadButton);

    auto *address = new QLabel(back);
    address->setObjectName(QStringLiteral("shortUrlLabel"));
    address->setTextFormat(Qt::PlainText);
    address->setStyleSheet(QStringLiteral("color: #2563EB;"));
    QFont medium = address->font();
    medium.setWeight(QFont::Medium);
    address->setFont(medium);
    address->setText(address->fontMetrics().elidedText(full, Qt::ElideMiddle, kShownSize));
    address->setToolTip(full);
    address->setAlignment(Qt::AlignHCenter);
    layout->addWidget(address);
}

void QRController::viewWillAppear()
{
    m_downloadButton->setFocus(Qt::PopupFocusReason);
}

void QRController::showEvent(QShowEvent *event)
{
    ViewController::showEvent(event);
    // Clicks matter only while the popover is on screen.
    m_eventMonitor = std::make_unique<LocalEventMonitor>(
        [this](const QPointF &position) { localMatchingEvent(position); });
    if (!m_loaded) {
        m_loaded = true;
        fetchShownImage();
    }
}

void QRController::hideEvent(QHideEvent *event)
{
    m_eventMonitor.reset();
    ViewController::hideEvent(event);
}

void QRController::prepareURLs()
{
    const QString dummy = drawDummy();
    m_shownURL = qrImageURL(Config::current().qrHost, m_shortURL, Rendering::Size256, dummy);
    // The drawing comes from the same request values as the image on show.
    m_svg = qrImageURL(Config::current().qrHost, m_shortURL, Rendering::Svg, dummy);
}

void QRController::fetchShownImage()
{
    m_display.reset(startDownload(Rendering::Size256, m_shownURL));
}

QRCodeDownload *QRController::startDownload(Rendering rendering, const QUrl &url)
{
    QRCodeDownload::Request request;
    request.url = url;
    request.format =
        rendering == Rendering::Svg ? QRCodeDownload::Format::Svg : QRCodeDownload::Format::Png;
    request.size = pixels(rendering);
    request.encodedText = fullShortURL(m_shortURL, m_isHttps);
    return new QRCodeDownload(network(), request,
                              [this](std::optional<QRCodeDownload::Result> result) {
                                  showImage(result ? result->image : QImage());
                              });
}

void QRController::showImage(const QImage &image)
{
    m_display.release()->deleteLater();
    m_spinner->hide();
    if (image.isNull()) {
        m_imageView->setText(QStringLiteral("The QR code could not be made."));
    } else {
        m_qr3 = image;
        // Modules stay sharp squares: no smoothing, whatever the image's size.
        m_imageView->setPixmap(QPixmap::fromImage(image).scaled(
            m_imageView->contentsRect().size(), Qt::KeepAspectRatio, Qt::FastTransformation));
    }
    emit imageShown();
}

QRSaveJob *QRController::saveQR1()
{
    return savePng(Rendering::Size64);
}

QRSaveJob *QRController::saveQR2()
{
    return savePng(Rendering::Size128);
}

QRSaveJob *QRController::saveQR3()
{
    return savePng(Rendering::Size256);
}

QRSaveJob *QRController::saveQR4()
{
    return savePng(Rendering::Size512);
}

QRSaveJob *QRController::savePng(Rendering rendering)
{
    QRSaveJob::Order order;
    order.request.format = QRCodeDownload::Format::Png;
    order.request.size = pixels(rendering);
    order.request.encodedText = fullShortURL(m_shortURL, m_isHttps);
    order.suggestedName = suggestedName(m_slashtag, rendering);
    QRSaveJob::ImageKept kept;
    if (rendering == Rendering::Size256) {
        // The image on show; while it is still on its way, the save fetches its own.
        order.image = m_qr3;
        order.request.url = m_shownURL;
    } else {
        order.request.url =
            qrImageURL(Config::current().qrHost, m_shortURL, rendering, drawDummy());
        QPointer<QRController> self(this);
        kept = [self, rendering](const QImage &image) {
            if (!self)
                return;
            if (rendering == Rendering::Size64)
                self->m_qr1 = image;
            else if (rendering == Rendering::Size128)
                self->m_qr2 = image;
            else
                self->m_qr4 = image;
        };
    }
    return QRSaveJob::begin(std::move(order), network(), std::move(kept));
}

QRSaveJob *QRController::saveSVG()
{
    QRSaveJob::Order order;
    order.request.url = m_svg;
    order.request.format = QRCodeDownload::Format::Svg;
    order.request.encodedText = fullShortURL(m_shortURL, m_isHttps);
    order.suggestedName = suggestedName(m_slashtag, Rendering::Svg);
    return QRSaveJob::begin(std::move(order), network());
}

QRSaveJob *QRController::_saveSVG()
{
    QRSaveJob::Order order;
    order.request.url = m_svg;
    order.request.format = QRCodeDownload::Format::Svg;
    order.request.encodedText = fullShortURL(m_shortURL, m_isHttps);
    order.destination = QRSaveJob::Destination::Documents;
    return QRSaveJob::begin(std::move(order), network());
}

void QRController::localMatchingEvent(const QPointF &globalPosition)
{
    // A controller whose popover is not on screen has nothing to close; asking it would close
    // the popover of another row on every click inside that one.
    if (!isVisible())
        return;
    // A click in the download menu belongs to the popover, though the menu is a window of
    // its own.
    for (QObject *owner = QApplication::activePopupWidget(); owner; owner = owner->parent()) {
        if (owner == this)
            return;
    }
    if (isInsideCta(globalPosition, globalRect(m_ctaView))) {
        Logger::shared().log({QStringLiteral("TOUCHED INSIDE!!")});
        return;
    }
    Logger::shared().log({QStringLiteral("IS OUTSIDE CTA VIEW")});
    if (!m_workspaceBackView)
        return;
    if (globalRect(m_workspaceBackView).contains(globalPosition)) {
        Logger::shared().log({QStringLiteral("IS INSIDE")});
        return;
    }
    // The observers may replace this controller: nothing of it is used after the post.
    NotificationCenter::shared().post(NotificationViews::closeQrPopup);
}

bool QRController::isInsideCta(const QPointF &point, const QRectF &cta)
{
    const qreal ox = cta.x();
    const qreal oy = cta.y();
    return ox < point.x() && point.x() < ox + cta.width() && oy < point.y() &&
           point.y() < oy + cta.height();
}

QUrl QRController::qrImageURL(const QUrl &qrHost, const QString &shortURL, Rendering rendering,
                              const QString &dummy)
{
    if (!qrHost.isValid() || qrHost.host().isEmpty())
        return {};
    const QString origin = qrHost.toString(QUrl::RemovePath | QUrl::RemoveQuery |
                                           QUrl::RemoveFragment | QUrl::StripTrailingSlash);
    const QString text = origin + QStringLiteral("/v1/qrcode?shortUrl=") +
                         PercentEncoding::urlHostAllowed(shortURL) + tail(rendering) + dummy;
    return QUrl::fromEncoded(text.toUtf8());
}

QString QRController::drawDummy()
{
    static QString previous;
    QString dummy;
    do {
        dummy = QString::asprintf("%.2f", QRandomGenerator::global()->generateDouble());
    } while (dummy == previous);
    previous = dummy;
    return dummy;
}

QString QRController::suggestedName(const QString &slashtag, Rendering rendering)
{
    // The slashtag comes from the service: a separator in it would save in another folder
    // than the one shown, and a leading dot would hide the file.
    QString name;
    for (const QChar c : slashtag)
        name +=
            c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control
                ? QLatin1Char('-')
                : c;
    while (!name.isEmpty() && (name.front() == QLatin1Char('.') ||
                               name.front() == QLatin1Char('-') || name.front().isSpace()))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("qr-code");
    if (rendering == Rendering::Svg)
        return name + QStringLiteral(".svg");
    return name + QStringLiteral("-%1px.png").arg(pixels(rendering));
}

QString QRController::fullShortURL(const QString &shortURL, bool isHttps)
{
    return (isHttps ? QStringLiteral("https://") : QStringLiteral("http://")) + shortURL;
}
