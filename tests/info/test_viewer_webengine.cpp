// The viewer on the real web engine, with pages from a loopback server the test runs, and the
// viewer process started, raised and ended as the program does it.

#include "info/frm_browser.h"
#include "info/viewer_process.h"
#include "info/webengine_component.h"
#include "platform/timers.h"
#include "test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <set>

namespace {

const QString kLoading = QStringLiteral("Loading the page, please wait...");

// A loopback HTTP server: /a, /b, /home and /search answer at once, /slow after 4 s.
class PageServer : public QObject {
public:
    PageServer() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2")
            .arg(m_server.serverPort())
            .arg(QLatin1String(path));
    }
    quint16 port() const { return m_server.serverPort(); }
    int slowRequests = 0;

private:
    void answer(QTcpSocket* socket) {
        const QByteArray request = socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        QByteArray body = "<html><head><title>" + path.mid(1) + " page</title></head><body>" +
                          path + "</body></html>";
        QByteArray status = "200 OK";
        if (path == "/favicon.ico") {
            status = "404 Not Found";
            body.clear();
        }
        const QByteArray reply = "HTTP/1.1 " + status +
                                 "\r\nContent-Type: text/html\r\nConnection: close\r\n"
                                 "Content-Length: " +
                                 QByteArray::number(body.size()) + "\r\n\r\n" + body;
        QPointer<QTcpSocket> guarded(socket);
        auto send = [guarded, reply] {
            if (guarded && guarded->state() == QAbstractSocket::ConnectedState) {
                guarded->write(reply);
                guarded->disconnectFromHost();
            }
        };
        if (path != "/slow")
            return send();
        ++slowRequests;
        QTimer::singleShot(4000, this, send);
    }
    QTcpServer m_server;
};

// Every process below the given one.
std::set<qint64> descendants(qint64 root) {
    std::map<qint64, qint64> parentOf;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        parentOf[pid] = fields.value(1).toLongLong();
    }
    std::set<qint64> found{root};
    for (bool grew = true; grew;) {
        grew = false;
        for (auto [pid, parent] : parentOf)
            if (found.count(parent) && !found.count(pid))
                grew = found.insert(pid).second;
    }
    found.erase(root);
    return found;
}

bool alive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

class TestViewerWebEngine : public QObject {
    Q_OBJECT

