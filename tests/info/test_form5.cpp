// The About window: its fixed content, its single instance, and the viewer it opens (a
// stand-in program speaking the viewer's protocol).

#include "core/center_form.h"
#include "info/form5.h"
#include "info/maker.h"
#include "info/viewer_process.h"
#include "platform/twips.h"
#include "test_support.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

namespace {
int aboutWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<Form5*>(w) != nullptr;
    return n;
}
} // namespace

class TestForm5 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestSandbox> m_app;
    QString m_log;

    QStringList logLines() const {
        QFile file(m_log);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    void closeAbout() {
        if (Form5* about = Form5::instance())
            about->close();
        QTRY_VERIFY(!Form5::instance());
    }

private slots:
    void init() {
        m_app = std::make_unique<TestSandbox>();
        m_log = m_app->folder.path() + QStringLiteral("/viewer.log");
        ViewerProcess::instance().setProgram(QStringLiteral(FAKE_VIEWER),
                                             {QStringLiteral("--log"), m_log});
    }
    void cleanup() {
        ViewerProcess::instance().closeViewer();
        closeAbout();
        m_app.reset();
    }

    void contentAsDesigned() {
        ShowAboutWindow();
        Form5* about = Form5::instance();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QStringLiteral(" About Lumivista"));
        QCOMPARE(about->width(), Twips::ToPixelsX(4155));
        QCOMPARE(about->minimumSize(), about->maximumSize()); // fixed border
        QVERIFY(!(about->windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(about->height() > about->cmdOK->geometry().bottom());

        QCOMPARE(about->Label1->text(), QStringLiteral("Lumivista, Version 3.5"));
        QCOMPARE(about->Label1->geometry(), Twips::ToPixelRect(960, 120, 2055, 255));
        QCOMPARE(about->lbl6->text(), QStringLiteral("Warning:"));
        QCOMPARE(about->lbl6->geometry(), Twips::ToPixelRect(240, 420, 795, 255));
        QCOMPARE(about->Picture1->geometry(),
                 QRect(Twips::ToPixelsX(390), Twips::ToPixelsY(2190), 215, 78));
        QCOMPARE(about->Label5->geometry(), Twips::ToPixelRect(360, 3420, 3285, 1035));
        QVERIFY(about->Label5->text().contains(Maker::Name));
        QVERIFY(about->Label5->text().contains(Maker::WebAddress));
        QCOMPARE(about->cmd2->text(),
                 QStringLiteral("Visit ") + Maker::WebAddress + QStringLiteral(" "));
        QCOMPARE(about->cmd2->geometry(), Twips::ToPixelRect(360, 4560, 1635, 615));
        QCOMPARE(about->cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(about->cmdOK->geometry(), Twips::ToPixelRect(2040, 4560, 1635, 615));
        QVERIFY(about->cmdOK->isDefault());
        // The texts fit their labels.
        for (QLabel* label : {about->Label1, about->lbl6, about->Label2, about->Label3,
                              about->Label4, about->Label5})
            QVERIFY2(label->heightForWidth(label->width()) <= label->height() || !label->wordWrap(),
                     qPrintable(label->objectName()));
        QVERIFY(about->Label5->sizeHint().height() <= about->Label5->height());
        QVERIFY(about->Label5->sizeHint().width() <= about->Label5->width());
    }

    void singleInstanceCentredOnceOnly() {
        ShowAboutWindow();
        Form5* about = Form5::instance();
        QVERIFY(about->isVisible());
        const QPoint centred = about->pos();
        QWidget probe;
        probe.resize(about->size());
        CenterForm(&probe);
        QCOMPARE(centred, probe.pos());

        about->move(10, 20);
        ShowAboutWindow();
        QCOMPARE(Form5::instance(), about);
        QCOMPARE(aboutWindows(), 1);
        QCOMPARE(about->pos(), QPoint(10, 20)); // brought forward, not centred again
    }

    void okAndEscapeUnload() {
        ShowAboutWindow();
        QTest::mouseClick(Form5::instance()->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!Form5::instance());
        QCOMPARE(aboutWindows(), 0);

        ShowAboutWindow();
        QTest::keyClick(Form5::instance(), Qt::Key_Escape);
        QTRY_VERIFY(!Form5::instance());
        // Loaded again, it is centred again.
        ShowAboutWindow();
        Form5::instance()->move(0, 0);
        closeAbout();
        ShowAboutWindow();
        QVERIFY(Form5::instance()->pos() != QPoint(0, 0));
    }

    void visitOpensOneViewerThenRaisesIt() {
        ViewerProcess& viewer = ViewerProcess::instance();
        QSignalSpy said(&viewer, &ViewerProcess::viewerSaid);
        QSignalSpy finished(&viewer, &ViewerProcess::viewerFinished);
        ShowAboutWindow();
        QTest::mouseClick(Form5::instance()->cmd2, Qt::LeftButton);
        QVERIFY(viewer.isRunning());
        const qint64 pid = viewer.processId();
        QTRY_COMPARE(said.size(), 1);
        QCOMPARE(said[0][0].toByteArray(), QByteArray("shown\n"));

        QTest::mouseClick(Form5::instance()->cmd2, Qt::LeftButton);
        QTRY_COMPARE(said.size(), 2);
        QCOMPARE(said[1][0].toByteArray(), QByteArray("raised\n"));
        QCOMPARE(viewer.processId(), pid);
        QCOMPARE(logLines(), (QStringList{"started", "raise"}));

        // Closing About leaves the viewer open.
        QTest::mouseClick(Form5::instance()->cmdOK, Qt::LeftButton);
        QTRY_VERIFY(!Form5::instance());
        QVERIFY(viewer.isRunning());
        QCOMPARE(viewer.processId(), pid);

        // A new About window reaches the same viewer: the same process answers, it never ended.
        ShowAboutWindow();
        Form5::instance()->cmd2_Click();
        QTRY_COMPARE(said.size(), 3);
        QCOMPARE(said[2][0].toByteArray(), QByteArray("raised\n"));
        QCOMPARE(viewer.processId(), pid);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(logLines(), (QStringList{"started", "raise", "raise"}));
    }

    void closedViewerStartsAfresh() {
        ViewerProcess& viewer = ViewerProcess::instance();
        QSignalSpy finished(&viewer, &ViewerProcess::viewerFinished);
        ShowAboutWindow();
        Form5::instance()->cmd2_Click();
        const qint64 first = viewer.processId();
        QVERIFY(first > 0);
        QTRY_COMPARE(logLines().count(QStringLiteral("started")), 1);
        ::kill(pid_t(first), SIGTERM); // the user closed the viewer
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(!viewer.isRunning());
        Form5::instance()->cmd2_Click();
        QVERIFY(viewer.isRunning());
        QVERIFY(viewer.processId() != first);
        QTRY_COMPARE(logLines().count(QStringLiteral("started")), 2);
        QCOMPARE(logLines().count(QStringLiteral("raise")), 0);
    }

    void programEndClosesViewer() {
        ViewerProcess& viewer = ViewerProcess::instance();
        ShowAboutWindow();
        Form5::instance()->cmd2_Click();
        const qint64 pid = viewer.processId();
        QTRY_COMPARE(logLines().count(QStringLiteral("started")), 1);
        // What the application's end does (aboutToQuit).
        viewer.closeViewer();
        QVERIFY(!viewer.isRunning());
        QVERIFY(::kill(pid_t(pid), 0) != 0);
        QCOMPARE(logLines().last(), QStringLiteral("ended"));
    }

    void missingViewerIsReported() {
        ViewerProcess::instance().setProgram(m_app->folder.path() +
                                             QStringLiteral("/no-such-viewer"));
        ShowAboutWindow();
        Form5::instance()->cmd2_Click();
        QVERIFY(!ViewerProcess::instance().isRunning());
        QCOMPARE(m_app->boxes.count(), 1);
        QCOMPARE(m_app->boxes.last().style, MsgStyle::Exclamation);
        QVERIFY(m_app->boxes.last().text.contains(QStringLiteral("no-such-viewer")));
        QVERIFY(Form5::instance()); // About stays
    }
};

QTEST_MAIN(TestForm5)
#include "test_form5.moc"
