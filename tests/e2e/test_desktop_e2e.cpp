// The real program on a real X desktop (Xvfb 1920 x 1080, openbox or icewm), driven with
// xdotool.
#include "core/module1.h"
#include "desktop_session.h"
#include "test_support.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// Nine records with every exercise off (frequency 0), timing 10, and the given totals.
QByteArray quietSettings(int total = 0) {
    QByteArray bytes;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        bytes += handRecord(n, 0, 10, "message " + QByteArray::number(n), total, 0);
    return bytes;
}

std::int16_t field(const QByteArray& file, int record, int offset) {
    const int at = (record - 1) * 70 + offset;
    return std::int16_t(quint8(file[at]) | (quint8(file[at + 1]) << 8));
}

// A loopback page for the viewer, served from this process.
class LoopbackPage : public QTcpServer {
public:
    LoopbackPage() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    const QByteArray body = "<html><head><title>Loopback test "
                                            "page</title></head><body>ok</body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(serverPort()); }
};
} // namespace

class TestDesktopE2E : public QObject {
    Q_OBJECT

    struct Running {
        std::unique_ptr<DesktopSession> desktop;
        QProcess* program = nullptr;
        QString logo;
    };

    Running start(const QByteArray& settings) {
        Running r;
        r.desktop = std::make_unique<DesktopSession>();
        if (!r.desktop->ready())
            return r;
        r.desktop->writeSettings(settings);
        r.program = r.desktop->launch();
        r.logo = r.desktop->waitForLogoWindow(r.program->processId());
        return r;
    }

    QPoint logoCentre(const Running& r) const { return r.desktop->geometry(r.logo).center(); }

    void openMenu(const Running& r) const {
        r.desktop->click(logoCentre(r), 3);
        QThread::msleep(500);
    }

private slots:
    void startsInPlaceNotOnTopAndMovesWhenDragged() {
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        QCOMPARE(r.desktop->geometry(r.logo), QRect(1344, 950, 87, 37));
        QVERIFY(!r.desktop->netWmState(r.logo).contains(QStringLiteral("_NET_WM_STATE_ABOVE")));

        // The grabbed point stays under the pointer: a drag moves the window by exactly as much.
        QPoint expected(1344, 950);
        QPoint grab(1380, 968);
        for (const QPoint by : {QPoint(-200, -100), QPoint(-380, -368), QPoint(580, 468)}) {
            r.desktop->drag(grab, grab + by);
            expected += by;
            grab += by;
            DesktopSession::waitUntil(
                [&] { return r.desktop->clientArea(r.logo).topLeft() == expected; }, 3000);
            const QRect moved = r.desktop->clientArea(r.logo);
            QVERIFY2(qAbs(moved.x() - expected.x()) <= 1 && qAbs(moved.y() - expected.y()) <= 1,
                     qPrintable(QStringLiteral("dragged by %1,%2, moved to %3,%4, not %5,%6")
                                    .arg(by.x())
                                    .arg(by.y())
                                    .arg(moved.x())
                                    .arg(moved.y())
                                    .arg(expected.x())
                                    .arg(expected.y())));
            QCOMPARE(moved.size(), QSize(87, 37));
        }
    }

    // A reminder, not a task: no taskbar or pager entry, on every workspace, with the icon.
    void floatingWindowIsNoTaskAndOnEveryWorkspace() {
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        const QStringList state = r.desktop->netWmState(r.logo);
        QVERIFY2(state.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")),
                 qPrintable(state.join(' ')));
        QVERIFY2(state.contains(QStringLiteral("_NET_WM_STATE_SKIP_PAGER")),
                 qPrintable(state.join(' ')));
        QCOMPARE(r.desktop->property(r.logo, QStringLiteral("_NET_WM_DESKTOP")),
                 QStringLiteral("4294967295"));
        QVERIFY(r.desktop->hasIcon(r.logo));
        // The class the menu entry's StartupWMClass names.
        QVERIFY(r.desktop->property(r.logo, QStringLiteral("WM_CLASS"))
                    .endsWith(QLatin1String(", \"Lumivista\"")));
        for (int workspace : {1, 3, 0}) {
            QVERIFY(r.desktop->switchToWorkspace(workspace));
            QThread::msleep(200);
            QVERIFY2(r.desktop->isViewable(r.logo), qPrintable(QString::number(workspace)));
        }
        QCOMPARE(r.desktop->clientArea(r.logo), QRect(1344, 950, 87, 37));
    }

