// The popup menu of the floating window: its items, the Back/Front mark and messages, Exit,
// Configuration, the single About and Statistics windows, and the access keys.

#include "settings_rig.h"

#include "platform/failure.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>

#include "statistics/form4.h"

namespace {
const QString kFront = "Icons will appear in front of all opened programs or documents";
const QString kBehind = "Icons will appear behind all opened programs or documents";

int loadedConfigurationWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<Form2*>(w))
            ++count;
    return count;
}
} // namespace

class TestPopupMenu : public QObject {
    Q_OBJECT
private slots:
    void definition() {
        SettingsRig rig(fullSettings());
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QCOMPARE(menu->title(), QString("&Options"));
        QCOMPARE(menu->parent(), Form2::Loaded()); // goes with the window
        const QStringList captions = {"&About Lumivista ...", "&Configuration", "&Statistics",
                                      "&Back/Front", "&Exit"};
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(actions[i]->text(), captions[i]);
            QVERIFY(!actions[i]->isSeparator());
            QVERIFY(actions[i]->isEnabled());
            QVERIFY(actions[i]->shortcut().isEmpty());
            QVERIFY(!actions[i]->menu());
            QCOMPARE(actions[i]->isCheckable(), i == 3);
        }
        QCOMPARE(actions[3], Form2::Loaded()->MNU_EnArriere());
    }

    void startUpClearsMark() {
        SettingsRig rig(fullSettings());
        Form2* form = Form2::Loaded();
        QVERIFY(form && !form->isVisible());
        QVERIFY(!form->MNU_EnArriere()->isChecked());
        QVERIFY(!IsTopmost(rig.form.get()));
        QVERIFY(form->FreshlyLoaded()); // hidden: the file is not touched yet
    }

    void rightButtonPopsUpAtMouse() {
        SettingsRig rig(fullSettings());
        rig.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
        QWidget* logo = rig.form->childAt(5, 5);
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QTest::mousePress(logo, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseRelease(logo, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(!menu->isVisible());
        QTest::mousePress(logo, Qt::RightButton, {}, QPoint(12, 8));
        QTRY_VERIFY(menu->isVisible());
        // At the mouse; moved up only as far as the screen's bottom edge requires.
        const QPoint mouse = logo->mapToGlobal(QPoint(12, 8));
        QCOMPARE(menu->x(), mouse.x());
        QVERIFY(menu->y() <= mouse.y() && menu->y() > mouse.y() - menu->height());
        QVERIFY(menu->y() == mouse.y() ||
                menu->geometry().bottom() == menu->screen()->geometry().bottom());
        menu->hide();

        // A right button pressed while the left one is held does nothing.
        QMouseEvent both(QEvent::MouseButtonPress, QPointF(12, 8),
                         logo->mapToGlobal(QPointF(12, 8)), Qt::RightButton,
                         Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(logo, &both);
        QVERIFY(!menu->isVisible());
    }

    // With the keyboard focus on the logo: the Menu key and Shift+F10 open the menu at the logo,
    // Enter opens the configuration window as a double-click does.
    void keysOnTheLogo_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("opens");
        QTest::newRow("Menu") << int(Qt::Key_Menu) << int(Qt::NoModifier) << "menu";
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << "menu";
        QTest::newRow("F10 alone") << int(Qt::Key_F10) << int(Qt::NoModifier) << "nothing";
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << "configuration";
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "configuration";
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << "nothing";
    }

    void keysOnTheLogo() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, opens);
        SettingsRig rig(fullSettings());
        rig.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
        QWidget* logo = rig.form->childAt(5, 5);
        QCOMPARE(logo->focusPolicy(), Qt::StrongFocus);
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QTest::keyClick(logo, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(menu->isVisible(), opens == "menu");
        QCOMPARE(Form2::Loaded()->isVisible(), opens == "configuration");
        QCOMPARE(rig.allWaitingTimers(), opens != "configuration");
        if (opens == "menu") {
            // At the logo: its centre, moved up only as far as the screen's edge requires.
            const QPoint centre = logo->mapToGlobal(logo->rect().center());
            QCOMPARE(menu->x(), centre.x());
            QVERIFY(menu->y() <= centre.y() && menu->y() > centre.y() - menu->height());
            // A second request while it is open leaves the one menu.
            QContextMenuEvent again(QContextMenuEvent::Keyboard, logo->rect().center(),
                                    logo->mapToGlobal(logo->rect().center()));
            QApplication::sendEvent(logo, &again);
            QVERIFY(menu->isVisible());
            int open = 0;
            for (QWidget* window : QApplication::topLevelWidgets())
                open += qobject_cast<QMenu*>(window) && window->isVisible();
            QCOMPARE(open, 1);
            menu->hide();
        }
    }

    void backFrontTwice() {
        SettingsRig rig(fullSettings());
        Form2* form = Form2::Loaded();
        Form1* form1 = rig.form.get();
        bool topmostWhileOpen = true, markWhileOpen = true;
        rig.boxes.onNextBox([&] {
            topmostWhileOpen = IsTopmost(form1);
            markWhileOpen = form->MNU_EnArriere()->isChecked();
        });
        form->MNU_EnArriere()->trigger();
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.last().text, kFront);
        QCOMPARE(rig.boxes.last().title, QString("Attention..."));
        QCOMPARE(rig.boxes.last().style, MsgStyle::OkOnly);
        QVERIFY(!topmostWhileOpen && !markWhileOpen);
        QVERIFY(IsTopmost(form1));
        QVERIFY(form->MNU_EnArriere()->isChecked());

        rig.boxes.onNextBox([&] {
            topmostWhileOpen = IsTopmost(form1);
            markWhileOpen = form->MNU_EnArriere()->isChecked();
        });
        form->MNU_EnArriere()->trigger();
        QCOMPARE(rig.boxes.count(), 2);
        QCOMPARE(rig.boxes.last().text, kBehind);
        QCOMPARE(rig.boxes.last().title, QString("Attention..."));
        QVERIFY(topmostWhileOpen && markWhileOpen);
        QVERIFY(!IsTopmost(form1));
        QVERIFY(!form->MNU_EnArriere()->isChecked());
    }

    void backFrontFailureReport() {
        SettingsRig rig(fullSettings());
        Form2* form = Form2::Loaded();
        rig.boxes.onNextBox([] { throw Failure(FailureCode::WindowSystem, 0); });
        form->MNU_EnArriere_Click();
        QCOMPARE(rig.boxes.count(), 2);
        QCOMPARE(rig.boxes.last().title, QString("Error 380 in MNU_EnArriere_Click method!"));
        QCOMPARE(rig.boxes.last().style, MsgStyle::Exclamation);
        QVERIFY(rig.boxes.last().text.startsWith("Desc: "));
        QVERIFY(rig.boxes.last().text.endsWith(", LastDLLError: 0"));
        // The command stopped at the message: neither stacking nor mark changed.
        QVERIFY(!IsTopmost(rig.form.get()));
        QVERIFY(!form->MNU_EnArriere()->isChecked());
    }

    void markRightAfterOkAndCancel() {
        SettingsRig rig(fullSettings());
        Form2::Loaded()->MNU_EnArriere_Click(); // now topmost
        QVERIFY(IsTopmost(rig.form.get()));

        Form2::Loaded()->MNU_Configurer_Click();
        Form2* form = Form2::Loaded();
        form->Form_Activate();
        form->Command1_Click(); // OK
        QVERIFY(!Form2::Loaded());
        SettingsRig::flushDeletes();
        rig.form->hooks.popupMenu(QPoint(50, 50)); // the menu is rebuilt
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        QVERIFY(Form2::Loaded()->MNU_EnArriere()->isChecked());
        QVERIFY(IsTopmost(rig.form.get()));

        Form2::Loaded()->MNU_EnArriere_Click(); // back to normal stacking
        QVERIFY(!IsTopmost(rig.form.get()));
        Form2::Loaded()->MNU_Configurer_Click();
        Form2::Loaded()->Form_Activate();
        Form2::Loaded()->Command2_Click(); // Cancel
        QVERIFY(!Form2::Loaded());
        rig.form->hooks.popupMenu(QPoint(50, 50));
        Form2::Loaded()->MNU_Options()->hide();
        QVERIFY(!Form2::Loaded()->MNU_EnArriere()->isChecked());

        // So the next Back/Front says what it really does.
        rig.boxes.clear();
        Form2::Loaded()->MNU_EnArriere_Click();
        QCOMPARE(rig.boxes.last().text, kFront);
        QVERIFY(IsTopmost(rig.form.get()));
    }

    void exitNoThenYes() {
        SettingsRig rig(CoreRig::settingsBytes({{2, {1, 3}}}));
        rig.form->show();
        Form2* form = Form2::Loaded();
        form->MNU_Desactiver_Click(); // no answer queued: Enter takes the default button
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.last().text,
                 QString(" Are you sure you want to exit the Lumivista program?"));
        QCOMPARE(rig.boxes.last().title, QString("Lumivista"));
        QCOMPARE(rig.boxes.last().style,
                 MsgStyle::YesNo | MsgStyle::Critical | MsgStyle::DefaultButton2);
        QVERIFY(!rig.programEnded);
        QVERIFY(rig.form->isVisible());
        rig.clock.advance(10000); // the cycle goes on
        QVERIFY(rig.form->Timer2(2).isEnabled());

        rig.boxes.queueAnswer(MsgAnswer::Yes);
        form->MNU_Desactiver_Click();
        QVERIFY(rig.programEnded);
        QVERIFY(!rig.form->isVisible());
        QVERIFY(!rig.form->Timer2(2).isEnabled());
    }

    void configurationNarrowsToLogo() {
        SettingsRig rig(CoreRig::settingsBytes({{0, {1, 50}}, {1, {1, 50}}}));
        rig.clock.advance(10000);
        QCOMPARE(int(rig.form->ShownCount()), 2);
        QVERIFY(rig.form->Width() > rig.form->Image2Width());

        Form2::Loaded()->MNU_Configurer_Click();
        Form2* form = Form2::Loaded();
        QVERIFY(form->isVisible());
        QCOMPARE(rig.form->Width(), rig.form->Image2Width());
        QCOMPARE(Module1::WaitTicks[0], std::int16_t(0));

        // Chosen again while open: the counters are cleared once more, the one window comes back.
        rig.form->Timer1(0).setEnabled(true);
        Module1::WaitTicks[0] = 4;
        form->lower();
        form->MNU_Configurer_Click();
        QCOMPARE(Form2::Loaded(), form);
        QCOMPARE(Module1::WaitTicks[0], std::int16_t(0));
        QVERIFY(!rig.form->Timer1(0).isEnabled());
        QCOMPARE(rig.form->Width(), rig.form->Image2Width());
        SettingsRig::flushDeletes();
        QCOMPARE(loadedConfigurationWindows(), 1);
    }

    void aboutAndStatisticsSingleWindows() {
        SettingsRig rig(fullSettings());
        int about = 0;
        rig.showAbout = [&] { ++about; };
        Form2::Loaded()->MNU_Apropos_Click();
        Form2::Loaded()->MNU_Statistiques_Click(); // not wired: nothing happens
        QCOMPARE(about, 1);
        rig.showStatistics = &ShowStatisticsWindow;
        Form2::Loaded()->MNU_Statistiques_Click();
        QPointer<Form4> first = StatisticsWindow();
        QVERIFY(first && first->isVisible());
        Form2::Loaded()->MNU_Statistiques_Click();
        QCOMPARE(StatisticsWindow(), first.data());
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<Form4*>(w))
                ++windows;
        QCOMPARE(windows, 1);
        first->cmdAnnuler_Click();
        SettingsRig::flushDeletes();
    }

    void accessKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("command");
        QTest::newRow("A") << int(Qt::Key_A) << "about";
        QTest::newRow("C") << int(Qt::Key_C) << "configuration";
        QTest::newRow("S") << int(Qt::Key_S) << "statistics";
        QTest::newRow("B") << int(Qt::Key_B) << "backfront";
        QTest::newRow("E") << int(Qt::Key_E) << "exit";
    }

    void accessKeys() {
        QFETCH(int, key);
        QFETCH(QString, command);
        SettingsRig rig(fullSettings());
        QString ran;
        rig.showAbout = [&] { ran += "about"; };
        rig.showStatistics = [&] { ran += "statistics"; };
        rig.form->show();
        rig.form->hooks.popupMenu(QPoint(40, 40));
        QMenu* menu = Form2::Loaded()->MNU_Options();
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key(key));
        QTRY_VERIFY(!menu->isVisible());
        if (Form2::Loaded()->isVisible())
            ran += "configuration";
        if (!rig.boxes.shown().isEmpty() && rig.boxes.last().text == kFront)
            ran += "backfront";
        if (!rig.boxes.shown().isEmpty() &&
            rig.boxes.last().style ==
                (MsgStyle::YesNo | MsgStyle::Critical | MsgStyle::DefaultButton2))
            ran += "exit";
        QCOMPARE(ran, command);
    }
};

QTEST_MAIN(TestPopupMenu)
#include "test_popup_menu.moc"
