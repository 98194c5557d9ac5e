// The real program on a real X desktop (Xvfb 1920 x 1080; openbox, icewm, i3 or KWin; sway's
// XWayland), driven with xdotool.
#include "core/module1.h"
#include "desktop_session.h"
#include "info/maker.h"
#include "test_support.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <csignal>

namespace {
const QString configurationTitle = QStringLiteral(" Lumivista: Logo Configuration Window");
const QString statisticsTitle = QStringLiteral(" Lumivista: Statistics");
const QString aboutTitle = QStringLiteral(" About Lumivista");
// Where a fresh logo window stands, and how wide it grows while an exercise shows beside it.
const QRect logoHome =
    QRect(1344, 950, 87, 37).translated(DesktopSession::primaryMonitor().topLeft());
constexpr int widenedWidth = 87 + 33;

// Nine records with every exercise off (frequency 0), timing 10, and the given totals.
QByteArray quietSettings(int total = 0) {
    QByteArray bytes;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        bytes += handRecord(n, 0, 10, "message " + QByteArray::number(n), total, 0);
    return bytes;
}

// Within a pixel each way: the window manager may round where it places a window.
bool near(QPoint a, QPoint b) { return qAbs(a.x() - b.x()) <= 1 && qAbs(a.y() - b.y()) <= 1; }

QString text(QPoint p) { return QStringLiteral("%1,%2").arg(p.x()).arg(p.y()); }

std::int16_t field(const QByteArray& file, int record, int offset) {
    const int at = (record - 1) * 70 + offset;
    return std::int16_t(quint8(file[at]) | (quint8(file[at + 1]) << 8));
}

// Loopback pages for the viewer, served from this process: `title` names the page for each
// path, and every request is counted.
class LoopbackPage : public QTcpServer {
public:
    explicit LoopbackPage(std::function<QByteArray(const QByteArray& path)> title) {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, title] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, title] {
                    const QByteArray path = socket->readAll().split(' ').value(1);
                    ++m_requests[path];
                    const QByteArray body = "<html><head><title>" + title(path) +
                                            "</title></head><body>ok</body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                  "Cache-Control: no-store\r\nContent-Length: " +
                                  QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort()); }
    int requests(const QByteArray& path) const { return m_requests.value(path); }

private:
    QHash<QByteArray, int> m_requests;
};
} // namespace

// Starts the program on a fresh desktop with `settings` as its file; the case ends here when
// the desktop or the logo window does not come up.
#define START_PROGRAM(r, settings) START_PROGRAM_SCALED(r, settings, QString())
#define START_PROGRAM_SCALED(r, settings, scale)                                                   \
    Running r = start(settings, scale);                                                            \
    QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));                                  \
    QVERIFY2(!r.logo.isEmpty(), qPrintable(whyNoLogo(r)))

class TestDesktopE2E : public QObject {
    Q_OBJECT

    struct Running {
        std::unique_ptr<DesktopSession> desktop;
        QProcess* program = nullptr;
        QString logo;
    };

    static Running start(const QByteArray& settings, const QString& scaleFactor = QString()) {
        Running r;
        r.desktop = std::make_unique<DesktopSession>();
        if (!r.desktop->ready())
            return r;
        r.desktop->writeSettings(settings);
        r.program = r.desktop->launch(QString(), scaleFactor);
        // Twice the usual wait: with both cores busy a start once took longer than ten seconds.
        r.logo = r.desktop->waitForLogoWindow(r.program->processId(), 20000);
        // It shows at its design size (198 px high and more) before it takes the logo's
        // (74 px high at 2x); a loaded window manager can show the first.
        DesktopSession::waitUntil([&] { return r.desktop->geometry(r.logo).height() < 100; }, 5000);
        return r;
    }