    // The windows the menu opens: their outer frames centred on the screen, the application
    // icon on each, and nothing that would minimise, maximise or resize them.
    void dialogsOpenCentredWithTheIcon_data() {
        QTest::addColumn<QString>("menuKey");
        QTest::addColumn<QString>("title");
        QTest::newRow("configuration") << "c"
                                       << " Lumivista: Logo Configuration Window";
        QTest::newRow("statistics") << "s"
                                    << " Lumivista: Statistics";
        QTest::newRow("about") << "a"
                               << " About Lumivista";
    }
    void dialogsOpenCentredWithTheIcon() {
        QFETCH(QString, menuKey);
        QFETCH(QString, title);
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        openMenu(r);
        r.desktop->key(menuKey);
        const QString window = r.desktop->waitForWindow(title);
        QVERIFY(!window.isEmpty());
        std::optional<QMargins> frame;
        QVERIFY(DesktopSession::waitUntil(
            [&] { return (frame = r.desktop->frameExtents(window)).has_value(); }, 5000));
        QVERIFY2(*frame != QMargins(), "no frame");
        QThread::msleep(300); // the window settles where it is going
        const QRect outer = r.desktop->clientArea(window).marginsAdded(*frame);
        const QPoint centred((1920 - outer.width()) / 2, (1080 - outer.height()) / 2);
        QVERIFY2(
            (outer.topLeft() - centred).manhattanLength() <= 1 ||
                (qAbs(outer.left() - centred.x()) <= 1 && qAbs(outer.top() - centred.y()) <= 1),
            qPrintable(QStringLiteral("%1: frame at %2,%3 (%4 x %5), centred is %6,%7")
                           .arg(r.desktop->windowManager())
                           .arg(outer.left())
                           .arg(outer.top())
                           .arg(outer.width())
                           .arg(outer.height())
                           .arg(centred.x())
                           .arg(centred.y())));
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
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        QProcess* second = r.desktop->launch();
        const QString box = r.desktop->waitForWindowOf(second->processId());
        QVERIFY(!box.isEmpty());
        QCOMPARE(r.desktop->title(box), QStringLiteral("Lumivista"));
        QVERIFY(r.desktop->activate(box));
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(r.program->state(), QProcess::Running);

        // A start whose runtime folder cannot be used still finds the running one.
        QProcess* third = r.desktop->launch(QStringLiteral("/dev/null/runtime"));
        const QString thirdBox = r.desktop->waitForWindowOf(third->processId());
        QVERIFY(!thirdBox.isEmpty());
        QVERIFY(r.desktop->activate(thirdBox));
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(third->waitForFinished(5000));
        QCOMPARE(r.program->state(), QProcess::Running);
        QCOMPARE(r.desktop->geometry(r.logo), QRect(1344, 950, 87, 37));
    }

    void exerciseWidensTheWindowAtItsTickAndNarrowsAfterItsTiming() {
        QByteArray settings = quietSettings();
        settings.replace(140, 70, handRecord(3, 1, 10, "blink", 0, 0)); // Blinking: F 1, T 10
        Running r = start(settings);
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY(DesktopSession::waitUntil(
            [&] { return r.desktop->geometry(r.logo).width() == 87 + 33; }, 14000));
        QVERIFY2(sinceStart.elapsed() > 8500, qPrintable(QString::number(sinceStart.elapsed())));
        QElapsedTimer shown;
        shown.start();
        QVERIFY(DesktopSession::waitUntil([&] { return r.desktop->geometry(r.logo).width() == 87; },
                                          6000));
        // Ten display ticks of 300 ms, then the eleventh removes it.
        QVERIFY2(shown.elapsed() > 2500, qPrintable(QString::number(shown.elapsed())));
    }

