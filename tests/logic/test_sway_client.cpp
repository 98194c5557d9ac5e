// sway's IPC client against a fake sway on a socket of the test's own: whatever the peer does,
// the event loop keeps running, the process lives and each request ends by its deadline.
#include "platform/sway_client.h"
#include "platform/sway_placement.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <QtTest>

#include <cstring>

namespace {
enum Manner { Answers, Silent, HangsUp, Trickles, Oversized };

QByteArray message(quint32 type, const QByteArray& payload, quint32 length) {
    const quint32 header[] = {length, type};
    return "i3-ipc" + QByteArray(reinterpret_cast<const char*>(header), sizeof header) + payload;
}

// One output, one workspace, the window floating there.
QByteArray treeWith(const QJsonObject& window) {
    const QJsonObject workspace{{"type", "workspace"}, {"floating_nodes", QJsonArray{window}}};
    const QJsonObject output{{"type", "output"}, {"nodes", QJsonArray{workspace}}};
    return QJsonDocument(QJsonObject{{"type", "root"}, {"nodes", QJsonArray{output}}}).toJson();
}

QJsonObject rect(int x, int y, int width, int height) {
    return {{"x", x}, {"y", y}, {"width", width}, {"height", height}};
}

QJsonObject swayWindow(qint64 id, const char* border, int title, int below = 2) {
    return {{"window", id},
            {"border", border},
            {"rect", rect(100, 200, 404, 300 + below)},
            {"window_rect", rect(2, 0, 400, 300)},
            {"deco_rect", rect(0, 0, 404, title)}};
}

class FakeSway : public QObject {
public:
    explicit FakeSway(Manner manner) : m_manner(manner) {
        m_server.listen(m_folder.filePath(QStringLiteral("sway.sock")));
        connect(&m_server, &QLocalServer::newConnection, this, &FakeSway::accept);
        m_trickle.setInterval(20);
        connect(&m_trickle, &QTimer::timeout, this, [this] {
            if (m_client && !m_pending.isEmpty()) {
                m_client->write(m_pending.left(1));
                m_pending.remove(0, 1);
            }
        });
    }
    QString path() const { return m_server.fullServerName(); }
    // Takes the connection made and hangs up at once, before the client's event loop runs.
    void hangUpNow() {
        if (m_manner == HangsUp && m_connections == 0)
            m_server.waitForNewConnection(1000);
    }

    Manner m_manner;
    std::function<QByteArray()> m_tree = [] { return treeWith({}); };
    QStringList m_commands;
    int m_connections = 0;

private:
    void accept() {
        while (QLocalSocket* client = m_server.nextPendingConnection()) {
            ++m_connections;
            if (m_manner == HangsUp) {
                client->abort(); // whatever was written stays unread
                client->deleteLater();
                continue;
            }
            connect(client, &QLocalSocket::readyRead, this, [this, client] { read(client); });
        }
    }

    void read(QLocalSocket* client) {
        QByteArray& buffer = m_buffers[client];
        buffer += client->readAll();
        quint32 length = 0;
        quint32 type = 0;
        while (buffer.size() >= 14 && (std::memcpy(&length, buffer.constData() + 6, 4),
                                       buffer.size() >= 14 + qsizetype(length))) {
            std::memcpy(&type, buffer.constData() + 10, 4);
            const QByteArray payload = buffer.mid(14, length);
            buffer.remove(0, 14 + length);
            QByteArray answer = "{\"success\": true}";
            if (type == quint32(SwayClient::Message::GetTree))
                answer = m_tree();
            else if (type == quint32(SwayClient::Message::RunCommand))
                m_commands << QString::fromUtf8(payload);
            if (m_manner == Answers)
                client->write(message(type, answer, quint32(answer.size())));
            else if (m_manner == Oversized)
                client->write(message(type, {}, quint32(SwayClient::LargestAnswer + 1)));
            else if (m_manner == Trickles) {
                m_client = client;
                m_pending += message(type, answer, quint32(answer.size()));
                m_trickle.start();
            }
        }
    }

    QTemporaryDir m_folder;
    QLocalServer m_server;
    QHash<QLocalSocket*, QByteArray> m_buffers;
    QPointer<QLocalSocket> m_client;
    QByteArray m_pending;
    QTimer m_trickle;
};

// The event loop's longest pause while it runs.
class Heartbeat {
public:
    Heartbeat() {
        m_since.start();
        m_beat.setInterval(10);
        QObject::connect(&m_beat, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_beat.start();
    }
    qint64 longestPause() const { return m_longest; }

private:
    QTimer m_beat;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};
} // namespace

class TestSwayClient : public QObject {
    Q_OBJECT
private slots:
    void everyRequestEndsByItsDeadline_data() {
        QTest::addColumn<int>("manner");
        QTest::addColumn<int>("payloadBytes");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("endsWithinMs");
        const int deadline = 400;
        // First, so that the client's own write meets the closed connection before any
        // other socket of the process has written.
        QTest::newRow("hangs up") << int(HangsUp) << 0 << false << deadline / 2;
        // More than the socket takes at once: the rest is written after the hang-up.
        QTest::newRow("hangs up under a long request")
            << int(HangsUp) << (1 << 20) << false << deadline / 2;
        QTest::newRow("answers") << int(Answers) << 0 << true << deadline;
        QTest::newRow("never answers") << int(Silent) << 0 << false << deadline + 200;
        QTest::newRow("trickles past the deadline")
            << int(Trickles) << 0 << false << deadline + 200;
        QTest::newRow("announces more than the bound")
            << int(Oversized) << 0 << false << deadline / 2;
        QTest::newRow("no sway there") << -1 << 0 << false << deadline / 2;
    }
    void everyRequestEndsByItsDeadline() {
        QFETCH(int, manner);
        QFETCH(int, payloadBytes);
        QFETCH(bool, answered);
        QFETCH(int, endsWithinMs);
        FakeSway sway(Manner(std::max(manner, 0)));
        QtTimerFactory timers;
        SwayClient client(manner < 0 ? sway.path() + QStringLiteral(".gone") : sway.path(), timers,
                          400);
        Heartbeat heartbeat;
        QElapsedTimer took;
        took.start();
        // Two requests on one connection; a sway that hangs up does so between them, so that
        // the second is written to a closed connection.
        std::optional<QByteArray> answers[2];
        int ended = 0;
        for (std::optional<QByteArray>& answer : answers) {
            client.ask(SwayClient::Message::GetTree, QByteArray(payloadBytes, ' '),
                       [&](const std::optional<QByteArray>& payload) {
                           answer = payload;
                           ++ended;
                       });
            sway.hangUpNow();
        }
        QCOMPARE(ended, 0); // never from within the request
        QTRY_COMPARE_WITH_TIMEOUT(ended, 2, 5000);
        QVERIFY2(took.elapsed() <= endsWithinMs, qPrintable(QString::number(took.elapsed())));
        for (const std::optional<QByteArray>& answer : answers)
            QCOMPARE(answer, answered ? std::optional<QByteArray>(treeWith({})) : std::nullopt);
        QVERIFY2(heartbeat.longestPause() < 100,
                 qPrintable(QString::number(heartbeat.longestPause())));
    }

