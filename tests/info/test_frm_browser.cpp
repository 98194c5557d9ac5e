// The viewer window's logic against a scripted component, in virtual time.

#include "fake_browser.h"
#include "info/frm_browser.h"
#include "info/maker.h"
#include "platform/timers.h"
#include "platform/twips.h"
#include "test_support.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {
const QString kStart = QStringLiteral("http://maker.test/");
const QString kLoading = QStringLiteral("Loading the page, please wait...");

QStringList entries(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}
} // namespace

class TestFrmBrowser : public QObject {
    Q_OBJECT

    std::unique_ptr<TestSandbox> m_app;
    std::unique_ptr<SimulatedClock> m_clock;
    std::unique_ptr<frmBrowser> m_viewer;
    FakeBrowser* m_fake = nullptr;

    // A loaded viewer whose start page has arrived.
    void loadViewer(bool finishStartPage = true) {
        auto fake = std::make_unique<FakeBrowser>();
        m_fake = fake.get();
        m_fake->titles[kStart] = QStringLiteral("Maker");
        m_viewer = std::make_unique<frmBrowser>(std::move(fake), *m_clock, kStart);
        m_viewer->Form_Load();
        if (finishStartPage) {
            m_fake->finishLoad();
            m_clock->advance(5);
        }
    }
    // Reaches a page through the address box, as typed.
    void reach(const QString& url, const QString& title = QString()) {
        if (!title.isEmpty())
            m_fake->titles[url] = title;
        m_viewer->cboAddress->setEditText(url);
        m_viewer->cboAddress_KeyPress(13);
        m_fake->finishLoad();
        m_clock->advance(5);
    }
    QAction* button(const QString& key) { return m_viewer->tbToolBar->findChild<QAction*>(key); }

private slots:
    void init() {
        m_app = std::make_unique<TestSandbox>();
        m_clock = std::make_unique<SimulatedClock>();
    }
    void cleanup() {
        m_viewer.reset();
        m_clock.reset();
        m_app.reset();
    }

    void loadShowsMakerThenLoadingThenTitle() {
        loadViewer(false);
        QVERIFY(m_viewer->isVisible());
        QCOMPARE(m_viewer->StartingAddress, kStart);
        QCOMPARE(m_fake->calls, QStringList{QStringLiteral("Navigate:") + kStart});
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral(" ") + Maker::Name);
        QVERIFY(m_viewer->timTimer().isEnabled());
        QCOMPARE(m_viewer->timTimer().interval(), 5);

        m_clock->advance(5);
        QCOMPARE(m_viewer->windowTitle(), kLoading);
        m_clock->advance(500); // a slow page: still loading, still polling
        QCOMPARE(m_viewer->windowTitle(), kLoading);
        QVERIFY(m_viewer->timTimer().isEnabled());

