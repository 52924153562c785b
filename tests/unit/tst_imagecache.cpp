// Favicons and avatars decode as the format they are, without loading the image plugins that
// Qt would otherwise try one after the other.
#include "TestFiles.h"
#include "Views/ImageCache.h"

#include <QGuiApplication>
#include <QTest>

namespace {

// A 16 x 16 red PNG, written out here: Qt's encoder would itself load every plugin.
const QByteArray kPng = QByteArray::fromHex(
    "89504e470d0a1a0a0000000d494844520000001000000010080200000090916836000000164944415478da63f8"
    "cfc040126218d530aa61f86a000090f9ff01f2eee8570000000049454e44ae426082");

// The image-format plugins this process has loaded.
QStringList loadedImagePlugins()
{
    QStringList plugins;
    for (const QString &line : readFile(QStringLiteral("/proc/self/maps")).split('\n'))
        if (line.contains(QLatin1String("/imageformats/")))
            plugins.append(line.mid(line.lastIndexOf(' ') + 1));
    plugins.removeDuplicates();
    return plugins;
}

} // namespace

class ImageCacheTest : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("png as declared") << kPng << QByteArray("image/png") << true;
        QTest::newRow("png under a wrong type") << kPng << QByteArray("text/html") << true;
        QTest::newRow("png without a type") << kPng << QByteArray() << true;
        QTest::newRow("svg by its type")
            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
                          "<rect width='16' height='16'/></svg>")
            << QByteArray("image/svg+xml; charset=utf-8") << true;
        QTest::newRow("html error page")
            << QByteArray("<html>no icon</html>") << QByteArray("text/html") << false;
        QTest::newRow("png type, broken bytes")
            << kPng.left(20) << QByteArray("image/png") << false;
        QTest::newRow("unknown format")
            << QByteArray("BM") + QByteArray(64, '\0') << QByteArray("image/bmp") << false;
        QTest::newRow("over 1 MB")
            << kPng + QByteArray(1024 * 1024, '\0') << QByteArray("image/png") << false;
    }
    void decode()
    {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, contentType);
        QFETCH(bool, decodes);
        const QImage image = ImageCache::decode(data, contentType);
        QCOMPARE(image.size(), decodes ? QSize(16, 16) : QSize(0, 0)); // 0 x 0: nothing decoded
        // Only an svg needs a plugin; nothing else loads one to guess.
        const QStringList plugins = loadedImagePlugins();
        QVERIFY2(plugins.isEmpty() ||
                     (plugins.size() == 1 && plugins.first().endsWith("libqsvg.so")),
                 qPrintable(plugins.join(' ')));
    }
};

QTEST_MAIN(ImageCacheTest)
#include "tst_imagecache.moc"