    // A reset connection is left alone for a while, then made afresh.
    void aResetConnectionIsMadeAgainLater() {
        FakeSway sway(Silent);
        QtTimerFactory timers;
        SwayClient client(sway.path(), timers, 100, 300);
        int failed = 0;
        int answered = 0;
        const auto count = [&](const std::optional<QByteArray>& payload) {
            ++(payload ? answered : failed);
        };
        client.ask(SwayClient::Message::GetTree, {}, count);
        QTRY_COMPARE(failed, 1);
        sway.m_manner = Answers;
        client.ask(SwayClient::Message::GetTree, {}, count);
        QTRY_COMPARE(failed, 2);
        QCOMPARE(sway.m_connections, 1);
        QTest::qWait(300);
        client.ask(SwayClient::Message::GetTree, {}, count);
        QTRY_COMPARE(answered, 1);
        QCOMPARE(sway.m_connections, 2);
    }

    void framesFromSwaysTree_data() {
        QTest::addColumn<QJsonObject>("window");
        QTest::addColumn<QRect>("client");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<bool>("settled");
        const QRect client(102, 200, 400, 300);
        QTest::newRow("title bar and borders")
            << swayWindow(7, "normal", 25) << client << QMargins(2, 25, 2, 2) << true;
        QTest::newRow("title bar not drawn yet")
            << swayWindow(7, "normal", 0) << client << QMargins(2, 0, 2, 2) << false;
        QTest::newRow("without decorations")
            << swayWindow(7, "csd", 0) << client << QMargins(2, 0, 2, 2) << true;
        // sway 1.10 at first: no border yet, the room for the title bar below the window.
        QTest::newRow("title bar's room below")
            << swayWindow(7, "none", 0, 27) << client << QMargins(2, 0, 2, 27) << true;
        QTest::newRow("another window")
            << swayWindow(8, "normal", 25) << QRect() << QMargins() << false;
    }
    void framesFromSwaysTree() {
        QFETCH(QJsonObject, window);
        QFETCH(QRect, client);
        QFETCH(QMargins, frame);
        QFETCH(bool, settled);
        const std::optional<SwayView> view =
            FindSwayView(QJsonDocument::fromJson(treeWith(window)).object(), 7);
        QCOMPARE(view.has_value(), !client.isNull());
        if (view) {
            QCOMPARE(view->client, client);
            QCOMPARE(view->frame, frame);
            QCOMPARE(view->settled, settled);
        }
    }

    // sway 1.10 shows a new window first without its border, then with the title bar of no
    // height, and draws the bar a moment later: the last frame reported is the one with the
    // bar, and sway is told the place with it.
    void theFrameIsTheOneSwaySettlesOn() {
        QWidget window;
        window.setGeometry(300, 400, 400, 300);
        window.show();
        FakeSway sway(Answers);
        int asked = 0;
        sway.m_tree = [&] {
            ++asked;
            const qint64 id = qint64(window.winId());
            return treeWith(asked < 3   ? swayWindow(id, "none", 0, 27)
                            : asked < 5 ? swayWindow(id, "normal", 0)
                                        : swayWindow(id, "normal", 25));
        };
        QtTimerFactory timers;
        SwayWindows windows(sway.path(), timers);
        QList<QMargins> reported;
        windows.whenFrameKnown(&window, [&](const QMargins& frame) { reported << frame; });
        windows.keepPlace(&window);
        QTRY_VERIFY(!reported.isEmpty() && reported.last() == QMargins(2, 25, 2, 2));
        QVERIFY(!reported.contains(QMargins(2, 0, 2, 2)));
        QCOMPARE(windows.frame(&window), QMargins(2, 25, 2, 2));
        QTRY_VERIFY(!sway.m_commands.isEmpty());
        QTRY_COMPARE(sway.m_commands.last(),
                     QStringLiteral("[id=%1] resize set width 404 px height 327 px, move absolute "
                                    "position 298 375")
                         .arg(window.winId()));
    }
};

QTEST_MAIN(TestSwayClient)
#include "test_sway_client.moc"
