// The viewer on the real web engine, with pages from a loopback server the test runs, and the
// viewer process started, raised and ended as the program does it.

#include "info/frm_browser.h"
#include "info/viewer_process.h"
#include "info/webengine_component.h"
#include "platform/timers.h"
#include "test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <csignal>
#include <set>
#include <sys/resource.h>

namespace {

const QString kLoading = QStringLiteral("Loading the page, please wait...");

// Pages that try what a page may not do, and one for a screen reader.
const QHash<QByteArray, QByteArray> kBodies = {
    {"/links", "<style>a{position:absolute;left:0;width:300px;height:40px}</style>"
               "<a style='top:0' href='customapp://run?cmd=calc'>run</a>"
               "<a style='top:50px' href='ssh://127.0.0.1/'>ssh</a>"
               "<a style='top:100px' href='mailto:someone@example.com'>mail</a>"
               "<h1 style='margin-top:160px'>Eye exercises</h1><p>Blink often.</p>"},
    {"/dialogs", "<script>onload = () => { for (let i = 0; i < 20; ++i) alert(i);"
                 " document.title = 'after dialogs'; }</script>"},
    // Script heap short of the data limit but past the heap cap; gc is there by the user's own
    // script flag, which the cap must not drop (see main).
    {"/heap", "<script>if (typeof gc == 'function') { let kept = []; for (let mb = 0; mb < 640;"
              " mb += 8) kept.push(new Array(1e6).fill(1.5)); } document.title = 'kept';</script>"},
    {"/buffers", "<script>let kept = []; try { while (kept.length < 24) kept.push(new Uint8Array("
                 "1 << 26)); document.title = 'kept'; } catch (e) {"
                 " document.title = 'refused at ' + kept.length * 64; }</script>"}};

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
                          kBodies.value(path, path) + "</body></html>";
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

// Every accessible name under `face`, after its role.
void accessibleTexts(QAccessibleInterface* face, QStringList& found) {
    found << QStringLiteral("%1:%2").arg(int(face->role())).arg(face->text(QAccessible::Name));
    for (int i = 0; i < face->childCount(); ++i)
        accessibleTexts(face->child(i), found);
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

    QStringList m_handed; // addresses Qt would have given to another program
    rlim_t m_ownDataLimit = 0;
    std::unique_ptr<frmBrowser> m_viewer; // the case's viewer and its component
    WebEngineComponent* m_page = nullptr;

public slots:
    void handOver(const QUrl& url) { m_handed << url.toString(); }

private slots:
    void initTestCase() {
        rlimit own = {};
        ::getrlimit(RLIMIT_DATA, &own);
        m_ownDataLimit = own.rlim_cur; // before the engine starts
    }

    void realEngineDrivesTheViewer() {
        TestAppFolder folder;
        MessageBoxRecorder boxes;
        auto component = std::make_unique<WebEngineComponent>(m_timers, m_pages.url("/home"),
                                                              m_pages.url("/search"));
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

    // Opens the case's viewer on a page of the server: whether it comes to show the title.
    bool open(const char* path, const QString& title) {
        m_viewer = std::make_unique<frmBrowser>(std::make_unique<WebEngineComponent>(m_timers),
                                                m_timers, m_pages.url(path));
        m_page = static_cast<WebEngineComponent*>(&m_viewer->brwWebBrowser());
        m_viewer->Form_Load();
        return QTest::qWaitFor([&] { return m_viewer->windowTitle() == title; }, 30000);
    }
    void cleanup() { m_viewer.reset(); }
    void type(const QString& address) {
        m_viewer->cboAddress->lineEdit()->setText(address);
        m_viewer->cboAddress_KeyPress(13);
    }
    bool settled(const QString& title) {
        return QTest::qWaitFor([&] { return !m_viewer->timTimer().isEnabled(); }, 3000) &&
               m_viewer->windowTitle() == title;
    }

    // What a page may not do, one bound a case: start another program, trap the window with
    // dialogs, eat the memory; and a page that ends says so.
    void refusedAddressesOpenNothing() {
        for (const char* scheme : {"customapp", "ssh", "mailto"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "handOver");
        QVERIFY(open("/links", QStringLiteral("links page")));
        for (auto [y, address] :
             {std::pair(20, "customapp://run?cmd=calc"), std::pair(70, "ssh://127.0.0.1/"),
              std::pair(120, "mailto:someone@example.com")}) {
            const QString line = QLatin1String(address) + " was not opened";
            // A click that comes before the new page takes input is lost; the user clicks again.
            for (int click = 0; click < 5; ++click) {
                QTest::mouseClick(m_page->view()->focusProxy(), Qt::LeftButton, {}, QPoint(100, y));
                if (QTest::qWaitFor([&] { return m_page->Notice().startsWith(line); }, 3000))
                    break;
            }
            QVERIFY2(m_page->Notice().startsWith(line), qPrintable(m_page->Notice()));
            QTest::qWait(500); // whatever the engine reports of the refused load
            QVERIFY2(m_page->Notice().startsWith(line), qPrintable(m_page->Notice()));
        }
        QCOMPARE(m_handed, QStringList());
        QVERIFY(settled(QStringLiteral("links page")));
        type(QStringLiteral("javascript:document.title='script'"));
        QVERIFY(settled(QStringLiteral("links page")));
        QVERIFY(m_page->Notice().startsWith("javascript:document.title"));
        for (const char* scheme : {"customapp", "ssh", "mailto"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    // A move within the page loads nothing: the caption settles.
    void movesWithinThePageSettle() {
        QVERIFY(open("/links", QStringLiteral("links page")));
        type(m_pages.url("/links#part"));
        QVERIFY(settled(QStringLiteral("links page")));
        QTRY_COMPARE(m_viewer->cboAddress->itemText(0), m_pages.url("/links#part"));
        m_viewer->tbToolBar_ButtonClick(QStringLiteral("Back"));
        QVERIFY(settled(QStringLiteral("links page")));
    }

    void screenReaderReadsThePage() {
        QVERIFY(open("/links", QStringLiteral("links page")));
        QAccessible::setActive(true);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(m_viewer.get());
        QCOMPARE(window->role(), QAccessible::Window);
        QStringList texts;
        QTRY_VERIFY_WITH_TIMEOUT(
            (texts.clear(), accessibleTexts(window, texts),
             texts.contains(QStringLiteral("%1:Eye exercises").arg(int(QAccessible::Heading)))),
            15000);
        QVERIFY2(texts.join('|').contains("Blink often."), qPrintable(texts.join('|')));
    }

    void endedPageSaysSoAndRefreshReloads() {
        QVERIFY(open("/links", QStringLiteral("links page")));
        ::kill(pid_t(m_page->view()->page()->renderProcessPid()), SIGKILL);
        QTRY_COMPARE(m_viewer->windowTitle(), QStringLiteral("The page has ended: links page"));
        QVERIFY(m_page->Notice().contains("stopped from outside"));
        m_viewer->tbToolBar_ButtonClick(QStringLiteral("Refresh"));
        QTRY_COMPARE_WITH_TIMEOUT(m_viewer->windowTitle(), QStringLiteral("links page"), 15000);
        QCOMPARE(m_page->Notice(), QString());
    }

    void scriptHeapIsBounded() {
        QVERIFY(open("/a", QStringLiteral("a page")));
        type(m_pages.url("/heap"));
        QTRY_COMPARE_WITH_TIMEOUT(m_viewer->windowTitle(), "The page has ended: heap page", 60000);
        QVERIFY(m_page->Notice().contains("more memory"));
    }

    // Bound in the page's process, which ends or refuses, and not in the viewer's own.
    void dataIsBoundWhereThePageRuns() {
        QVERIFY(open("/a", QStringLiteral("a page")));
        QFile limits(
            QStringLiteral("/proc/%1/limits").arg(m_page->view()->page()->renderProcessPid()));
        QVERIFY(limits.open(QIODevice::ReadOnly));
        QVERIFY(limits.readAll().simplified().contains(
            "Max data size " + QByteArray::number(WebEngineComponent::ProcessDataLimit) + ' '));
        rlimit own = {};
        ::getrlimit(RLIMIT_DATA, &own);
        QCOMPARE(own.rlim_cur, m_ownDataLimit);
        type(m_pages.url("/buffers"));
        const QRegularExpression done(QStringLiteral("^(The page has ended|refused at|kept)"));
        QTRY_VERIFY_WITH_TIMEOUT(done.match(m_viewer->windowTitle()).hasMatch(), 60000);
        const QString title = m_viewer->windowTitle();
        QVERIFY2(title == QStringLiteral("The page has ended: buffers page") ||
                     (title.startsWith("refused at ") && title.mid(11).toInt() <= 1024),
                 qPrintable(title));
    }

    // A few per page the user opens, the rest answered at once (the user answers from the
    // event loop, where the page waits for its dialog); closing the window ends a dialog.
    void dialogsAreBounded_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("answered") << false;
        QTest::newRow("window closed") << true;
    }
    void dialogsAreBounded() {
        QFETCH(bool, close);
        MessageBoxRecorder boxes;
        QStringList seen;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            auto* box = m_viewer ? m_viewer->findChild<QMessageBox*>() : nullptr;
            if (box && box->isVisible()) {
                // Modal to the page alone: the window still takes its close button.
                seen << box->text() + (QApplication::activeModalWidget() ? " modal" : "");
                if (close)
                    m_viewer->close();
                else
                    box->accept();
            }
        });
        user.start(20);
        QVERIFY(open("/dialogs", QStringLiteral("after dialogs")));
        QCOMPARE(seen, close ? QStringList{"0"} : (QStringList{"0", "1", "2"}));
        QCOMPARE(m_viewer->isVisible(), !close);
        if (!close)
            QVERIFY(m_page->Notice().startsWith("This page wants more dialogs"));
        // Opened again (and shown again), the page may ask again.
        const QStringList again = seen + QStringList{"0", "1", "2"};
        close = false;
        m_viewer->show();
        m_viewer->tbToolBar_ButtonClick(QStringLiteral("Refresh"));
        QTRY_COMPARE_WITH_TIMEOUT(seen, again, 15000);
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
    // The engine cannot use a GPU off screen; and a user's own script flag, which the viewer's
    // heap cap must join.
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --disable-gpu --js-flags=--expose-gc");
    WebEngineComponent::PrepareProcess();
    QApplication app(argc, argv);
    TestViewerWebEngine test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_viewer_webengine.moc"
