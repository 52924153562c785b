// The Linux platform's own pieces: the web-view helper's protocol, the real clipboard on the
// offscreen platform, and the launcher with its autostart entry.
#include "App/Costants.h"
#include "App/SettingsStore.h"
#include "Launcher/HelperAppDelegate.h"
#include "Platform/linux/ClipboardPasteboard.h"
#include "Platform/linux/ClipboardPathChoice.h"
#include "Platform/linux/WebViewProtocol.h"
#include "Platform/linux/XdgAutostartLoginItems.h"
#include "Platform/testing/FakeApplications.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QTest>

using namespace Costants;
using Event = WebViewProtocol::Event;

Q_DECLARE_METATYPE(std::optional<Event>)
Q_DECLARE_METATYPE(ClipboardPath)

namespace {

// JSON written with single quotes, for rows that stay readable.
QByteArray json(const char *text)
{
    return QByteArray(text).replace('\'', '"');
}

std::optional<Event> makeEvent(Event::Kind kind, const char *url = "")
{
    Event e;
    e.kind = kind;
    e.url = QUrl(QString::fromLatin1(url));
    return e;
}

// A row whose line is the event as the helper writes it.
void addEventRow(const char *name, const std::optional<Event> &e)
{
    QTest::newRow(name) << WebViewProtocol::encode(*e).trimmed() << e;
}

} // namespace

class LinuxPlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QGuiApplication::clipboard()->clear(); }
    void events_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<Event>>("expected"); // none: the line is refused
        // (A whole page load, line by line, is tst_processwebview's; a refused redirect as
        // the real helper reports it, tst_webview's.)
        std::optional<Event> e = makeEvent(Event::Kind::Loading, "https://auth.example/login");
        e->progress = 42;
        addEventRow("loading", e);
        e = makeEvent(Event::Kind::Error, "http://127.0.0.1:9/x");
        e->error = "net::ERR_CONNECTION_REFUSED \"quoted\" \n newline";
        addEventRow("error with quotes and newline", e);
        addEventRow("challenge", makeEvent(Event::Kind::Challenge, "https://auth.example/"));
        e = makeEvent(Event::Kind::Closed);
        e->byUser = true;
        addEventRow("closed by user", e);
        addEventRow("non-ASCII address",
                    makeEvent(Event::Kind::Started, "https://auth.example/p%C3%A4ge?x=%E2%9C%93"));

        // Newer helpers may add fields; they must not make an event unreadable.
        e = makeEvent(Event::Kind::Loaded, "http://a/");
        e->ok = true;
        QTest::newRow("extra field")
            << json("{'event':'loaded','url':'http://a/','ok':true,'timing':{'ms':1}}") << e;
        e = makeEvent(Event::Kind::Loading, "http://a/");
        QTest::newRow("progress below")
            << json("{'event':'loading','url':'http://a/','progress':-5}") << e;
        e->progress = 100;
        QTest::newRow("progress above")
            << json("{'event':'loading','url':'http://a/','progress':1000}") << e;
        // The sign-in flow reads the failing address from the user-info; a helper that sent
        // another one there must not be able to point it elsewhere.
        e = makeEvent(Event::Kind::FailedProvisional, "http://a/");
        e->failingUrl = "https://localhost/oauth?code=abc";
        e->error = "e";
        e->userInfo = WebViewProtocol::failureUserInfo(e->failingUrl, e->error);
        const QByteArray failed =
            json("{'event':'failedProvisional','url':'http://a/',"
                 "'failingUrl':'https://localhost/oauth?code=abc','error':'e'");
        QTest::newRow("user-info missing") << failed + "}" << e;
        QTest::newRow("user-info pointing elsewhere")
            << failed + json(",'userInfo':{'NSErrorFailingURLStringKey':'https://evil/'}}") << e;

        const std::optional<Event> refused;
        QTest::newRow("empty") << QByteArray() << refused;
        QTest::newRow("not JSON") << QByteArray("[0207/101010.123:ERROR:gpu_init.cc] oops")
                                  << refused;
        QTest::newRow("unknown event")
            << json("{'event':'telemetry','url':'http://a/'}") << refused;
        QTest::newRow("loading without progress")
            << json("{'event':'loading','url':'http://a/'}") << refused;
        QTest::newRow("failed provisional without failing url")
            << json("{'event':'failedProvisional','url':'http://a/','error':'x'}") << refused;
        QTest::newRow("failed provisional user-info an array")
            << failed + json(",'userInfo':[]}") << refused;
        QTest::newRow("overlong") << json("{'event':'error','url':'http://a/','error':'") +
                                         QByteArray(WebViewProtocol::maxLineLength, 'x') + "\"}"
                                  << refused;
    }
    void events()
    {
        QFETCH(QByteArray, line);
        QFETCH(std::optional<Event>, expected);
        QVERIFY(WebViewProtocol::decodeEvent(line) == expected);
        if (!expected)
            return;
        // One event, one line, whatever its texts hold.
        const QByteArray encoded = WebViewProtocol::encode(*expected);
        QVERIFY(encoded.endsWith('\n'));
        QCOMPARE(encoded.count('\n'), 1);
        QVERIFY(WebViewProtocol::decodeEvent(encoded.trimmed()) == expected);
    }

    // Lines the helper refuses. The commands ProcessWebView writes are tst_processwebview's;
    // the real helper obeying them is tst_webview's.
    void refusedCommands_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("not JSON") << QByteArray("load http://a/");
        QTest::newRow("unknown command") << json("{'cmd':'reload'}");
        QTest::newRow("load without url") << json("{'cmd':'load'}");
        QTest::newRow("load with relative url") << json("{'cmd':'load','url':'/x'}");
    }
    void refusedCommands()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!WebViewProtocol::decodeCommand(line));
    }

    void lineBuffer_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<qsizetype>("pending");
        using L = QList<QByteArray>;
        QTest::newRow("partial last line kept") << L{"a\nbc"} << L{"a"} << qsizetype(2);
        QTest::newRow("carriage returns dropped")
            << L{"a\r\n", "b\r", "\n"} << L{"a", "b"} << qsizetype(0);
        const QByteArray big(WebViewProtocol::maxLineLength / 2 + 1, 'x');
        QTest::newRow("overlong line dropped, next kept")
            << L{big, big, big, "tail\nnext\n"} << L{"next"} << qsizetype(0);
        QTest::newRow("overlong line dropped at once")
            << L{QByteArray(WebViewProtocol::maxLineLength + 10, 'y') + "\nok\n"} << L{"ok"}
            << qsizetype(0);
        QTest::newRow("inside overlong nothing piles up")
            << L{QByteArray(WebViewProtocol::maxLineLength + 1, 'z'), "more"} << L{}
            << qsizetype(0);
    }
    void lineBuffer()
    {
        QFETCH(QList<QByteArray>, chunks);
        WebViewLineBuffer buffer;
        QList<QByteArray> seen;
        for (const QByteArray &chunk : chunks)
            seen += buffer.append(chunk);
        QTEST(seen, "lines");
        QTEST(buffer.pending(), "pending");
    }
    void changesBySomebodyElse_data()
    {
        QTest::addColumn<QString>("text");    // empty: no text format
        QTest::addColumn<QByteArray>("hint"); // empty: no password-manager hint
        QTest::addColumn<bool>("hidden");
        QTest::newRow("secret with newline") << "hunter2" << QByteArray("secret\n") << true;
        QTest::newRow("other hint") << "https://example.com" << QByteArray("accepted") << false;
        QTest::newRow("no text") << "" << QByteArray() << false;
    }
    void changesBySomebodyElse()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, hint);
        QFETCH(bool, hidden);
        ClipboardPasteboard pasteboard;
        const qint64 before = pasteboard.changeCount();
        auto *data = new QMimeData;
        if (!text.isEmpty())
            data->setText(text);
        else
            data->setData("image/png", QByteArrayLiteral("\x89PNG"));
        if (!hint.isEmpty())
            data->setData("x-kde-passwordManagerHint", hint);
        QGuiApplication::clipboard()->setMimeData(data);

        QTRY_VERIFY(pasteboard.changeCount() > before);
        const PasteboardSnapshot snapshot = pasteboard.snapshot();
        QCOMPARE(snapshot.changeCount, pasteboard.changeCount());
        QVERIFY(snapshot.items.has_value());
        QCOMPARE(snapshot.items->size(), hidden ? 0 : 1);
        if (!hidden)
            QCOMPARE(snapshot.items->front().plainText.value_or(QString()), text);
    }
    // A write from a worker thread is the desktop run's (tst_signin_e2e, clip_writer).
    void burstOfChanges()
    {
        ClipboardPasteboard pasteboard;
        const qint64 before = pasteboard.changeCount();
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText("one");
        clipboard->setText("two");
        QVERIFY(pasteboard.setString("https://quorv.link/b"));
        QCOMPARE(clipboard->text(), "https://quorv.link/b");
        // One read serves the burst, but each change still counts.
        QTRY_COMPARE(pasteboard.changeCount(), before + 3);
        QCOMPARE(pasteboard.snapshot().items->front().plainText,
                 std::optional<QString>("https://quorv.link/b"));
    }
    void clipboardPathAtStart_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<bool>("x");
        QTest::addColumn<QString>("userPlatform");
        QTest::addColumn<bool>("ext");
        QTest::addColumn<bool>("wlr");
        QTest::addColumn<bool>("built");
        QTest::addColumn<ClipboardPath>("path");
        QTest::addColumn<bool>("extManager");
        QTest::addColumn<bool>("forceXcb");
        using P = ClipboardPath;
        // A plain X11 session, sway's wlr manager alone and a Wayland session with neither
        // manager nor XWayland are the desktop runs' (tst_signin_e2e, tst_wayland_e2e).
        QTest::newRow("X11 session, Wayland globals irrelevant")
            << false << true << "wayland" << true << true << true << P::X11 << false << false;
        QTest::newRow("Wayland with ext and wlr: ext")
            << true << true << "" << true << true << true << P::DataControl << true << false;
        QTest::newRow("data-control whatever Qt draws on")
            << true << true << "xcb" << false << true << true << P::DataControl << false << false;
        QTest::newRow("GNOME with XWayland: Qt on xcb")
            << true << true << "" << false << false << true << P::XWayland << false << true;
        QTest::newRow("GNOME, user chose wayland: left alone")
            << true << true << "wayland" << false << false << true << P::None << false << false;
        QTest::newRow("GNOME, user chose xcb: XWayland as set")
            << true << true << "xcb" << false << false << true << P::XWayland << false << false;
        QTest::newRow("build without Wayland client, wlr offered: XWayland")
            << true << true << "" << false << true << false << P::XWayland << false << true;
    }
    void clipboardPathAtStart()
    {
        QFETCH(bool, wayland);
        QFETCH(bool, x);
        QFETCH(QString, userPlatform);
        QFETCH(bool, ext);
        QFETCH(bool, wlr);
        QFETCH(bool, built);
        const ClipboardChoice choice =
            chooseClipboardPath({wayland, x, userPlatform, ext, wlr, built});
        QTEST(choice.path, "path");
        QTEST(choice.useExtManager, "extManager");
        QTEST(choice.forceXcb, "forceXcb");
    }

    void mainProgramFourFoldersUp_data()
    {
        QTest::addColumn<QString>("launcherBundle");
        QTest::addColumn<QString>("mainBundle");
        QTest::newRow("trailing slash") << "/home/kim/Apps/Q v2/Contents/Library/LoginItems/L/"
                                        << "/home/kim/Apps/Q v2";
        QTest::newRow("too shallow") << "/Library/LoginItems/L"
                                     << "/";
    }
    void mainProgramFourFoldersUp()
    {
        QFETCH(QString, launcherBundle);
        QFETCH(QString, mainBundle);
        TestEnvironment environment;
        SettingsStore::shared().setBool(Preferences::startup, true);
        FakeApplications applications;
        HelperAppDelegate(applications, launcherBundle).applicationDidFinishLaunching();
        QCOMPARE(applications.launched, QStringList{mainBundle});
    }
    // The entry runs this install's launcher, only one that is there to run, and keeps what
    // the user turned off in the desktop's start-up settings.
    void autostartEntry_data()
    {
        QTest::addColumn<QString>("launcher"); // below the test's root
        QTest::addColumn<int>("permissions");  // QFileDevice flags; 0: not there
        QTest::addColumn<QString>("before");   // the entry found; empty: none
        QTest::addColumn<QString>("exec");     // the Exec value after the root; empty: unchanged
        const QString installed = "[Desktop Entry]\nExec=/opt/q/quorvella-launcher\n";
        QTest::newRow("reserved") << "/h\"$`\\%/l" << 0x7000 << ""
                                  << "/h\\\\\"\\\\$\\\\`\\\\\\\\%%/l\"";
        QTest::newRow("build tree: no launcher") << "/build/l" << 0 << installed << "";
        QTest::newRow("not executable") << "/l" << 0x6000 << installed << "";
        QTest::newRow("turned off by the user")
            << "/l" << 0x7000
            << "[Desktop Entry]\nExec=/old/l\nHidden=true\nX-GNOME-Autostart-enabled=false\n"
            << "/l\"";
    }
    void autostartEntry()
    {
        QFETCH(QString, launcher);
        QFETCH(int, permissions);
        QFETCH(QString, before);
        QFETCH(QString, exec);
        TestEnvironment environment;
        const QString executable = environment.root() + launcher;
        QVERIFY(!permissions || writeFile(executable, {}, QFileDevice::Permissions(permissions)));
        const QString entry = XdgAutostartLoginItems::entryPath(Launcher::helperIdentifier);
        QVERIFY(before.isEmpty() || writeFile(entry, before.toUtf8()));
        XdgAutostartLoginItems items(executable);
        QCOMPARE(items.setEnabled(Launcher::helperIdentifier, true), !exec.isEmpty());
        const QString written = readFile(entry);
        QCOMPARE(written == before, exec.isEmpty());
        if (exec.isEmpty())
            return;
        QVERIFY2(written.contains("\nExec=\"" + environment.root() + exec + "\n"),
                 qPrintable(written));
        QVERIFY(written.contains("\nTryExec=" + environment.root()));
        for (const QString line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"})
            QCOMPARE(written.contains("\n" + line + "\n"), before.contains(line));
        QCOMPARE(written.contains("\nX-GNOME-Autostart-enabled=true\n"),
                 !before.contains("enabled=false"));
        QVERIFY(items.setEnabled(Launcher::helperIdentifier, false));
        QVERIFY(!QFile::exists(entry));
    }
};

QTEST_MAIN(LinuxPlatformTest)
#include "tst_linuxplatform.moc"