    // What the program was doing when no logo showed.
    static QString whyNoLogo(const Running& r) {
        const qint64 pid = r.program->processId();
        return r.program->state() == QProcess::NotRunning
                   ? QStringLiteral("the program ended: status %1, code %2")
                         .arg(int(r.program->exitStatus()))
                         .arg(r.program->exitCode())
                   : QStringLiteral("the program runs; its windows: %1; the root's children: %2")
                         .arg(r.desktop->xdotool({"search", "--pid", QString::number(pid)}),
                              r.desktop->x("xwininfo", {"-root", "-children"}));
    }

    static QPoint logoCentre(const Running& r) { return r.desktop->geometry(r.logo).center(); }

    static bool onTop(const Running& r) {
        return r.desktop->netWmState(r.logo).contains(QStringLiteral("_NET_WM_STATE_ABOVE"));
    }

    static bool waitForLogoWidth(const Running& r, int width, int timeoutMs) {
        return DesktopSession::waitUntil(
            [&] { return r.desktop->geometry(r.logo).width() == width; }, timeoutMs);
    }

    // The logo has the keyboard focus (again) within a moment.
    static bool logoFocused(const Running& r) {
        return DesktopSession::waitUntil([&] { return r.desktop->activeWindow() == r.logo; }, 3000);
    }

    static void focusLogo(const Running& r) {
        r.desktop->focus(r.logo);
        QThread::msleep(300);
    }