    PageServer m_pages;
    QtTimerFactory m_timers;

private slots:
    void realEngineDrivesTheViewer() {
        TestAppFolder folder;
        MessageBoxRecorder boxes;
        auto component =
            std::make_unique<WebEngineComponent>(m_pages.url("/home"), m_pages.url("/search"));
        frmBrowser viewer(std::move(component), m_timers, m_pages.url("/a"));
        QStringList captions;
        connect(&viewer, &QWidget::windowTitleChanged, this,
                [&](const QString& title) { captions << title; });

        viewer.Form_Load();
        QTRY_COMPARE_WITH_TIMEOUT(viewer.windowTitle(), QStringLiteral("a page"), 30000);
        QVERIFY(captions.contains(kLoading));
        QTRY_VERIFY(!viewer.timTimer().isEnabled());
        QCOMPARE(viewer.cboAddress->itemText(0), m_pages.url("/a"));
        QCOMPARE(viewer.cboAddress->count(), 1);

        // Typed without a scheme: the engine reads it as an address bar does.
        viewer.cboAddress->lineEdit()->setText(
            QStringLiteral("127.0.0.1:%1/b").arg(m_pages.port()));
        QTest::keyClick(viewer.cboAddress->lineEdit(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(viewer.windowTitle(), QStringLiteral("b page"), 15000);
        QCOMPARE(viewer.cboAddress->itemText(0), m_pages.url("/b"));

        viewer.tbToolBar_ButtonClick(QStringLiteral("Back"));
        QTRY_COMPARE_WITH_TIMEOUT(viewer.windowTitle(), QStringLiteral("a page"), 15000);
        QTRY_COMPARE(viewer.cboAddress->itemText(0), m_pages.url("/a"));
        QCOMPARE(viewer.cboAddress->count(), 2);
        viewer.tbToolBar_ButtonClick(QStringLiteral("Forward"));
        QTRY_COMPARE_WITH_TIMEOUT(viewer.windowTitle(), QStringLiteral("b page"), 15000);
        viewer.tbToolBar_ButtonClick(QStringLiteral("Refresh"));
        QTRY_VERIFY_WITH_TIMEOUT(!viewer.timTimer().isEnabled(), 15000);
        QCOMPARE(viewer.windowTitle(), QStringLiteral("b page"));

        viewer.tbToolBar_ButtonClick(QStringLiteral("Home"));
        QTRY_COMPARE_WITH_TIMEOUT(viewer.windowTitle(), QStringLiteral("home page"), 15000);
        viewer.tbToolBar_ButtonClick(QStringLiteral("Search"));
        QTRY_COMPARE_WITH_TIMEOUT(viewer.windowTitle(), QStringLiteral("search page"), 15000);
        QCOMPARE(viewer.cboAddress->itemText(0), m_pages.url("/search"));
        QCOMPARE(viewer.cboAddress->itemText(1), m_pages.url("/home"));

        // A slow page: the caption says so until Stop puts the current title back at once.
        viewer.cboAddress->lineEdit()->setText(m_pages.url("/slow"));
        viewer.cboAddress_KeyPress(13);
        QTRY_COMPARE(viewer.windowTitle(), kLoading);
        QTRY_COMPARE(m_pages.slowRequests, 1); // the engine waits for the answer
        QCOMPARE(viewer.windowTitle(), kLoading);
        viewer.tbToolBar_ButtonClick(QStringLiteral("Stop"));
        QCOMPARE(viewer.windowTitle(), QStringLiteral("search page"));
        QVERIFY(!viewer.timTimer().isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!viewer.brwWebBrowser().Busy(), 5000);
        QCOMPARE(viewer.cboAddress->itemText(0), m_pages.url("/search"));
        QCOMPARE(boxes.count(), 0);
    }

    void viewerProcessOpensRaisesAndEnds() {
        ViewerProcess& process = ViewerProcess::instance();
        process.setProgram(QStringLiteral(LUMI_APP_DIR "/lumivista-viewer"),
                           {QStringLiteral("--start-page"), m_pages.url("/a")});
        QSignalSpy said(&process, &ViewerProcess::viewerSaid);
        QVERIFY(process.showViewer());
        const qint64 pid = process.processId();
        QTRY_COMPARE_WITH_TIMEOUT(said.size(), 1, 30000);
        QCOMPARE(said[0][0].toByteArray(), QByteArray("shown\n"));
        QVERIFY(process.showViewer());
        QTRY_COMPARE(said.size(), 2);
        QCOMPARE(said[1][0].toByteArray(), QByteArray("raised\n"));
        QCOMPARE(process.processId(), pid);

        // The engine runs its pages in helper processes.
        QTRY_VERIFY_WITH_TIMEOUT(!descendants(pid).empty(), 15000);
        const std::set<qint64> helpers = descendants(pid);
        process.closeViewer();
        QVERIFY(!process.isRunning());
        for (qint64 helper : helpers)
            QTRY_VERIFY2_WITH_TIMEOUT(!alive(helper), qPrintable(QString::number(helper)), 10000);

        // Opened again: a new process, with its own fresh history.
        QVERIFY(process.showViewer());
        QVERIFY(process.processId() != pid);
        QTRY_COMPARE_WITH_TIMEOUT(said.size(), 3, 30000);
        process.closeViewer();
    }

    void viewerDiesWithItsParent() {
        // A parent that keeps the viewer's input open and then crashes.
        QProcess parent;
        parent.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("exec 3<&0; \"$0\" --start-page \"$1\" <&3 & echo $!; wait"),
                      QStringLiteral(LUMI_APP_DIR "/lumivista-viewer"), m_pages.url("/a")});
        QVERIFY(parent.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(parent.canReadLine(), 10000);
        const qint64 viewer = parent.readLine().trimmed().toLongLong();
        QVERIFY(viewer > 0);
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += parent.readAllStandardOutput()).contains("shown"),
                                 30000);
        QVERIFY(alive(viewer));
        ::kill(pid_t(parent.processId()), SIGKILL);
        QVERIFY(parent.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!alive(viewer), 10000);
    }
};

int main(int argc, char* argv[]) {
    // The engine cannot use a GPU off screen.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --disable-gpu").trimmed());
    WebEngineComponent::PrepareProcess();
    QApplication app(argc, argv);
    TestViewerWebEngine test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_viewer_webengine.moc"
