// Self-update against hostile input, in this process. Peak resident memory above the start
// while ZipExtractor refuses two zip bombs (more entries than its ceiling; one entry whose
// header claims 900 MiB and that inflates to 1.5 GiB of zeros, written until the claim) and while
// Downloader refuses an endless answer without a length at its size cap; and the longest stall of
// the event loop during that download and during a 64 MiB download with its hash and signature
// check. Targets: memory a few MiB whatever the size of the input, no stall over 50 ms.
//
//   build/bin/update_bounds
#include "App/Logger.h"
#include "ArchiveBuilder.h"
#include "StallMeter.h"
#include "Update/Downloader.h"
#include "Update/PrivateFolder.h"
#include "Update/ZipExtractor.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <zlib.h>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kBig = 64 * kMiB;
constexpr qint64 kCap = 128 * kMiB;
constexpr quint32 kClaimed = 900 * kMiB; // under the extractor's byte ceiling

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Resets the peak (VmHWM) to what is resident now; the result is the resident size.
qint64 resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        std::fprintf(stderr, "can't reset the peak: the figures include earlier work\n");
    clear.close();
    return statusKiB("VmRSS:");
}

void put16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xff)).append(char(value >> 8));
}

void put32(QByteArray &out, quint32 value)
{
    put16(out, quint16(value & 0xffff));
    put16(out, quint16(value >> 16));
}

// One stored file entry header, local (signature 0x04034b50) or central (0x02014b50).
QByteArray header(bool central, quint32 crc, quint32 packed, quint32 claimed, quint32 offset)
{
    const QByteArray name("zeros");
    QByteArray out;
    put32(out, central ? 0x02014b50 : 0x04034b50);
    if (central)
        put16(out, 0x0314); // made by Unix
    for (const quint16 field : {quint16(20), quint16(0), quint16(8), quint16(0), quint16(0)})
        put16(out, field); // version, flags, deflate, time, date
    put32(out, crc);
    put32(out, packed);
    put32(out, claimed);
    put16(out, quint16(name.size()));
    put16(out, 0); // extra
    if (central) {
        for (int i = 0; i < 3; ++i)
            put16(out, 0); // comment, disk, internal attributes
        put32(out, quint32(0100644) << 16);
        put32(out, offset);
    }
    return out + name;
}

// A zip whose one entry claims kClaimed bytes and inflates to `real` zeros, deflated as it is
// written so that making it takes no memory either.
bool writeRatioBomb(const QString &path, qint64 real)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 dataAt = header(false, 0, 0, 0, 0).size();
    file.write(QByteArray(dataAt, '\0'));
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    QByteArray zeros(kMiB, '\0');
    QByteArray packed(kMiB, Qt::Uninitialized);
    quint32 crc = 0;
    for (qint64 left = real; left > 0 || stream.avail_in > 0;) {
        if (stream.avail_in == 0 && left > 0) {
            stream.next_in = reinterpret_cast<Bytef *>(zeros.data());
            stream.avail_in = uInt(std::min<qint64>(left, zeros.size()));
            crc = quint32(crc32(crc, stream.next_in, stream.avail_in));
            left -= stream.avail_in;
        }
        stream.next_out = reinterpret_cast<Bytef *>(packed.data());
        stream.avail_out = uInt(packed.size());
        deflate(&stream, left > 0 ? Z_NO_FLUSH : Z_FINISH);
        file.write(packed.constData(), packed.size() - stream.avail_out);
        if (left == 0 && stream.avail_in == 0 && stream.avail_out != 0)
            break;
    }
    deflateEnd(&stream);
    const auto size = quint32(file.pos() - dataAt);
    const auto directoryAt = quint32(file.pos());
    const QByteArray central = header(true, crc, size, kClaimed, 0);
    QByteArray end;
    put32(end, 0x06054b50);
    for (const quint16 field : {quint16(0), quint16(0), quint16(1), quint16(1)})
        put16(end, field);
    put32(end, quint32(central.size()));
    put32(end, directoryAt);
    put16(end, 0);
    file.write(central + end);
    file.seek(0);
    file.write(header(false, crc, size, kClaimed, 0));
    return file.error() == QFile::NoError;
}

// Loopback download host in its own thread: "/big.zip" (kBig bytes, with a length) and its
// ".sig", and "/endless.zip", zeros without a length for as long as the client reads.
class Host : public QTcpServer
{
public:
    explicit Host(const QByteArray &big)
        : m_big(big)
        , m_signature(ArchiveBuilder::signature(big))
    {}

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray path = socket->readAll().split(' ').value(1);
            const bool endless = path == "/endless.zip";
            const QByteArray body = path == "/big.zip.sig" ? m_signature : m_big;
            socket->write(endless ? QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
                                  : "HTTP/1.1 200 OK\r\nContent-Length: " +
                                        QByteArray::number(body.size()) + "\r\n\r\n");
            // In chunks, at most 1 MiB in flight: the host holds no copy of what it sends.
            auto sent = std::make_shared<qint64>(0);
            const auto more = [socket, endless, body, sent] {
                constexpr qint64 chunk = 256 * 1024;
                static const QByteArray zeros(chunk, '\0');
                while (socket->bytesToWrite() < 4 * chunk && (endless || *sent < body.size())) {
                    const qint64 size = endless ? chunk : std::min(chunk, body.size() - *sent);
                    socket->write(endless ? zeros.constData() : body.constData() + *sent, size);
                    *sent += size;
                }
            };
            connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
        });
    }