    void menuBackFrontTogglesStayOnTop() {
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        for (bool expectAbove : {true, false}) {
            openMenu(r);
            r.desktop->key(QStringLiteral("b"));
            const QString box = r.desktop->waitForWindow(QStringLiteral("Attention..."));
            QVERIFY(!box.isEmpty());
            // The stacking changes only once the message is dismissed.
            QCOMPARE(r.desktop->netWmState(r.logo).contains(QStringLiteral("_NET_WM_STATE_ABOVE")),
                     !expectAbove);
            r.desktop->key(QStringLiteral("Return"));
            QVERIFY(DesktopSession::waitUntil(
                [&] {
                    return r.desktop->netWmState(r.logo).contains(
                               QStringLiteral("_NET_WM_STATE_ABOVE")) == expectAbove;
                },
                5000));
        }
    }

    void configurationSavesTypedEditsAndDrivesTheCycle() {
        Running r = start(quietSettings(5));
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());

        // The menu's access key C opens it; closing it from the title bar acts as Cancel.
        openMenu(r);
        r.desktop->key(QStringLiteral("c"));
        const QString title = QStringLiteral(" Lumivista: Logo Configuration Window");
        QString window = r.desktop->waitForWindow(title);
        QVERIFY(!window.isEmpty());
        r.desktop->key(QStringLiteral("alt+F4"));
        QVERIFY(r.desktop->waitForNoWindow(title));
        QCOMPARE(r.desktop->readSettings(), quietSettings(5));

