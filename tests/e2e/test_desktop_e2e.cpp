// The real program on a real X desktop (Xvfb 1920 x 1080, openbox), driven with xdotool.
#include "desktop_session.h"
#include "test_support.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// Nine records with every exercise off (frequency 0), timing 10, and the given totals.
QByteArray quietSettings(int total = 0) {
    QByteArray bytes;
    for (int n = 1; n <= 9; ++n)
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
                    const QByteArray body =
                        "<html><head><title>Loopback test page</title></head><body>ok</body></html>";
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

        r.desktop->drag(QPoint(1380, 968), QPoint(1000, 600));
        QVERIFY(DesktopSession::waitUntil(
            [&] { return r.desktop->geometry(r.logo).topLeft() != QPoint(1344, 950); }, 5000));
        const QRect moved = r.desktop->geometry(r.logo);
        QVERIFY2(qAbs(moved.x() - 964) <= 12 && qAbs(moved.y() - 582) <= 12,
                 qPrintable(QStringLiteral("moved to %1,%2").arg(moved.x()).arg(moved.y())));
        QCOMPARE(moved.size(), QSize(87, 37));
    }

    void secondStartIsRefused() {
        Running r = start(quietSettings());
        QVERIFY2(r.desktop->ready(), qPrintable(r.desktop->error()));
        QVERIFY(!r.logo.isEmpty());
        QProcess* second = r.desktop->launch();
        const QString box = r.desktop->waitForWindowOf(second->processId());
        QVERIFY(!box.isEmpty());
        QCOMPARE(r.desktop->title(box), QStringLiteral("Lumivista"));
        r.desktop->x(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"),
                                                 QStringLiteral("--sync"), box});
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(r.program->state(), QProcess::Running);

        // A start whose runtime folder cannot be used still finds the running one.
        QProcess* third = r.desktop->launch(QStringLiteral("/dev/null/runtime"));
        const QString thirdBox = r.desktop->waitForWindowOf(third->processId());
        QVERIFY(!thirdBox.isEmpty());
        r.desktop->x(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"),
                                                 QStringLiteral("--sync"), thirdBox});
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
        QVERIFY(DesktopSession::waitUntil(
            [&] { return r.desktop->geometry(r.logo).width() == 87; }, 6000));
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
            QVERIFY(DesktopSession::waitUntil([&] {
                return r.desktop->netWmState(r.logo).contains(
                           QStringLiteral("_NET_WM_STATE_ABOVE")) == expectAbove;
            }, 5000));
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
        for (int i = 0; i < 9; ++i)
            r.desktop->key(QStringLiteral("Tab")); // Text2(1..8), then Text3(0)
        r.desktop->type(QStringLiteral("4"));
        r.desktop->key(QStringLiteral("Tab")); // Text4(0)
        r.desktop->type(QStringLiteral("Look up"));
        for (int i = 0; i < 9; ++i)
            r.desktop->key(QStringLiteral("Tab")); // Text4(1..8), then OK
        r.desktop->key(QStringLiteral("space"));
        QVERIFY(r.desktop->waitForNoWindow(title));
        QElapsedTimer sinceOk;
        sinceOk.start();

        const QByteArray file = r.desktop->readSettings();
        QCOMPARE(file.size(), 630);
        QCOMPARE(file.left(70), handRecord(1, 1, 4, "Look up", 5, 0));
        for (int n = 2; n <= 9; ++n) {
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
        r.desktop->type(QStringLiteral("15")); // for "1. Edging", the first activity
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
        QVERIFY(DesktopSession::waitUntil([&] {
            for (const QString& pid : r.desktop->programProcesses()) {
                if (pid.toLongLong() == r.program->processId())
                    continue;
                const QStringList ids = r.desktop->x(QStringLiteral("xdotool"),
                                                     {QStringLiteral("search"),
                                                      QStringLiteral("--onlyvisible"),
                                                      QStringLiteral("--pid"), pid})
                                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                if (!ids.isEmpty()) {
                    viewer = ids.first();
                    return true;
                }
            }
            return false;
        }, 30000));

        // Alt+A moves to the address box; Enter goes to exactly the typed address.
        r.desktop->x(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"),
                                                 QStringLiteral("--sync"), viewer});
        r.desktop->key(QStringLiteral("alt+a ctrl+a"));
        r.desktop->type(page.url());
        r.desktop->key(QStringLiteral("Return"));
        QVERIFY(DesktopSession::waitUntil([&] {
            QCoreApplication::processEvents();
            return r.desktop->title(viewer) == QStringLiteral("Loopback test page");
        }, 30000));

        openMenu(r);
        r.desktop->key(QStringLiteral("e"));
        const QString box = r.desktop->waitForWindow(QStringLiteral("Lumivista"), 10000, r.logo);
        QVERIFY(!box.isEmpty());
        r.desktop->key(QStringLiteral("y"));
        QVERIFY(r.program->waitForFinished(10000));
        QVERIFY(DesktopSession::waitUntil([&] { return r.desktop->programProcesses().isEmpty(); },
                                          10000));
    }
};

QTEST_GUILESS_MAIN(TestDesktopE2E)
#include "test_desktop_e2e.moc"