    // Runs a command of the logo's popup menu by its access key and returns the window it
    // shows, once settled. The menu opens from a right click, or from `menuKeys` on the focused
    // logo.
    static QString command(const Running& r, const QString& accessKey, const QString& title,
                           const QString& menuKeys = QString()) {
        // A loaded machine may open the menu late or lose the click: then once more.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int shown = r.desktop->windowsOf(r.program->processId()).size();
            if (menuKeys.isEmpty()) {
                r.desktop->click(logoCentre(r), 3);
            } else {
                focusLogo(r);
                r.desktop->key(menuKeys);
            }
            // The menu is a window of its own; its access keys count once it shows.
            DesktopSession::waitUntil(
                [&] { return r.desktop->windowsOf(r.program->processId()).size() > shown; }, 3000);
            QThread::msleep(200);
            r.desktop->key(accessKey);
            const QString window = r.desktop->waitForWindow(title, 6000, r.logo);
            if (!window.isEmpty()) {
                QThread::msleep(300); // typed keys reach a window only once it has settled
                return window;
            }
            r.desktop->key(QStringLiteral("Escape"));
        }
        return QString();
    }

    // Exit, confirmed with Y in its message box, ends the program.
    static void exitFromMenu(const Running& r, const QString& menuKeys = QString()) {
        QVERIFY(!command(r, QStringLiteral("e"), QStringLiteral("Lumivista"), menuKeys).isEmpty());
        r.desktop->key(QStringLiteral("y"));
        QVERIFY(r.program->waitForFinished(10000));
    }

    // Types 15 into the minutes of the first activity, confirms with `keys`, and waits for its
    // total in the file to grow from 20 to 35.
    static bool entersFifteenMinutes(const Running& r, const QString& keys) {
        r.desktop->key(QStringLiteral("ctrl+a"));
        r.desktop->type(QStringLiteral("15"));
        r.desktop->key(keys);
        return DesktopSession::waitUntil(
            [&] { return field(r.desktop->readSettings(), 1, 66) == 35; }, 5000);
    }

    // The viewer's top-level window once its home page has come, or "" while there is none.
    static QString viewerWindow(const Running& r) {
        const QStringList early = {QString(), QStringLiteral(" ") + Maker::Name,
                                   QStringLiteral("Loading the page, please wait...")};
        for (const QString& pid : r.desktop->programProcesses()) {
            if (pid.toLongLong() == r.program->processId())
                continue;
            for (const QString& id : r.desktop->windowsOf(pid.toLongLong()))
                if (!early.contains(r.desktop->title(id)))
                    return id;
        }
        return QString();
    }

    // Qt replaces the viewer's first native window as the page view comes up, and the home
    // page's arrival resets the address box: the viewer is ready once one window has stayed.
    static QString waitForViewer(const Running& r) {
        QString viewer;
        QElapsedTimer since;
        DesktopSession::waitUntil(
            [&] {
                const QString now = viewerWindow(r);
                if (now != viewer) {
                    viewer = now;
                    since.start();
                }
                return !viewer.isEmpty() && since.elapsed() >= 1500;
            },
            30000);
        return viewer;
    }

    // Alt+A moves to the address box; Enter goes to exactly the typed address.
    static void goTo(const Running& r, const QString& address) {
        r.desktop->key(QStringLiteral("alt+a ctrl+a"));
        r.desktop->type(address);
        r.desktop->key(QStringLiteral("Return"));
    }

    static bool waitForTitle(const Running& r, const QString& window, const QString& title) {
        return DesktopSession::waitUntil(
            [&] {
                QCoreApplication::processEvents(); // the page server answers meanwhile
                return r.desktop->title(window) == title;
            },
            30000);
    }

    // Empty when the window's outer frame is centred on the primary monitor within a pixel;
    // otherwise what is wrong.
    static QString offCentre(const Running& r, const QString& window) {
        std::optional<QMargins> frame;
        if (!DesktopSession::waitUntil(
                [&] { return (frame = r.desktop->frameExtents(window)).has_value(); }, 5000))
            return QStringLiteral("no frame known");
        if (*frame == QMargins())
            return QStringLiteral("no frame");
        QThread::msleep(300); // the window settles where it is going
        const QRect outer = r.desktop->clientArea(window).marginsAdded(*frame);
        const QRect primary = DesktopSession::primaryMonitor();
        const QPoint centred = primary.topLeft() + QPoint((primary.width() - outer.width()) / 2,
                                                          (primary.height() - outer.height()) / 2);
        if (near(outer.topLeft(), centred))
            return QString();
        return QStringLiteral("%1: frame at %2 (%3 x %4), centred is %5")
            .arg(r.desktop->windowManager(), text(outer.topLeft()), QString::number(outer.width()),
                 QString::number(outer.height()), text(centred));
    }

    // sway floats no window under 75 x 50.
    static QRect logoPlace(const Running& r) {
        return r.desktop->windowManager() == QLatin1String("sway")
                   ? QRect(logoHome.topLeft(), logoHome.size().expandedTo(QSize(75, 50)))
                   : logoHome;
    }

    // sway's own idea of the logo: on every workspace. The Exit question centred there too.
    static void swayShowsTheLogoEverywhere(const Running& r) {
        QVERIFY(r.desktop->swayNode(r.logo)[QLatin1String("sticky")].toBool());
        QVERIFY(r.desktop->switchToWorkspace(1));
        QTRY_VERIFY(r.desktop->swayNode(r.logo)[QLatin1String("visible")].toBool());
        const QString box = command(r, QStringLiteral("e"), QStringLiteral("Lumivista"));
        QVERIFY(!box.isEmpty());
        const QString placement = offCentre(r, box);
        QVERIFY2(placement.isEmpty(), qPrintable(placement));
    }