        r.desktop->click(logoCentre(r), 1, 2);
        window = r.desktop->waitForWindow(title);
        QVERIFY(!window.isEmpty());
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
        QVERIFY(r.desktop->waitForNoWindow(title));
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
        QVERIFY(DesktopSession::waitUntil(
            [&] { return r.desktop->geometry(r.logo).width() == 87 + 33; }, 12000));
        QVERIFY(sinceOk.elapsed() < 11500);
    }

    void statisticsMinutesLandInTheFile() {
        Running r = start(quietSettings(20));
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        openMenu(r);
        r.desktop->key(QStringLiteral("s"));
        const QString window = r.desktop->waitForWindow(QStringLiteral(" Lumivista: Statistics"));
        QVERIFY(!window.isEmpty());
        QThread::msleep(300);
        r.desktop->key(QStringLiteral("ctrl+a"));
        r.desktop->type(QStringLiteral("15"));           // for "1. Edging", the first activity
        r.desktop->key(QStringLiteral("Tab Tab space")); // Reset, then OK
        QVERIFY(DesktopSession::waitUntil(
            [&] { return field(r.desktop->readSettings(), 1, 66) == 35; }, 5000));
        const QByteArray file = r.desktop->readSettings();
        QCOMPARE(int(field(file, 1, 68)), 15);
        QCOMPARE(file.mid(70), quietSettings(20).mid(70));
    }

    void aboutVisitOpensTheViewerAndExitEndsEverything() {
        LoopbackPage page;
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        openMenu(r);
        r.desktop->key(QStringLiteral("a"));
        const QString about = r.desktop->waitForWindow(QStringLiteral(" About Lumivista"));
        QVERIFY(!about.isEmpty());
        // cmd2 stands at 360, 4560 twips, 1635 x 615.
        const QRect aboutRect = r.desktop->geometry(about);
        r.desktop->click(aboutRect.topLeft() + QPoint(24 + 54, 304 + 20));

        QString viewer;
        QVERIFY(DesktopSession::waitUntil(
            [&] {
                for (const QString& pid : r.desktop->programProcesses()) {
                    if (pid.toLongLong() == r.program->processId())
                        continue;
                    const QStringList ids =
                        r.desktop
                            ->x(QStringLiteral("xdotool"),
                                {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), pid})
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                    // The top-level: the one with a title.
                    for (const QString& id : ids) {
                        if (!r.desktop->title(id).isEmpty()) {
                            viewer = id;
                            return true;
                        }
                    }
                }
                return false;
            },
            30000));

        // Alt+A moves to the address box; Enter goes to exactly the typed address.
        QVERIFY2(r.desktop->activate(viewer),
                 qPrintable(QStringLiteral("viewer %1 \"%2\", active %3")
                                .arg(viewer, r.desktop->title(viewer),
                                     r.desktop->x(QStringLiteral("xdotool"),
                                                  {QStringLiteral("getactivewindow")}))));
        r.desktop->key(QStringLiteral("alt+a ctrl+a"));
        r.desktop->type(page.url());
        QVERIFY(r.desktop->hasIcon(viewer));
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(DesktopSession::waitUntil(
            [&] {
                QCoreApplication::processEvents();
                return r.desktop->title(viewer) == QStringLiteral("Loopback test page");
            },
            30000));

        openMenu(r);
        r.desktop->key(QStringLiteral("e"));
        const QString box = r.desktop->waitForWindow(QStringLiteral("Lumivista"), 10000, r.logo);
        QVERIFY(!box.isEmpty());
        r.desktop->key(QStringLiteral("y"));
        QVERIFY(r.program->waitForFinished(10000));
        QVERIFY(DesktopSession::waitUntil([&] { return r.desktop->programProcesses().isEmpty(); },
                                          10000));
    }

    // Every command of the popup menu from the logo with the keyboard alone; Enter and Escape
    // in both dialogs.
    void keyboardReachesEveryCommandFromTheLogo() {
        Running r = start(quietSettings(20));
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        auto focusLogo = [&] {
            r.desktop->x(QStringLiteral("xdotool"),
                         {QStringLiteral("windowactivate"), QStringLiteral("--sync"), r.logo});
            QThread::msleep(300);
        };
        const QString configuration = QStringLiteral(" Lumivista: Logo Configuration Window");
        const QString statistics = QStringLiteral(" Lumivista: Statistics");

        // Menu key, C: the configuration; Escape cancels it.
        focusLogo();
        r.desktop->key(QStringLiteral("Menu"));
        QThread::msleep(500);
        r.desktop->key(QStringLiteral("c"));
        QVERIFY(!r.desktop->waitForWindow(configuration).isEmpty());
        QThread::msleep(300);
        r.desktop->type(QStringLiteral("5"));
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(configuration));
        QCOMPARE(r.desktop->readSettings(), quietSettings(20));

        // Enter on the logo: the configuration again; Enter in a box saves as OK does.
        focusLogo();
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(!r.desktop->waitForWindow(configuration).isEmpty());
        QThread::msleep(300);
        r.desktop->type(QStringLiteral("7")); // Text2(0), its text selected
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(r.desktop->waitForNoWindow(configuration));
        QCOMPARE(int(field(r.desktop->readSettings(), 1, 2)), 7);

        // Shift+F10, S: the statistics; Enter in the minutes enters them, Escape closes.
        focusLogo();
        r.desktop->key(QStringLiteral("shift+F10"));
        QThread::msleep(500);
        r.desktop->key(QStringLiteral("s"));
        QVERIFY(!r.desktop->waitForWindow(statistics).isEmpty());
        QThread::msleep(300);
        r.desktop->key(QStringLiteral("ctrl+a"));
        r.desktop->type(QStringLiteral("15"));
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(DesktopSession::waitUntil(
            [&] { return field(r.desktop->readSettings(), 1, 66) == 35; }, 5000));
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(statistics));

        // About, then Back/Front with its message, then Exit.
        focusLogo();
        r.desktop->key(QStringLiteral("Menu"));
        QThread::msleep(500);
        r.desktop->key(QStringLiteral("a"));
        const QString about = QStringLiteral(" About Lumivista");
        QVERIFY(!r.desktop->waitForWindow(about).isEmpty());
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(r.desktop->waitForNoWindow(about));

        focusLogo();
        r.desktop->key(QStringLiteral("Menu"));
        QThread::msleep(500);
        r.desktop->key(QStringLiteral("b"));
        QVERIFY(!r.desktop->waitForWindow(QStringLiteral("Attention...")).isEmpty());
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(DesktopSession::waitUntil(
            [&] {
                return r.desktop->netWmState(r.logo).contains(
                    QStringLiteral("_NET_WM_STATE_ABOVE"));
            },
            5000));

        focusLogo();
        r.desktop->key(QStringLiteral("shift+F10"));
        QThread::msleep(500);
        r.desktop->key(QStringLiteral("e"));
        QVERIFY(!r.desktop->waitForWindow(QStringLiteral("Lumivista"), 10000, r.logo).isEmpty());
        r.desktop->key(QStringLiteral("y"));
        QVERIFY(r.program->waitForFinished(10000));
    }

    // The viewer's toolbar from the keyboard: Alt+Left, Alt+Right, F5 and Ctrl+R, Escape.
    void viewerKeysMoveThroughPages() {
        // Two pages, told apart by their titles; every request is counted.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QHash<QString, int> requests;
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket, &requests] {
                    const QByteArray request = socket->readAll();
                    const QString path = QString::fromLatin1(request.split(' ').value(1));
                    ++requests[path];
                    const QByteArray body = "<html><head><title>Page " + path.mid(1).toLatin1() +
                                            "</title></head><body>ok</body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                  "Cache-Control: no-store\r\nContent-Length: " +
                                  QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
        const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());

        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        // About from the keyboard; Tab to Visit, Space presses it.
        r.desktop->x(QStringLiteral("xdotool"),
                     {QStringLiteral("windowactivate"), QStringLiteral("--sync"), r.logo});
        QThread::msleep(300);
        r.desktop->key(QStringLiteral("Menu"));
        QThread::msleep(500);
        r.desktop->key(QStringLiteral("a"));
        QVERIFY(!r.desktop->waitForWindow(QStringLiteral(" About Lumivista")).isEmpty());
        QThread::msleep(300);
        r.desktop->key(QStringLiteral("Tab space"));

        QString viewer;
        QVERIFY(DesktopSession::waitUntil(
            [&] {
                for (const QString& pid : r.desktop->programProcesses()) {
                    if (pid.toLongLong() == r.program->processId())
                        continue;
                    viewer = r.desktop
                                 ->x(QStringLiteral("xdotool"),
                                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                      QStringLiteral("--pid"), pid})
                                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                 .value(0);
                    if (!viewer.isEmpty())
                        return true;
                }
                return false;
            },
            30000));
        auto titled = [&](const QString& title) {
            return DesktopSession::waitUntil(
                [&] {
                    QCoreApplication::processEvents();
                    return r.desktop->title(viewer) == title;
                },
                30000);
        };
        auto go = [&](const QString& page) {
            r.desktop->x(QStringLiteral("xdotool"),
                         {QStringLiteral("windowactivate"), QStringLiteral("--sync"), viewer});
            r.desktop->key(QStringLiteral("alt+a ctrl+a"));
            r.desktop->type(base + page);
            r.desktop->key(QStringLiteral("Return"));
            return titled(QStringLiteral("Page ") + page);
        };
        QVERIFY(go(QStringLiteral("one")));
        QVERIFY(go(QStringLiteral("two")));

        r.desktop->key(QStringLiteral("alt+Left"));
        QVERIFY(titled(QStringLiteral("Page one")));
        r.desktop->key(QStringLiteral("alt+Right"));
        QVERIFY(titled(QStringLiteral("Page two")));
        const int before = requests.value(QStringLiteral("/two"));
        r.desktop->key(QStringLiteral("F5"));
        QVERIFY(DesktopSession::waitUntil(
            [&] {
                QCoreApplication::processEvents();
                return requests.value(QStringLiteral("/two")) == before + 1;
            },
            15000));
        QVERIFY(titled(QStringLiteral("Page two")));
        r.desktop->key(QStringLiteral("ctrl+r"));
        QVERIFY(DesktopSession::waitUntil(
            [&] {
                QCoreApplication::processEvents();
                return requests.value(QStringLiteral("/two")) == before + 2;
            },
            15000));
        // Stop puts the page's title into the caption at once.
        r.desktop->key(QStringLiteral("Escape"));
        QVERIFY(titled(QStringLiteral("Page two")));
    }
};

QTEST_GUILESS_MAIN(TestDesktopE2E)
#include "test_desktop_e2e.moc"