        m_fake->finishLoad();
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("Maker"));
        m_clock->advance(5);
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("Maker"));
        QVERIFY(!m_viewer->timTimer().isEnabled());
    }

    void pollAloneEndsWithTitle() {
        // A load that ends without notifications: the next poll puts the title in.
        loadViewer(false);
        m_clock->advance(5);
        m_fake->titles[kStart] = QStringLiteral("Quiet");
        m_fake->busy = false;
        m_clock->advance(5);
        QCOMPARE(m_viewer->windowTitle(), m_fake->LocationName());
        QVERIFY(!m_viewer->timTimer().isEnabled());
    }

    void loadLaysOutAddressBox() {
        loadViewer(false);
        QCOMPARE(entries(m_viewer->cboAddress), QStringList{kStart});
        QCOMPARE(m_viewer->cboAddress->currentText(), kStart);
        QCOMPARE(m_viewer->cboAddress->x(), Twips::ToPixelsX(50));
        QCOMPARE(m_viewer->cboAddress->y(),
                 Twips::ToPixelsY(60 + 255 + 15)); // under the label
        QCOMPARE(m_viewer->lblAddress->text(), QStringLiteral("&Address:"));
        QCOMPARE(m_viewer->lblAddress->buddy(), m_viewer->cboAddress);
        QCOMPARE(m_viewer->size(), QSize(Twips::ToPixelsX(6540), Twips::ToPixelsY(5130)));
        QCOMPARE(m_viewer->brwWebBrowserWidget()->geometry(),
                 QRect(Twips::ToPixelsX(50), Twips::ToPixelsY(1215), Twips::ToPixelsX(6540 - 100),
                       Twips::ToPixelsY(5130 - 1315)));
    }

    void enterNavigatesToExactText() {
        loadViewer();
        QLineEdit* edit = m_viewer->cboAddress->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral(" Odd Text"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(m_fake->calls.last(), QStringLiteral("Navigate: Odd Text"));
        QVERIFY(m_viewer->timTimer().isEnabled());
        // Typing alone adds nothing to the list; only a page reached does.
        QCOMPARE(entries(m_viewer->cboAddress), QStringList{kStart});
        QTest::keyClick(edit, Qt::Key_Enter); // the keypad's Enter too
        QCOMPARE(m_fake->navigateCount(), 3);
        QTest::keyClick(edit, Qt::Key_X);
        QCOMPARE(m_fake->navigateCount(), 3);
    }

    void listKeepsEachAddressOnceMostRecentFirst() {
        loadViewer();
        const QString a = QStringLiteral("http://a.test/Page");
        const QString b = QStringLiteral("http://b.test/");
        QCOMPARE(entries(m_viewer->cboAddress),
                 QStringList{kStart}); // start page moved, not doubled
        reach(a, QStringLiteral("A"));
        reach(b);
        QCOMPARE(entries(m_viewer->cboAddress), (QStringList{b, a, kStart}));
        reach(a);
        QCOMPARE(entries(m_viewer->cboAddress), (QStringList{a, b, kStart}));
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("A"));
        // Letter case counts: a new entry.
        reach(QStringLiteral("http://a.test/page"));
        QCOMPARE(entries(m_viewer->cboAddress),
                 (QStringList{QStringLiteral("http://a.test/page"), a, b, kStart}));
        QCOMPARE(m_viewer->cboAddress->currentIndex(), 0);
        QCOMPARE(m_viewer->cboAddress->currentText(), QStringLiteral("http://a.test/page"));
        QVERIFY(!m_viewer->UpdatingAddressList);
        // The program's own selection of entry 0 started no navigation: one per reach().
        QCOMPARE(m_fake->navigateCount(), 5);
    }

    void pickingAnEntryNavigates() {
        loadViewer();
        reach(QStringLiteral("http://a.test/"));
        reach(QStringLiteral("http://b.test/"));
        const int before = m_fake->navigateCount();
        QComboBox* box = m_viewer->cboAddress;
        box->showPopup();
        QAbstractItemView* list = box->view();
        QTRY_VERIFY(list->isVisible());
        const QRect item = list->visualRect(box->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(m_fake->navigateCount(), before + 1);
        QCOMPARE(m_fake->calls.last(), QStringLiteral("Navigate:http://a.test/"));
        // The address box keeps its order until the page is reached.
        QCOMPARE(box->itemText(0), QStringLiteral("http://b.test/"));
        m_fake->finishLoad();
        QCOMPARE(box->itemText(0), QStringLiteral("http://a.test/"));
        QCOMPARE(m_fake->navigateCount(), before + 1);
    }

    void stopPutsTitleInAtOnce() {
        loadViewer();
        reach(QStringLiteral("http://a.test/"), QStringLiteral("Page A"));
        m_viewer->cboAddress->setEditText(QStringLiteral("http://slow.test/"));
        m_viewer->cboAddress_KeyPress(13);
        m_clock->advance(5);
        QCOMPARE(m_viewer->windowTitle(), kLoading);
        button(QStringLiteral("Stop"))->trigger();
        QCOMPARE(m_fake->calls.last(), QStringLiteral("Stop"));
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("Page A"));
        QVERIFY(!m_viewer->timTimer().isEnabled());
        m_clock->advance(50);
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("Page A"));
    }

    void homeIsTheComponentsOwnPage() {
        loadViewer();
        reach(QStringLiteral("http://a.test/"));
        button(QStringLiteral("Home"))->trigger();
        QCOMPARE(m_fake->calls.last(), QStringLiteral("GoHome"));
        m_fake->finishLoad();
        QCOMPARE(m_viewer->cboAddress->itemText(0), m_fake->homePage);
        QVERIFY(m_fake->homePage != kStart);
    }

    void toolbarButtonsByKey() {
        loadViewer();
        const QList<QAction*> actions = m_viewer->tbToolBar->actions();
        QCOMPARE(actions.size(), 6);
        QCOMPARE(m_viewer->imlIcons.size(), 6);
        QCOMPARE(m_viewer->tbToolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        const QStringList keys{"Back", "Forward", "Stop", "Refresh", "Home", "Search"};
        for (int k = 0; k < 6; ++k) {
            QCOMPARE(actions[k]->objectName(), keys[k]);
            // Drawn as an icon alone, the button still says its name (to a screen reader).
            QCOMPARE(actions[k]->text(), keys[k]);
            QWidget* shown = m_viewer->tbToolBar->widgetForAction(actions[k]);
            QCOMPARE(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name),
                     keys[k]);
            QCOMPARE(actions[k]->icon().cacheKey(), m_viewer->imlIcons[k].cacheKey());
            QCOMPARE(shown->focusPolicy(), Qt::TabFocus); // reached with Tab
            QVERIFY(!actions[k]->icon().pixmap(24, 24).isNull());
        }
        for (QToolButton* any : m_viewer->tbToolBar->findChildren<QToolButton*>()) // hidden too
            QVERIFY(!QAccessible::queryAccessibleInterface(any)->text(QAccessible::Name).isEmpty());
        const QStringList expected{"GoBack", "GoForward", "Refresh", "GoSearch"};
        for (const char* key : {"Back", "Forward", "Refresh", "Search"}) {
            m_fake->calls.clear();
            m_fake->Stop();
            m_fake->calls.clear();
            m_clock->advance(10);
            QVERIFY(!m_viewer->timTimer().isEnabled());
            button(key)->trigger();
            QVERIFY2(m_viewer->timTimer().isEnabled(), qPrintable(key)); // every button polls
            QCOMPARE(m_fake->calls.size(), 1);
        }
        QCOMPARE(m_fake->calls.last(), QStringLiteral("GoSearch"));
        m_fake->calls.clear();
        m_viewer->tbToolBar_ButtonClick(QStringLiteral("back")); // keys are exact
        QVERIFY(m_fake->calls.isEmpty());
        QVERIFY(m_viewer->timTimer().isEnabled());
    }

    void historyButtonsMoveThroughPages() {
        loadViewer();
        reach(QStringLiteral("http://a.test/"), QStringLiteral("A"));
        reach(QStringLiteral("http://b.test/"), QStringLiteral("B"));
        button(QStringLiteral("Back"))->trigger();
        m_fake->finishLoad();
        m_clock->advance(5);
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("A"));
        QCOMPARE(m_viewer->cboAddress->itemText(0), QStringLiteral("http://a.test/"));
        button(QStringLiteral("Forward"))->trigger();
        m_fake->finishLoad();
        QCOMPARE(m_viewer->windowTitle(), QStringLiteral("B"));
    }

    void shrinkingKeepsLastSizes() {
        loadViewer();
        QWidget* brw = m_viewer->brwWebBrowserWidget();
        m_viewer->resize(300, 200);
        const int cboHeight = m_viewer->cboAddress->height();
        QCOMPARE(m_viewer->cboAddress->width(), Twips::ToPixelsX(300 * 15 - 100));
        QCOMPARE(brw->size(),
                 QSize(Twips::ToPixelsX(300 * 15 - 100), Twips::ToPixelsY(200 * 15 - 1315)));
        QCOMPARE(m_viewer->tbToolBar->width(), 300);
        QCOMPARE(m_viewer->picAddress->width(), 300);

        // Too low for the component: its height stays, widths still follow.
        m_viewer->resize(250, 80); // 1200 twips high
        QCOMPARE(brw->height(), Twips::ToPixelsY(200 * 15 - 1315));
        QCOMPARE(brw->width(), Twips::ToPixelsX(250 * 15 - 100));
        QCOMPARE(m_viewer->cboAddress->width(), Twips::ToPixelsX(250 * 15 - 100));

        // Too narrow as well: everything keeps its last size.
        m_viewer->resize(6, 60); // 90 x 900 twips
        QCOMPARE(brw->size(),
                 QSize(Twips::ToPixelsX(250 * 15 - 100), Twips::ToPixelsY(200 * 15 - 1315)));
        QCOMPARE(m_viewer->cboAddress->width(), Twips::ToPixelsX(250 * 15 - 100));
        QCOMPARE(m_viewer->cboAddress->height(), cboHeight);

        // Exactly at the limits the sizes are zero, which is allowed.
        m_viewer->resize(Twips::ToPixelsX(100), Twips::ToPixelsY(1320));
        QCOMPARE(m_viewer->cboAddress->width(),
                 Twips::ToPixelsX(Twips::FromPixelsX(m_viewer->width()) - 100));
        QVERIFY(brw->width() <= 1);
    }

    void failingComponentIsReportedNotFatal() {
        loadViewer();
        m_fake->failNavigate = true;
        m_viewer->cboAddress->setEditText(QStringLiteral("http://x.test/"));
        m_viewer->cboAddress_KeyPress(13);
        QCOMPARE(m_app->boxes.count(), 1);
        QCOMPARE(m_app->boxes.last().title,
                 QStringLiteral("Error 380 in cboAddress_Click method!"));
        QCOMPARE(m_app->boxes.last().style, MsgStyle::Exclamation);
        // The toolbar ignores a failing step without a box.
        m_viewer->tbToolBar_ButtonClick(QStringLiteral("Home"));
        QCOMPARE(m_app->boxes.count(), 1);
    }

    void altAMovesToAddressBox() {
        loadViewer();
        m_viewer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_viewer.get()));
        m_viewer->brwWebBrowserWidget()->setFocusPolicy(Qt::StrongFocus);
        m_viewer->brwWebBrowserWidget()->setFocus();
        QTest::keyClick(m_viewer.get(), Qt::Key_A, Qt::AltModifier);
        QVERIFY(m_viewer->cboAddress->hasFocus() || m_viewer->cboAddress->lineEdit()->hasFocus());
    }

    // The browser keys, from the address box as from the page, named in the tooltips.
    void toolbarKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QKeySequence>("sequence");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("Back") << "Back" << QKeySequence("Alt+Left") << "GoBack"
                              << "Back (Alt+Left)";
        QTest::newRow("Forward") << "Forward" << QKeySequence("Alt+Right") << "GoForward"
                                 << "Forward (Alt+Right)";
        QTest::newRow("Stop") << "Stop" << QKeySequence("Esc") << "Stop"
                              << "Stop (Esc)";
        QTest::newRow("F5") << "Refresh" << QKeySequence("F5") << "Refresh"
                            << "Refresh (F5 or Ctrl+R)";
        QTest::newRow("Ctrl+R") << "Refresh" << QKeySequence("Ctrl+R") << "Refresh"
                                << "Refresh (F5 or Ctrl+R)";
        QTest::newRow("Home") << "Home" << QKeySequence("Alt+Home") << "GoHome"
                              << "Home (Alt+Home)";
        QTest::newRow("Search") << "Search" << QKeySequence("Ctrl+E") << "GoSearch"
                                << "Search (Ctrl+E)";
    }

    void toolbarKeys() {
        QFETCH(QString, key);
        QFETCH(QKeySequence, sequence);
        QFETCH(QString, call);
        QFETCH(QString, tooltip);
        loadViewer();
        m_viewer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_viewer.get()));
        QCOMPARE(button(key)->toolTip(), tooltip);
        for (QWidget* focus :
             {static_cast<QWidget*>(m_viewer->cboAddress), m_viewer->brwWebBrowserWidget()}) {
            focus->setFocusPolicy(Qt::StrongFocus);
            focus->setFocus();
            m_fake->calls.clear();
            QTest::keySequence(m_viewer.get(), sequence);
            QCOMPARE(m_fake->calls, QStringList{call});
        }
    }

    // A screen scaled twice gets the 48-px drawing, its silver keyed out like the 24-px one's.
    void toolbarIconsHaveTheirDoubleSize() {
        loadViewer();
        for (int k = 0; k < 6; ++k) {
            const QImage two = m_viewer->imlIcons[k].pixmap(QSize(24, 24), 2.0).toImage();
            const QImage source(
                QStringLiteral(":/pictures/tb_%1@2x.png").arg(frmBrowser::ButtonKeys[k].toLower()));
            QCOMPARE(m_viewer->imlIcons[k].pixmap(QSize(24, 24), 1.0).size(), QSize(24, 24));
            QCOMPARE(two.size(), QSize(48, 48));
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 48; ++x)
                    QCOMPARE(two.pixel(x, y),
                             source.pixel(x, y) == 0xFFC0C0C0 ? 0u : source.pixel(x, y));
        }
    }
};

QTEST_MAIN(TestFrmBrowser)
#include "test_frm_browser.moc"