private slots:
    void startsInPlaceNotOnTopAndMovesWhenDragged() {
        START_PROGRAM(r, quietSettings());
        QTRY_COMPARE(r.desktop->geometry(r.logo), logoPlace(r)); // sway is told it in turn
        QVERIFY(!onTop(r));

        // The grabbed point stays under the pointer: a drag moves the window by exactly as much.
        QPoint expected = logoHome.topLeft();
        QPoint grab = expected + QPoint(36, 18);
        for (const QPoint by : {QPoint(-200, -100), QPoint(-380, -368), QPoint(580, 468)}) {
            r.desktop->drag(grab, grab + by);
            expected += by;
            grab += by;
            DesktopSession::waitUntil(
                [&] { return r.desktop->clientArea(r.logo).topLeft() == expected; }, 3000);
            const QRect moved = r.desktop->clientArea(r.logo);
            QVERIFY2(near(moved.topLeft(), expected),
                     qPrintable(QStringLiteral("dragged by %1, moved to %2, not %3")
                                    .arg(text(by), text(moved.topLeft()), text(expected))));
            QCOMPARE(moved.size(), logoPlace(r).size());
        }
        if (r.desktop->windowManager() == QLatin1String("sway"))
            swayShowsTheLogoEverywhere(r);
        // Dragged onto the left monitor, which is then unplugged: back to the primary.
        if (logoHome.x() > 1920) {
            r.desktop->drag(grab, grab - QPoint(1920, 0));
            QVERIFY(DesktopSession::waitUntil([&] { return logoCentre(r).x() < 1920; }, 3000));
            r.desktop->x(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), "L"});
            QVERIFY(DesktopSession::waitUntil([&] { return logoCentre(r) == logoHome.center(); },
                                              5000));
        }
    }

    // A reminder, not a task: no taskbar or pager entry, on every workspace, with the icon.
    void floatingWindowIsNoTaskAndOnEveryWorkspace() {
        START_PROGRAM(r, quietSettings());
        const QStringList state = r.desktop->netWmState(r.logo);
        for (const char* skip : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
            QVERIFY2(state.contains(QLatin1String(skip)), qPrintable(state.join(' ')));
        QCOMPARE(r.desktop->property(r.logo, QStringLiteral("_NET_WM_DESKTOP")),
                 QStringLiteral("4294967295"));
        // No caption, as on the logo itself; and shown without the focus is no call for it.
        QCOMPARE(r.desktop->property(r.logo, QStringLiteral("_NET_WM_NAME")), QString());
        QTRY_VERIFY(!r.desktop->netWmState(r.logo).contains(
            QStringLiteral("_NET_WM_STATE_DEMANDS_ATTENTION")));
        QTRY_VERIFY(r.desktop->hasIcon(r.logo)); // set once the event loop runs
        // The class the menu entry's StartupWMClass names.
        QVERIFY(r.desktop->property(r.logo, QStringLiteral("WM_CLASS"))
                    .endsWith(QLatin1String(", \"Lumivista\"")));
        for (int workspace : {1, 3, 0}) {
            QVERIFY(r.desktop->switchToWorkspace(workspace));
            QThread::msleep(200);
            QVERIFY2(r.desktop->isViewable(r.logo), qPrintable(QString::number(workspace)));
        }
        QCOMPARE(r.desktop->clientArea(r.logo), logoHome);
    }

    // The windows the menu opens: their outer frames centred on the screen, the application
    // icon on each, and nothing that would minimise, maximise or resize them.
    void dialogsOpenCentredWithTheIcon_data() {
        QTest::addColumn<QString>("menuKey");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("scale"); // the frame counts device pixels, the window not
        QTest::newRow("configuration") << "c" << configurationTitle << "";
        QTest::newRow("statistics") << "s" << statisticsTitle << "";
        QTest::newRow("about") << "a" << aboutTitle << "";
        QTest::newRow("configuration 1.25x") << "c" << configurationTitle << "1.25";
        QTest::newRow("about 1.5x") << "a" << aboutTitle << "1.5";
        QTest::newRow("statistics 2x") << "s" << statisticsTitle << "2";
    }
    void dialogsOpenCentredWithTheIcon() {
        QFETCH(QString, menuKey);
        QFETCH(QString, title);
        QFETCH(QString, scale);
        START_PROGRAM_SCALED(r, quietSettings(), scale);
        const QString window = command(r, menuKey, title);
        QVERIFY(!window.isEmpty());
        const QString placement = offCentre(r, window);
        QVERIFY2(placement.isEmpty(), qPrintable(placement));
        QVERIFY(r.desktop->hasIcon(window));
        const QString allowed =
            r.desktop->property(window, QStringLiteral("_NET_WM_ALLOWED_ACTIONS"));
        QStringList refused = {QStringLiteral("_NET_WM_ACTION_MAXIMIZE_HORZ"),
                               QStringLiteral("_NET_WM_ACTION_MAXIMIZE_VERT"),
                               QStringLiteral("_NET_WM_ACTION_RESIZE")};
        // openbox keeps minimising whatever the window asks (it ignores the Motif functions
        // for its buttons); icewm follows them.
        if (r.desktop->windowManager() != QLatin1String("openbox"))
            refused << QStringLiteral("_NET_WM_ACTION_MINIMIZE");
        for (const QString& action : refused)
            QVERIFY2(!allowed.contains(action),
                     qPrintable(action + QStringLiteral(" in ") + allowed));
    }

    void secondStartIsRefused() {
        START_PROGRAM(r, quietSettings());
        QProcess* second = r.desktop->launch();
        const QString box = r.desktop->waitForWindowOf(second->processId());
        QVERIFY(!box.isEmpty());
        QCOMPARE(r.desktop->title(box), QStringLiteral("Lumivista"));
        // KWin numbers windows of the same title ("Lumivista <2>"); the logo has none.
        const QString shown = r.desktop->property(box, QStringLiteral("_NET_WM_VISIBLE_NAME"));
        QVERIFY2(shown.isEmpty() || shown == QLatin1String("\"Lumivista\""), qPrintable(shown));
        QVERIFY(r.desktop->activate(box));
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(r.program->state(), QProcess::Running);
        // The refused start is the keyboard's way to the running logo.
        QVERIFY(logoFocused(r));

        // A start whose runtime folder cannot be used still finds the running one. A logout's
        // SIGTERM ends it while its box waits.
        QProcess* third = r.desktop->launch(QStringLiteral("/dev/null/runtime"));
        QVERIFY(!r.desktop->waitForWindowOf(third->processId()).isEmpty());
        ::kill(pid_t(third->processId()), SIGTERM);
        QVERIFY(third->waitForFinished(5000));
        QCOMPARE(r.program->state(), QProcess::Running);
        QCOMPARE(r.desktop->geometry(r.logo), logoHome);
    }

    void exerciseWidensTheWindowAtItsTickAndNarrowsAfterItsTiming() {
        QByteArray settings = quietSettings();
        settings.replace(140, 70, handRecord(3, 1, 10, "blink", 0, 0)); // Blinking: F 1, T 10
        START_PROGRAM(r, settings);
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY(waitForLogoWidth(r, widenedWidth, 14000));
        QVERIFY2(sinceStart.elapsed() > 8500, qPrintable(QString::number(sinceStart.elapsed())));
        QElapsedTimer shown;
        shown.start();
        QVERIFY(waitForLogoWidth(r, logoHome.width(), 6000));
        // Ten display ticks of 300 ms, then the eleventh removes it.
        QVERIFY2(shown.elapsed() > 2500, qPrintable(QString::number(shown.elapsed())));
    }

    void menuBackFrontTogglesStayOnTop() {
        START_PROGRAM(r, quietSettings());
        for (bool expectAbove : {true, false}) {
            QVERIFY(!command(r, QStringLiteral("b"), QStringLiteral("Attention...")).isEmpty());
            // The stacking changes only once the message is dismissed.
            QCOMPARE(onTop(r), !expectAbove);
            r.desktop->key(QStringLiteral("Return"));
            QVERIFY(DesktopSession::waitUntil([&] { return onTop(r) == expectAbove; }, 5000));
        }
    }

    void configurationSavesTypedEditsAndDrivesTheCycle() {
        START_PROGRAM(r, quietSettings(5));

        // The menu's access key C opens it; closing it from the title bar acts as Cancel.
        QVERIFY(!command(r, QStringLiteral("c"), configurationTitle).isEmpty());
        r.desktop->key(QStringLiteral("alt+F4"));
        QVERIFY(r.desktop->waitForNoWindow(configurationTitle));
        QCOMPARE(r.desktop->readSettings(), quietSettings(5));

        r.desktop->click(logoCentre(r), 1, 2);
        QVERIFY(!r.desktop->waitForWindow(configurationTitle).isEmpty());
        QThread::msleep(300);
        r.desktop->type(QStringLiteral("1")); // Text2(0) has the focus, its text selected
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            r.desktop->key(QStringLiteral("Tab")); // Text2(1..8), then Text3(0)
        r.desktop->type(QStringLiteral("4"));
        r.desktop->key(QStringLiteral("Tab")); // Text4(0)
        r.desktop->type(QStringLiteral("Look up"));
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            r.desktop->key(QStringLiteral("Tab")); // Text4(1..8), then OK
        r.desktop->key(QStringLiteral("space"));
        QVERIFY(r.desktop->waitForNoWindow(configurationTitle));
        QElapsedTimer sinceOk;
        sinceOk.start();

        const QByteArray file = r.desktop->readSettings();
        QCOMPARE(file.size(), 630);
        QCOMPARE(file.left(70), handRecord(1, 1, 4, "Look up", 5, 0));
        for (int n = 2; n <= Module1::ExerciseCount; ++n) {
            QByteArray expected = quietSettings(5).mid((n - 1) * 70, 70);
            expected.replace(4, 2, QByteArray::fromHex("0400"));
            QCOMPARE(file.mid((n - 1) * 70, 70), expected);
        }
        // Edging now comes every waiting tick.
        QVERIFY(waitForLogoWidth(r, widenedWidth, 12000));
        QVERIFY(sinceOk.elapsed() < 11500);
    }

    void statisticsMinutesLandInTheFile() {
        START_PROGRAM(r, quietSettings(20));
        QVERIFY(!command(r, QStringLiteral("s"), statisticsTitle).isEmpty());
        // For "1. Edging", the first activity; Tab, Tab and Space reach Reset, then OK.
        QVERIFY(entersFifteenMinutes(r, QStringLiteral("Tab Tab space")));
        const QByteArray file = r.desktop->readSettings();
        QCOMPARE(int(field(file, 1, 68)), 15);
        QCOMPARE(file.mid(70), quietSettings(20).mid(70));
    }

    void aboutVisitOpensTheViewerAndExitEndsEverything() {
        LoopbackPage page([](const QByteArray&) { return QByteArray("Loopback test page"); });
        START_PROGRAM(r, quietSettings());
        const QString about = command(r, QStringLiteral("a"), aboutTitle);
        QVERIFY(!about.isEmpty());
        // cmd2 stands at 360, 4560 twips, 1635 x 615.
        r.desktop->click(r.desktop->geometry(about).topLeft() + QPoint(24 + 54, 304 + 20));

        const QString viewer = waitForViewer(r);
        QVERIFY(!viewer.isEmpty());
        QVERIFY2(r.desktop->activate(viewer),
                 qPrintable(QStringLiteral("viewer %1 \"%2\", active %3")
                                .arg(viewer, r.desktop->title(viewer), r.desktop->activeWindow())));
        goTo(r, page.url());
        QVERIFY(waitForTitle(r, viewer, QStringLiteral("Loopback test page")));
        QVERIFY(r.desktop->hasIcon(viewer));

        exitFromMenu(r);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(DesktopSession::waitUntil([&] { return r.desktop->programProcesses().isEmpty(); },
                                          10000));
    }

    // Every command of the popup menu from the logo with the keyboard alone; Enter and Escape
    // in both dialogs.
    void keyboardReachesEveryCommandFromTheLogo() {
        START_PROGRAM(r, quietSettings(20));
        const QString menu = QStringLiteral("Menu");
        const QString shiftF10 = QStringLiteral("shift+F10");

        // Menu key, C: the configuration; Escape cancels it.
        QVERIFY(!command(r, QStringLiteral("c"), configurationTitle, menu).isEmpty());
        r.desktop->type(QStringLiteral("5"));
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(configurationTitle));
        QCOMPARE(r.desktop->readSettings(), quietSettings(20));
        QVERIFY(logoFocused(r)); // and so after every window below

        // Enter on the logo: the configuration again; Enter in a box saves as OK does.
        focusLogo(r);
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(!r.desktop->waitForWindow(configurationTitle).isEmpty());
        QThread::msleep(300);
        r.desktop->type(QStringLiteral("7")); // Text2(0), its text selected
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(r.desktop->waitForNoWindow(configurationTitle));
        QCOMPARE(int(field(r.desktop->readSettings(), 1, 2)), 7);
        QVERIFY(logoFocused(r));

        // Shift+F10, S: the statistics; Enter in the minutes enters them, Escape closes.
        QVERIFY(!command(r, QStringLiteral("s"), statisticsTitle, shiftF10).isEmpty());
        QVERIFY(entersFifteenMinutes(r, QStringLiteral("Return")));
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(statisticsTitle));
        QVERIFY(logoFocused(r));

        // About, then Back/Front with its message, then Exit.
        QVERIFY(!command(r, QStringLiteral("a"), aboutTitle, menu).isEmpty());
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(aboutTitle));
        QVERIFY(logoFocused(r));

        QVERIFY(!command(r, QStringLiteral("b"), QStringLiteral("Attention..."), menu).isEmpty());
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(DesktopSession::waitUntil([&] { return onTop(r); }, 5000));
        QVERIFY(logoFocused(r));

        exitFromMenu(r, shiftF10);
    }

    // The viewer's toolbar from the keyboard: Alt+Left, Alt+Right, F5 and Ctrl+R, Escape.
    void viewerKeysMoveThroughPages() {
        // Two pages, told apart by their titles; every request is counted.
        LoopbackPage server([](const QByteArray& path) { return "Page " + path.mid(1); });
        QVERIFY(server.isListening());

        START_PROGRAM(r, quietSettings());
        // About from the keyboard; Tab to Visit, Space presses it.
        const QString about = command(r, QStringLiteral("a"), aboutTitle, QStringLiteral("Menu"));
        QVERIFY(!about.isEmpty());
        r.desktop->key(QStringLiteral("Tab space"));

        const QString viewer = waitForViewer(r);
        QVERIFY(!viewer.isEmpty());
        for (const QString& page : {QStringLiteral("one"), QStringLiteral("two")}) {
            r.desktop->focus(viewer);
            goTo(r, server.url() + page);
            QVERIFY(waitForTitle(r, viewer, QStringLiteral("Page ") + page));
        }

        r.desktop->key(QStringLiteral("alt+Left"));
        QVERIFY(waitForTitle(r, viewer, QStringLiteral("Page one")));
        r.desktop->key(QStringLiteral("alt+Right"));
        QVERIFY(waitForTitle(r, viewer, QStringLiteral("Page two")));
        const int before = server.requests("/two");
        auto reloaded = [&](int times) {
            return DesktopSession::waitUntil(
                [&] {
                    QCoreApplication::processEvents();
                    return server.requests("/two") == before + times;
                },
                15000);
        };
        r.desktop->key(QStringLiteral("F5"));
        QVERIFY(reloaded(1));
        QVERIFY(waitForTitle(r, viewer, QStringLiteral("Page two")));
        r.desktop->key(QStringLiteral("ctrl+r"));
        QVERIFY(reloaded(2));
        // Stop puts the page's title into the caption at once.
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(waitForTitle(r, viewer, QStringLiteral("Page two")));

        // The About window, then the viewer, closed: the focus is back on the logo.
        r.desktop->focus(about);
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(aboutTitle));
        r.desktop->focus(viewer);
        r.desktop->key(QStringLiteral("alt+F4"));
        QVERIFY(logoFocused(r));
        // A logout's SIGTERM ends the program as Exit does, the viewer with it; nothing is left.
        ::kill(pid_t(r.program->processId()), SIGTERM);
        QVERIFY(r.program->waitForFinished(10000));
        QCOMPARE(r.program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(r.program->exitCode(), 0);
        QVERIFY(DesktopSession::waitUntil([&] { return r.desktop->programProcesses().isEmpty(); },
                                          10000));
        QCOMPARE(QDir(r.desktop->appFolder()).entryList(QDir::Files | QDir::Hidden),
                 QDir(QStringLiteral(LUMI_APP_DIR)).entryList(QDir::Files));
    }
};

QTEST_GUILESS_MAIN(TestDesktopE2E)
#include "test_desktop_e2e.moc"
