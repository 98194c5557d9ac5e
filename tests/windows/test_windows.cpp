// Every window of the program at once: each fixed-size control's text fits it in the font the
// window ends up with, and each control has an accessible name of its own. The suite runs
// twice: with the declared font, and with a fontconfig that offers DejaVu alone.
#include "../info/fake_browser.h"
#include "../settings/settings_rig.h"
#include "info/form5.h"
#include "info/frm_browser.h"
#include "platform/desktop_window.h"
#include "platform/dialog_font.h"
#include "platform/keyboard_focus.h"
#include "settings/config_text_box.h"
#include "statistics/form4.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolTip>

namespace {

// The controls of a window: its own child widgets, the parts of a combo box and Qt's own
// helpers left out.
QList<QWidget*> controlsOf(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* child : window->findChildren<QWidget*>())
        if (child->window() == window && !child->objectName().startsWith(QLatin1String("qt_")) &&
            !qobject_cast<QComboBox*>(child->parentWidget()))
            controls << child;
    return controls;
}

QString nameOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name).trimmed();
}

// What the window last gave screen readers to speak (Qt sends no events without a platform
// reader, so the notice itself is read).
QString spokenBy(QObject* window) {
    QObject* notice = window->findChild<QObject*>("lumivista_notice");
    QAccessibleInterface* face = notice ? QAccessible::queryAccessibleInterface(notice) : nullptr;
    if (!face || face->role() != QAccessible::Notification || face->parent()->object() != window)
        return QString();
    return face->text(QAccessible::Name);
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<SettingsRig> m_rig;
    QPointer<frmBrowser> m_viewer;

    // The window of a row, opened as the program opens it.
    QWidget* window(const QString& name) {
        if (name == "logo")
            return m_rig->form.get();
        if (name == "configuration")
            return m_rig->openConfiguration();
        if (name == "statistics")
            return ShowStatisticsWindow(), StatisticsWindow();
        if (name == "about")
            return ShowAboutWindow(), Form5::instance();
        if (!m_viewer)
            m_viewer = new frmBrowser(std::make_unique<FakeBrowser>(), m_rig->clock);
        return m_viewer;
    }

    static void addWindowRows(bool withLogo) {
        QTest::addColumn<QString>("name");
        if (withLogo)
            QTest::newRow("logo") << QStringLiteral("logo");
        for (const char* name : {"configuration", "statistics", "about", "viewer"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

private slots:
    void init() {
        m_rig = std::make_unique<SettingsRig>(fullSettings());
        m_rig->form->show();
    }

    void cleanup() {
        delete m_viewer;
        delete StatisticsWindow();
        delete Form5::instance();
        m_rig.reset();
    }

    // The icon is read once the event loop runs, and reaches the windows shown before that too.
    void everyWindowCarriesTheApplicationIcon_data() { addWindowRows(true); }
    void everyWindowCarriesTheApplicationIcon() {
        QFETCH(QString, name);
        QApplication::setWindowIcon(QIcon());
        QWidget* shown = window(name);
        DesktopWindow::SetApplicationIdentity();
        QVERIFY(shown->windowIcon().isNull());
        QCoreApplication::processEvents();
        const QIcon icon = shown->windowIcon();
        const QList<QSize> sizes{{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
        QCOMPARE(icon.availableSizes(), sizes);
        for (const QSize& size : sizes)
            QCOMPARE(icon.pixmap(size).size(), size);
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("lumivista"));
    }

    void everyFixedTextFits_data() { addWindowRows(false); }

    void everyFixedTextFits() {
        QFETCH(QString, name);
        QWidget* w = window(name);
        w->show();
        const QString family = qEnvironmentVariable("LUMI_EXPECT_FONT", DialogFont::Family());
        qInfo("%s: %s %d px", qPrintable(name), qPrintable(QFontInfo(w->font()).family()),
              w->font().pixelSize());
        QCOMPARE(QFontInfo(w->font()).family(), family);
        // The declared font holds every text at the size the layouts were drawn for.
        if (family == DialogFont::Family())
            QCOMPARE(w->font().pixelSize(), DialogFont::DesignPixelSize);
        QVERIFY(w->font().pixelSize() >= 8);
        int measured = 0;
        for (QWidget* control : controlsOf(w)) {
            // The viewer's address box follows the window's width; only its label is fixed.
            if (name == "viewer" && !qobject_cast<QLabel*>(control))
                continue;
            measured += !control->property("text").toString().isEmpty();
            QVERIFY2(DialogFont::TextFits(control, control->font()),
                     qPrintable(QStringLiteral("\"%1\" does not fit its %2 at %3,%4")
                                    .arg(control->property("text").toString(),
                                         QLatin1String(control->metaObject()->className()))
                                    .arg(control->x())
                                    .arg(control->y())));
        }
        QVERIFY(measured >= 1);
    }

    void everyControlHasItsOwnName_data() { addWindowRows(true); }

    void everyControlHasItsOwnName() {
        QFETCH(QString, name);
        QWidget* w = window(name);
        QSet<QString> names;
        for (QWidget* control : controlsOf(w)) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control);
            // Panels only hold other controls; what they hold is named.
            if (face->role() == QAccessible::Client && !control->findChildren<QWidget*>().isEmpty())
                continue;
            const QString own = nameOf(control);
            QVERIFY2(!own.isEmpty(), control->metaObject()->className());
            QVERIFY2(!names.contains(own), qPrintable("\"" + own + "\" names two controls"));
            names << own;
            // A picture also says what it shows.
            if (face->role() == QAccessible::Graphic || control->objectName() == "Picture1" ||
                (qobject_cast<QLabel*>(control) &&
                 !qobject_cast<QLabel*>(control)->pixmap().isNull()))
                QVERIFY2(!face->text(QAccessible::Description).isEmpty(), qPrintable(own));
        }
        QVERIFY(names.size() >= 3);
        QVERIFY(QList<QAccessible::Role>({QAccessible::Window, QAccessible::Dialog})
                    .contains(QAccessible::queryAccessibleInterface(w)->role()));
    }

    void namesFollowRowAndColumn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("logo") << "logo"
                              << "Lumivista";
        QTest::newRow("wave player") << "logo"
                                     << "Doing the wave";
        QTest::newRow("frequency") << "configuration"
                                   << "Edging frequency";
        QTest::newRow("last frequency") << "configuration"
                                        << "Making 'X's frequency";
        QTest::newRow("timing") << "configuration"
                                << "Timing";
        QTest::newRow("message") << "configuration"
                                 << "Edging message";
        QTest::newRow("picture") << "configuration"
                                 << "Edging picture";
        QTest::newRow("minutes") << "statistics"
                                 << "Minutes";
        QTest::newRow("in all") << "statistics"
                                << "Palming in all: 51";
        QTest::newRow("back") << "viewer"
                              << "Back";
    }

    void namesFollowRowAndColumn() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QStringList names;
        for (QWidget* control : controlsOf(window(name)))
            names << nameOf(control);
        QVERIFY2(names.contains(expected), qPrintable(names.join(", ")));
    }

    // A screen reader finds the open popup menu by walking down from the application, and the
    // menu's parent lists it among its children.
    void openPopupMenuIsInTheAccessibleTree() {
        m_rig->form->hooks.popupMenu(m_rig->form->mapToGlobal(QPoint(10, 10)));
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QTRY_VERIFY(menu->isVisible());
        QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
        QAccessibleInterface* found = nullptr;
        for (int i = 0; i < app->childCount(); ++i)
            if (app->child(i)->object() == menu)
                found = app->child(i);
        QVERIFY2(found, "the open menu cannot be reached from the application");
        QCOMPARE(found->role(), QAccessible::PopupMenu);
        QCOMPARE(found->text(QAccessible::Name), QStringLiteral("Options"));
        QStringList items;
        for (int i = 0; i < found->childCount(); ++i)
            items << found->child(i)->text(QAccessible::Name);
        QCOMPARE(items, QStringList({"About Lumivista ...", "Configuration", "Statistics",
                                     "Back/Front", "Exit"}));
        QCOMPARE(found->parent(), app);
        QCOMPARE(app->child(app->indexOfChild(found)), found);
        // Opened without the mouse, it starts on its first item.
        QCOMPARE(menu->activeAction(), Form2::Loaded()->MNU_Apropos());
        QVERIFY(found->child(0)->state().focused);
        menu->hide();
        QCOMPARE(app->indexOfChild(found), -1);
    }

    // Back/Front reaches readers as a check box whose mark is read both ways.
    void backFrontReadsItsMarkBothWays() {
        m_rig->form->hooks.popupMenu(QPoint(10, 10));
        QAccessibleInterface* menu =
            QAccessible::queryAccessibleInterface(Form2::Loaded()->MNU_Options());
        QAccessibleInterface* item = menu->child(3);
        QCOMPARE(item->text(QAccessible::Name), QStringLiteral("Back/Front"));
        QCOMPARE(item->role(), QAccessible::CheckBox);
        QCOMPARE(item->parent(), menu);
        QCOMPARE(menu->indexOfChild(item), 3); // at -1 a reader drops it as a dead object
        QCOMPARE(menu->child(0)->role(), QAccessible::MenuItem);
        for (bool checked : {true, false}) {
            Form2::Loaded()->SetBackFrontMark(checked);
            QVERIFY(item->state().checkable);
            QCOMPARE(bool(item->state().checked), checked);
        }
        Form2::Loaded()->MNU_Options()->hide();
    }

    // Every run of text attributes covers the whole box, so no character is left unread.
    void boxesReadTheirWholeText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, QString window, QString box, QString text) {
            QTest::newRow(name) << window << box << text;
        };
        row("frequency", "configuration", "Edging frequency", "270");
        row("timing", "configuration", "Timing", "18");
        row("message", "configuration", "Palming message", "Rub your hands");
        row("minutes", "statistics", "Minutes", "0");
    }
    void boxesReadTheirWholeText() {
        QFETCH(QString, name);
        QFETCH(QString, box);
        QFETCH(QString, text);
        QLineEdit* edit = nullptr;
        for (QWidget* control : controlsOf(window(name)))
            if (nameOf(control) == box)
                edit = qobject_cast<QLineEdit*>(control);
        QVERIFY(edit);
        edit->setText(text);
        QAccessibleTextInterface* face =
            QAccessible::queryAccessibleInterface(edit)->textInterface();
        QVERIFY(face);
        QCOMPARE(face->characterCount(), text.size());
        QCOMPARE(face->text(0, text.size()), text);
        const QPoint whole(0, int(text.size()));
        QPoint run(-2, -2);
        for (int offset : {0, whole.y() - 1, whole.y()}) {
            face->attributes(offset, &run.rx(), &run.ry());
            QCOMPARE(run, whole);
        }
        edit->selectAll();
        face->selection(0, &run.rx(), &run.ry());
        QCOMPARE(run, whole);
    }

    // The focused control is marked, once, and keeps its size: the default button stops
    // looking ready while another button has the focus.
    void focusIsMarkedOnce() {
        KeyboardFocus::UseClearFocusMarks();
        QWidget* about = window("about");
        QTRY_VERIFY(about->isActiveWindow());
        auto* ok = about->findChild<QPushButton*>("cmdOK");
        auto* visit = about->findChild<QPushButton*>("cmd2");
        const QImage visitAlone = visit->grab().toImage();
        visit->setFocus(Qt::TabFocusReason);
        QVERIFY(visit->grab().toImage() != visitAlone);
        const QImage okAsDefault = ok->grab().toImage();
        ok->setDefault(false);
        QCOMPARE(ok->grab().toImage(), okAsDefault);

        QWidget* logo = m_rig->form->findChild<QWidget*>("Image2");
        m_rig->form->activateWindow();
        const QImage unfocused = logo->grab().toImage();
        logo->setFocus(Qt::ActiveWindowFocusReason);
        QTRY_VERIFY(logo->hasFocus());
        QCOMPARE(logo->grab().size(), unfocused.size());
        QVERIFY(logo->grab().toImage() != unfocused);
    }

    // The keyboard's focus shows a number's explanation; a message left shows its start again.
    void keyboardFocusExplainsAndLeavesMessagesAtTheirStart() {
        Form2* form = static_cast<Form2*>(window("configuration"));
        QTRY_VERIFY(form->isActiveWindow());
        form->Text4(1)->setFocus(Qt::TabFocusReason);
        QVERIFY(form->Text4(1)->cursorPosition() > 0); // selected, so scrolled to its end
        form->Text2(0)->setFocus(Qt::TabFocusReason);
        QCOMPARE(form->Text4(1)->cursorPosition(), 0);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), form->Text2(0)->toolTip());
    }

    // What readers are told as things happen, whichever control has the focus.
    void eventsAreAnnounced_data() {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("spoken");
        const auto row = [](const char* name, QString event, QString spoken) {
            QTest::newRow(name) << event << spoken;
        };
        row("exercise placed", "exercise", "Blinking: Message 2");
        row("menu opened", "menu", "Options menu, 5 items");
        row("configuration saved", "save", "Configuration saved");
        row("minutes recorded", "minutes", "15 minutes recorded for Blinking; 67 in all");
        row("total reset", "reset", "Total of Blinking reset to 0");
        row("statistics opened", "open", "Lumivista: Statistics, Minutes, 0, Insert minutes");
    }
    void eventsAreAnnounced() {
        QFETCH(QString, event);
        QFETCH(QString, spoken);
        QObject* speaker = m_rig->form.get();
        if (event == "exercise") {
            Module1::ExerciseFrequency[2] = 1;
            m_rig->form->Timer1_Timer(2);
            QCOMPARE(m_rig->form->AniGif(2).toolTip(), QStringLiteral("Message 2"));
            QCOMPARE(nameOf(&m_rig->form->AniGif(2)), QStringLiteral("Blinking"));
        } else if (event == "menu") {
            m_rig->form->hooks.popupMenu(QPoint(10, 10));
            speaker = Form2::Loaded()->MNU_Options();
        } else if (event == "save") {
            window("configuration")->findChild<QLineEdit*>()->setText("8");
            Form2::Loaded()->Command1_Click();
        } else {
            auto* statistics = static_cast<Form4*>(window("statistics"));
            speaker = statistics;
            // Its opening is told first, once it is active.
            QTRY_VERIFY(spokenBy(statistics).startsWith("Lumivista: Statistics, Minutes"));
            statistics->cmbActivite->setCurrentIndex(2);
            statistics->txtMinPasses->setText("15");
            if (event == "minutes")
                statistics->cmdOK_Click();
            if (event == "reset")
                statistics->cmdMAZ_Click();
        }
        QTRY_COMPARE(spokenBy(speaker), spoken);
    }
};

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