private:
    QByteArray m_big;
    QByteArray m_signature;
};

struct Figures
{
    qint64 peakKiB = 0;
    qint64 anonKiB = -1; // above the start; -1: not sampled
    qint64 stallMs = 0;
    qint64 ms = 0;
    QString outcome;
};

Figures extract(const QString &archive, const QString &folder)
{
    const qint64 before = resetPeak();
    QElapsedTimer clock;
    clock.start();
    QString error;
    const bool extracted = ZipExtractor::extract(archive, folder, {}, &error);
    return {statusKiB("VmHWM:") - before, -1, 0, clock.elapsed(),
            extracted ? QStringLiteral("extracted (!)") : QStringLiteral("refused: ") + error};
}

Figures download(const QUrl &source, qint64 size, const QByteArray &sha256, qint64 cap)
{
    Downloader downloader;
    if (!downloader.startAttempt())
        return {-1, -1, -1, -1, QStringLiteral("no private folder")};
    downloader.setMaximumSize(cap);
    downloader.setManifestArchives(
        QJsonObject{{"Quorvella.zip", QJsonObject{{"version", "9.9.9"},
                                                  {"size", size},
                                                  {"sha256", QString::fromLatin1(sha256)}}}},
        QStringLiteral("9.9.9"));
    const qint64 before = resetPeak();
    const qint64 anonBefore = statusKiB("RssAnon:");
    // The largest anonymous resident size seen at the ticks (the peak counts mapped files too).
    qint64 anonKiB = 0;
    StallMeter meter([&anonKiB] { anonKiB = std::max(anonKiB, statusKiB("RssAnon:")); });
    QElapsedTimer clock;
    clock.start();
    bool done = false;
    Downloader::Result result = Downloader::Result::failed;
    downloader.download(source, QStringLiteral("Quorvella.zip"), [&](Downloader::Result r) {
        result = r;
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    const QString outcome = result == Downloader::Result::ok       ? QStringLiteral("kept")
                            : result == Downloader::Result::failed ? QStringLiteral("refused")
                                                                   : QStringLiteral("bad hash");
    return {statusKiB("VmHWM:") - before, anonKiB - anonBefore, meter.worst(), clock.elapsed(),
            outcome};
}

void print(const char *name, const Figures &figures)
{
    const QString anon = figures.anonKiB < 0
                             ? QStringLiteral("-")
                             : QString::number(double(figures.anonKiB) / 1024.0, 'f', 1);
    std::printf("%-46s %7.1f MiB %8s MiB %5lld ms %6lld ms  %s\n", name,
                double(figures.peakKiB) / 1024.0, qPrintable(anon),
                static_cast<long long>(figures.stallMs), static_cast<long long>(figures.ms),
                qPrintable(figures.outcome));
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path()));
    QCoreApplication application(argc, argv);
    // The program's log would mix with the table.
    QFile log(QStringLiteral("/dev/null"));
    if (log.open(QIODevice::WriteOnly))
        Logger::shared().setOutputDescriptor(log.handle());

    for (const char *folder : {"out-count", "out-ratio"})
        QDir().mkpath(home.filePath(QLatin1String(folder)));
    const QString countBomb = home.filePath(QStringLiteral("count.zip"));
    const QString ratioBomb = home.filePath(QStringLiteral("ratio.zip"));
    QFile count(countBomb);
    if (!count.open(QIODevice::WriteOnly) ||
        count.write(ArchiveBuilder::spoiled(ArchiveBuilder::programArchive(),
                                            QStringLiteral("Quorvella.app"),
                                            QStringLiteral("bomb"))) <= 0 ||
        !writeRatioBomb(ratioBomb, 3 * ZipExtractor::maxTotalBytes / 2))
        return 1;
    count.close();

    QByteArray big(kBig, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(big.data()), big.size() / 4);
    const QByteArray sha256 = QCryptographicHash::hash(big, QCryptographicHash::Sha256).toHex();
    // The host lives in its own thread, made there.
    QThread hostThread;
    QObject anchor;
    anchor.moveToThread(&hostThread);
    hostThread.start();
    Host *host = nullptr;
    QMetaObject::invokeMethod(
        &anchor,
        [&host, &big] {
            host = new Host(big);
            host->listen(QHostAddress::LocalHost);
        },
        Qt::BlockingQueuedConnection);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(host->serverPort());

    std::printf("%-46s %11s %12s %8s %9s\n", "case", "peak above", "anon above", "stall", "time");
    print("zip bomb, 20000+ entries",
          extract(countBomb, home.filePath(QStringLiteral("out-count"))));
    print("zip bomb, 1 entry: 900 MiB claimed, 1.5 GiB real",
          extract(ratioBomb, home.filePath(QStringLiteral("out-ratio"))));
    print("endless download, no length, cap 128 MiB",
          download(QUrl(base + QStringLiteral("/endless.zip")), kCap, QByteArray(64, 'a'), kCap));
    print("64 MiB download, hash and signature checked",
          download(QUrl(base + QStringLiteral("/big.zip")), kBig, sha256,
                   PrivateFolder::maxArchiveBytes));
    QMetaObject::invokeMethod(
        &anchor, [host] { delete host; }, Qt::BlockingQueuedConnection);
    hostThread.quit();
    hostThread.wait();
    return 0;
}
