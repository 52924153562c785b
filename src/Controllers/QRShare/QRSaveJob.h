#pragma once

#include "Controllers/QRShare/QRCodeDownload.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class SaveDialog;

// Saves one rendering of a QR code into a file: the save panel and the download run side by
// side, and the file is written once both are there. It lives on its own, so the popover can
// close (and its controller go) while the panel is open; it deletes itself when done.
class QRSaveJob : public QObject
{
    Q_OBJECT

public:
    enum class Destination {
        Panel,     // the user picks the file
        Documents, // "qr.svg" in the Documents folder, without asking
    };

    struct Order
    {
        QRCodeDownload::Request request; // what to fetch when there is no image yet
        QImage image;                    // the image at hand, if any (Png)
        QString suggestedName;
        Destination destination = Destination::Panel;
    };
    // Hands the fetched image back to whoever keeps it.
    using ImageKept = std::function<void(const QImage &)>;

    // Starts on the next turn of the event loop, after the caller's own event is done.
    static QRSaveJob *begin(Order order, QNetworkAccessManager *network, ImageKept kept = {});
    ~QRSaveJob() override;

    // Writes a whole file or nothing, replacing what is there.
    [[nodiscard]] static bool writeFile(const QString &path, const QByteArray &bytes,
                                        QString *error);

private:
    QRSaveJob(Order order, QNetworkAccessManager *network, ImageKept kept);

    void run();
    void openPanel();
    void onPanelAnswer(int response, const QString &path);
    void onImage(std::optional<QRCodeDownload::Result> result);
    void writePngWhenReady();
    void downloadSvg();
    void onSvg(std::optional<QRCodeDownload::Result> result);
    void finish();

    [[nodiscard]] bool isSvg() const
    {
        return m_order.request.format == QRCodeDownload::Format::Svg;
    }
    static void showFailure();

    Order m_order;
    QNetworkAccessManager *m_network;
    ImageKept m_kept;
    std::unique_ptr<SaveDialog> m_savePanel;
    std::unique_ptr<QRCodeDownload> m_download;
    bool m_imageReady = false;
    QString m_path;
};
