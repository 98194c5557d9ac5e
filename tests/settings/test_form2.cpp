// The configuration window: its design, the file work when it becomes active, OK and Cancel,
// and the input rules as the user meets them in the boxes.

#include "settings_rig.h"

#include "platform/twips.h"
#include "settings/config_text_box.h"
#include "settings/numeric_input.h"
#include "settings/settings_file.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {
QString tenSpaces() { return QString(10, QLatin1Char(' ')); }
QString padded(const QString& text) { return text.leftJustified(60, QLatin1Char(' '), true); }
} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void designAtNinetySixDpi() {
        SettingsRig rig(fullSettings());
        Form2* form = Form2::Loaded();
        QVERIFY(form); // loaded hidden at start-up, for the menu
        QVERIFY(!form->isVisible());
        QCOMPARE(form->windowTitle(), QString(" Lumivista: Logo Configuration Window"));
        QCOMPARE(form->size(), QSize(520, 291));
        QCOMPARE(form->minimumSize(), form->maximumSize());

        const int headerLeft[4] = {120, 1920, 2760, 3480};
        const char* headers[4] = {"Logos", "Frequency", "Timing", "Messages"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form->lblT(i)->text(), QString(headers[i]));
            QCOMPARE(form->lblT(i)->pos(), QPoint(headerLeft[i] / 15, 120 / 15));
        }
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            const int top = 540 + 360 * i;
            QCOMPARE(form->Text2(i)->geometry(), Twips::ToPixelRect(1920, top, 735, 285));
            QCOMPARE(form->Text3(i)->geometry(), Twips::ToPixelRect(2760, top, 615, 285));
            QCOMPARE(form->Text4(i)->geometry(), Twips::ToPixelRect(3450, top, 4185, 285));
            QCOMPARE(form->lblA(i)->pos(), QPoint(600 / 15, (600 + 360 * i) / 15));
            QCOMPARE(form->lblA(i)->text(), QString(Module1::ExerciseNames[i]));
            QCOMPARE(form->Image1(i)->size(), QSize(25, 25));
            QCOMPARE(form->Image1(i)->x(), 120 / 15);
            // The picture stands beside its row.
            QVERIFY(qAbs(form->Image1(i)->geometry().center().y() -
                         form->Text2(i)->geometry().center().y()) <= 1);
            QVERIFY(!form->Image1(i)->pixmap().isNull());
            QCOMPARE(form->Text3(i)->isVisibleTo(form), i == 0);
        }
        QCOMPARE(form->Command1()->geometry(), Twips::ToPixelRect(2880, 3840, 855, 375));
        QCOMPARE(form->Command2()->geometry(), Twips::ToPixelRect(3960, 3840, 855, 375));
        QCOMPARE(form->Command1()->text(), QString("OK"));
        QCOMPARE(form->Command2()->text(), QString("Cancel"));
        // Nothing is cut off by the window's edge.
        for (QWidget* child : form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (child->isVisibleTo(form))
                QVERIFY2(form->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }

    void builtInTextsAndTabOrder() {
        SettingsRig rig(fullSettings());
        Form2* form = Form2::Loaded();
        const char* frequencies = "010010000";
        const char* messages[Module1::ExerciseCount] = {
            "Edge the contour of the monitor with your eyes",
            "Rub your hands, cross them and cover your eyes",
            "Blink delicately and normally very often",
            "Look as far away from your computer as possible",
            "Walk away from the computer as often as possible",
            "Inscribe the time spent learning each technique",
            "Breathe very deeply and relax",
            "Your eyes imitate the movement of the waves",
            "Look diagonally at square and rectangular shapes"};
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            QCOMPARE(form->Text2(i)->text(), QString(QChar(frequencies[i])));
            QCOMPARE(form->Text3(i)->text(), QString("10"));
            QCOMPARE(form->Text4(i)->text(), QString(messages[i]));
        }

        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(QApplication::focusWidget(), form->Text2(0));
        QList<QWidget*> expected;
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            expected << form->Text2(i);
        expected << form->Text3(0);
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            expected << form->Text4(i);
        expected << form->Command1() << form->Command2() << form->Text2(0);
        for (int k = 1; k < expected.size(); ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected[k]);
        }
    }

    void doubleClickOpensCentredAndFilled() {
        SettingsRig rig(fullSettings());
        QVERIFY(rig.allWaitingTimers());
        rig.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));
        QWidget* logo = rig.form->childAt(5, 5);
        QVERIFY(logo);
        QTest::mouseDClick(logo, Qt::LeftButton, {}, QPoint(5, 5));
        Form2* form = Form2::Loaded();
        QVERIFY(form && form->isVisible());
        QVERIFY(!rig.anyWaitingTimer());
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTRY_VERIFY(!form->FreshlyLoaded());
        QCOMPARE(form->Text2(3)->text(), QString(" 103"));
        QCOMPARE(form->Text3(0)->text(), QString(" 10"));
        QCOMPARE(form->Text4(3)->text(), padded("Message 3"));
        QCOMPARE(form->Text3(8)->text(), QString(" 10"));
        const QRect screen = form->screen()->geometry();
        QVERIFY(qAbs(form->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(form->frameGeometry().center().y() - screen.center().y()) <= 1);
        QVERIFY(SettingsFileProtocol::IsOpen());
        // Focus starts in the first Frequency box, its text selected.
        QCOMPARE(QApplication::focusWidget(), form->Text2(0));
        QCOMPARE(form->Text2(0)->selectedText(), QString(" 100"));
        QCOMPARE(rig.boxes.count(), 0);
    }

    void emptyAndMissingFile_data() {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<int>("length");
        QTest::newRow("missing") << true << 0;
        QTest::newRow("empty") << false << 0;
        QTest::newRow("1 byte") << false << 1;
        QTest::newRow("35 bytes") << false << 35;
    }

    void emptyAndMissingFile() {
        QFETCH(bool, missing);
        QFETCH(int, length);
        SettingsRig rig(QByteArray(length, '\x07'));
        if (missing)
            QVERIFY(QFile::remove(rig.app.settingsPath()));
        Form2* form = rig.openConfiguration();
        QCOMPARE(rig.boxes.count(), 0);
        QVERIFY(rig.app.settingsExists()); // a missing file is created empty
        QCOMPARE(form->Text2(0)->text(), QString("0"));
        QCOMPARE(form->Text3(0)->text(), QString("0"));
        QCOMPARE(form->Text4(0)->text(), tenSpaces());
        QCOMPARE(form->Text2(1)->text(), QString("1"));
        QCOMPARE(form->Text4(8)->text(),
                 QString("Look diagonally at square and rectangular shapes"));

        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 0);
        const QByteArray bytes = rig.app.readSettings();
        QCOMPARE(bytes.size(), 630);
        const int frequencies[Module1::ExerciseCount] = {0, 1, 0, 0, 1, 0, 0, 0, 0};
        // The first record reads over the old short contents: its statistics are what was there.
        QByteArray first = QByteArray(length, '\x07').leftJustified(70, '\0');
        const ExerciseRecord old = ExerciseRecord::fromBytes(first);
        QCOMPARE(bytes.left(70),
                 handRecord(1, 0, 0, QByteArray(10, ' '), old.TotalMinutes, old.LastMinutes));
        for (int i = 1; i < Module1::ExerciseCount; ++i) {
            const ExerciseRecord r = ExerciseRecord::fromBytes(bytes.mid(70 * i, 70));
            QCOMPARE(int(r.Number), i + 1);
            QCOMPARE(int(r.Frequency), frequencies[i]);
            QCOMPARE(int(r.Timing), 0);
            QCOMPARE(r.TotalMinutes, std::int16_t(0));
        }
        QCOMPARE(Module1::ExerciseFrequency[1], std::int16_t(1));
        QCOMPARE(Module1::ExerciseTiming[1], std::int16_t(0));
    }

    void thirtySixBytesLoadsAllRows() {
        QByteArray bytes = handRecord(1, 7, 12, "Short", 3, 2).left(36);
        SettingsRig rig(bytes);
        Form2* form = rig.openConfiguration();
        QCOMPARE(form->Text2(0)->text(), QString(" 7"));
        QCOMPARE(form->Text3(0)->text(), QString(" 12"));
        // Record 1 ends after 30 characters of its message; the rest of the file reads as zeros.
        QCOMPARE(form->Text4(0)->text().left(5), QString("Short"));
        QCOMPARE(form->Text4(0)->text().size(), 60);
        for (int i = 1; i < Module1::ExerciseCount; ++i) {
            QCOMPARE(form->Text2(i)->text(), QString(" 0"));
            QCOMPARE(form->Text3(i)->text(), QString(" 0"));
            QCOMPARE(form->Text4(i)->text(), QString(60, QChar(0)));
        }
    }

    void reactivationKeepsEdits() {
        SettingsRig rig(fullSettings());
        Form2* form = rig.openConfiguration();
        form->Text2(2)->setText("77");
        form->Text4(2)->setText("Edited");
        // The file changes meanwhile; reading it again would overwrite every row.
        rig.app.writeSettings(CoreRig::settingsBytes({}));
        form->Form_Activate();
        QEvent activate(QEvent::WindowActivate); // the window comes back to the front
        QCoreApplication::sendEvent(form, &activate);
        QCOMPARE(form->Text2(2)->text(), QString("77"));
        QCOMPARE(form->Text4(2)->text(), QString("Edited"));
        QCOMPARE(form->Text2(0)->text(), QString(" 100"));
    }

    void unchangedSaveGivesSameBytes() {
        // A negative number and bytes beyond the ninth record must come back untouched too.
        QByteArray bytes = fullSettings();
        bytes.replace(2 * 70 + 2, 2, QByteArray("\xFF\xFF", 2));
        bytes += QByteArray("tail bytes kept");
        SettingsRig rig(bytes);
        Form2* form = rig.openConfiguration();
        QCOMPARE(form->Text2(2)->text(), QString("-1"));
        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 0);
        QCOMPARE(rig.app.readSettings(), bytes);
        QVERIFY(!Form2::Loaded());
        QVERIFY(!SettingsFileProtocol::IsOpen());
    }

    void okWritesTimingToAllRowsAndKeepsStatistics() {
        QByteArray bytes;
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            bytes += handRecord(9 - i, i, 30 + i, "m", 1000 + i, -3 - i);
        SettingsRig rig(bytes);
        Form2* form = rig.openConfiguration();
        // The statistics window writes while the configuration is open.
        QByteArray changed = rig.app.readSettings();
        changed.replace(4 * 70 + 66, 4, QByteArray("\x10\x00\x20\x00", 4));
        rig.app.writeSettings(changed);
        form->Text3(0)->setText("25");
        form->Text3(5)->setText("999"); // hidden boxes are never saved
        form->Command1_Click();
        const QByteArray saved = rig.app.readSettings();
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            const ExerciseRecord r = ExerciseRecord::fromBytes(saved.mid(70 * i, 70));
            QCOMPARE(int(r.Number), i + 1);
            QCOMPARE(int(r.Frequency), i);
            QCOMPARE(int(r.Timing), 25);
            QCOMPARE(int(r.TotalMinutes), i == 4 ? 16 : 1000 + i);
            QCOMPARE(int(r.LastMinutes), i == 4 ? 32 : -3 - i);
            QCOMPARE(int(Module1::ExerciseTiming[i]), 25);
            QCOMPARE(int(Module1::ExerciseTotalMinutes[i]), i == 4 ? 16 : 1000 + i);
        }
    }

    void okCutsMessagesAndDrivesCycle() {
        SettingsRig rig(fullSettings());
        Form2* form = rig.openConfiguration();
        const QString longMessage = QString("0123456789").repeated(7);
        form->Text4(0)->setText(longMessage);
        form->Text4(1)->setText(QString::fromUtf8("Café \u20AC"));
        form->Text2(0)->setText("1");
        form->Text3(0)->setText("2.5"); // halves go to the even neighbour
        for (int i = 1; i < Module1::ExerciseCount; ++i)
            form->Text2(i)->setText("0");
        QVERIFY(!rig.anyWaitingTimer());
        form->Command1_Click();
        QVERIFY(rig.allWaitingTimers());
        QVERIFY(!Form2::Loaded());
        const QByteArray saved = rig.app.readSettings();
        QCOMPARE(saved.mid(6, 60), longMessage.left(60).toLatin1());
        QCOMPARE(saved.mid(70 + 6, 7), QByteArray("Caf\xE9 \x80 ", 7));
        QCOMPARE(int(Module1::ExerciseTiming[0]), 2);

        // The new frequency runs the cycle: exercise 0 shows after one waiting tick.
        rig.clock.advance(10000);
        QVERIFY(rig.form->Timer2(0).isEnabled());
        QCOMPARE(int(rig.form->ShownCount()), 1);

        // Shown again, the window reads what was saved.
        Form2* again = rig.openConfiguration();
        QCOMPARE(again->Text4(0)->text(), longMessage.left(60));
        QCOMPARE(again->Text4(1)->text(), padded(QString::fromUtf8("Café \u20AC")));
        QCOMPARE(again->Text3(0)->text(), QString(" 2"));
    }

    void okRefusesValueBeyondSixteenBits() {
        const QByteArray bytes = fullSettings();
        SettingsRig rig(bytes);
        Form2* form = rig.openConfiguration();
        form->Text2(0)->setText("5");
        form->Text2(4)->setText("-40000"); // pasted: no lower bound while typing
        QCOMPARE(rig.boxes.count(), 0);
        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 1);
        QVERIFY(rig.boxes.last().text.contains("Walking"));
        QVERIFY(rig.boxes.last().text.contains("-40000"));
        QCOMPARE(rig.app.readSettings(), bytes);
        QCOMPARE(Form2::Loaded(), form);
        QVERIFY(SettingsFileProtocol::IsOpen());
        QVERIFY(!rig.anyWaitingTimer());
        QCOMPARE(QApplication::focusWidget() ? QApplication::focusWidget() : form->focusWidget(),
                 form->Text2(4));

        form->Text2(4)->setText("7");
        form->Text3(0)->setText("-1E9");
        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 2);
        QVERIFY(rig.boxes.last().text.contains("Timing"));
        QCOMPARE(rig.app.readSettings(), bytes);

        form->Text3(0)->setText("-32768");
        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 2);
        QVERIFY(!Form2::Loaded());
        QCOMPARE(int(Module1::ExerciseTiming[3]), -32768);
    }

    void okWhenFileCouldNotBeOpened() {
        SettingsRig rig(fullSettings());
        QVERIFY(QFile::remove(rig.app.settingsPath()));
        QVERIFY(QDir(rig.app.path()).mkdir("LOGO2.DAT")); // cannot be opened as a file
        Form2* form = rig.openConfiguration();
        QCOMPARE(rig.boxes.count(), 1);
        QCOMPARE(rig.boxes.last().text, QString("Error with file LOGO2.DAT!"));
        QCOMPARE(rig.boxes.last().title, QString("Avertissement"));
        QVERIFY(form->SettingsUnavailable());
        // The window still works: the rules apply and the boxes keep their built-in texts.
        QCOMPARE(form->Text2(1)->text(), QString("1"));
        form->Text2(1)->setText("40000");
        QCOMPARE(rig.boxes.count(), 2);
        QCOMPARE(form->Text2(1)->text(), QString());

        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 3);
        QVERIFY(rig.boxes.last().text.startsWith("Nothing could be saved"));
        QVERIFY(QFileInfo(rig.app.settingsPath()).isDir());
        QVERIFY(rig.allWaitingTimers());
        QVERIFY(!Form2::Loaded());
    }

    // An administrator's shared folder with a writable LOGO2.DAT: the records go in place.
    void okInAFolderThatForbidsNewFiles() {
        SmallFileSystem disk;
        const QByteArray bytes = fullSettings() + QByteArray("tail");
        SettingsRig rig(bytes, true, disk.mounted() ? disk.path() : QString());
        if (!forbidNewFilesInFolder(disk, rig.app))
            QSKIP("needs root (a read-only mount) or a user whom permissions bind");
        Form2* form = rig.openConfiguration();
        form->Text2(4)->setText("77");
        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 0);
        QVERIFY(!Form2::Loaded());
        QByteArray expected = bytes;
        expected.replace(4 * 70 + 2, 2, QByteArray::fromHex("4d00"));
        QCOMPARE(rig.app.readSettings().toHex(), expected.toHex());
    }

    void okWhenFileCannotBeWritten_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder in its place") << "folder"
                                               << "Is a directory";
        QTest::newRow("a full disk") << "full disk"
                                     << "No space left on device";
        // Read when the window opens, so its boxes show the file; only OK is refused.
        QTest::newRow("a read-only file") << "read-only"
                                          << "Permission denied|Operation not permitted";
    }

    // A failed save keeps the window and every edit; once the cause is mended, OK saves them.
    void okWhenFileCannotBeWritten() {
        QFETCH(QString, cause);
        QFETCH(QString, reason);
        const bool fullDisk = cause == QLatin1String("full disk");
        SmallFileSystem disk;
        if (fullDisk && !disk.mounted())
            QSKIP("mounting a small file system needs root");
        const QByteArray bytes = fullSettings() + QByteArray("tail");
        SettingsRig rig(bytes, true, fullDisk ? disk.path() : QString());
        if (cause == QLatin1String("read-only"))
            QVERIFY(setWritable(rig.app.settingsPath(), false));
        Form2* form = rig.openConfiguration();
        QCOMPARE(rig.boxes.count(), 0);
        QCOMPARE(form->Text2(0)->text(), QString(" 100")); // as the file holds it
        if (fullDisk) {
            disk.fill();
        } else if (cause == QLatin1String("folder")) {
            QVERIFY(QFile::remove(rig.app.settingsPath()));
            QVERIFY(QDir(rig.app.path()).mkdir("LOGO2.DAT"));
        }
        form->Text2(0)->setText("3");
        form->Text4(8)->setText("Edited");
        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 1);
        QVERIFY2(
            rig.boxes.last().text.contains(QRegularExpression("\\(LOGO2\\.DAT: (" + reason + ")")),
            qPrintable(rig.boxes.last().text));
        QCOMPARE(Form2::Loaded(), form);
        QCOMPARE(form->Text2(0)->text(), QString("3"));
        QCOMPARE(form->Text4(8)->text(), QString("Edited"));
        QVERIFY(!rig.anyWaitingTimer()); // still configuring: the cycle waits as it did
        QCOMPARE(int(Module1::ExerciseFrequency[0]), 100);
        if (fullDisk) {
            QCOMPARE(rig.app.readSettings(), bytes);
            disk.release();
        } else if (cause == QLatin1String("folder")) {
            QVERIFY(QDir(rig.app.path()).rmdir("LOGO2.DAT"));
            rig.app.writeSettings(bytes);
        } else {
            QCOMPARE(rig.app.readSettings(), bytes);
            QVERIFY(setWritable(rig.app.settingsPath(), true));
        }

        form->Command1_Click();
        QCOMPARE(rig.boxes.count(), 1);
        QVERIFY(!Form2::Loaded());
        QVERIFY(rig.allWaitingTimers());
        QCOMPARE(int(Module1::ExerciseFrequency[0]), 3);
        const QByteArray saved = rig.app.readSettings();
        QCOMPARE(saved.mid(8 * 70 + 6, 6), QByteArray("Edited"));
        QCOMPARE(saved.mid(630), QByteArray("tail"));
    }

    void cancelEndsDisplaysAndRestartsCycle() {
        const QByteArray bytes = CoreRig::settingsBytes({{1, {1, 100}}, {6, {1, 100}}});
        SettingsRig rig(bytes);
        rig.clock.advance(10000);
        QVERIFY(rig.form->Timer2(1).isEnabled() && rig.form->Timer2(6).isEnabled());
        QCOMPARE(int(rig.form->ShownCount()), 2);
        rig.clock.advance(300);

        rig.form->hooks.doubleClick(); // the configuration opens while both are on display
        Form2* form = Form2::Loaded();
        form->Form_Activate();
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            rig.form->Timer1(i).setEnabled(false); // stopped, whatever the size check did
        form->Text2(1)->setText("9");
        form->Command2_Click();
        QVERIFY(!Form2::Loaded());
        QVERIFY(!SettingsFileProtocol::IsOpen());
        QVERIFY(rig.allWaitingTimers());
        QVERIFY(!rig.form->Timer2(1).isEnabled() && !rig.form->Timer2(6).isEnabled());
        QCOMPARE(int(rig.form->ShownCount()), 0);
        QCOMPARE(int(rig.form->ContentWidth()), int(rig.form->Image2Width()));
        QCOMPARE(rig.form->Width(), rig.form->Image2Width());
        QVERIFY(!rig.form->AniGif(1).Visible() && !rig.form->AniGif(6).Visible());
        QVERIFY(Module1::ResizeByUser);
        QCOMPARE(rig.app.readSettings(), bytes); // nothing written

        // The cycle goes on unchanged: both show again after one waiting tick.
        rig.clock.advance(10000);
        QVERIFY(rig.form->Timer2(1).isEnabled() && rig.form->Timer2(6).isEnabled());
        QCOMPARE(int(rig.form->ShownCount()), 2);
    }

    void cancelLetsADueExerciseWaitingPast16BitsShow() {
        SettingsRig rig(CoreRig::settingsBytes(
            {{0, {2, 30000}}, {1, {2, 30000}}, {2, {2, 30000}}, {3, {1, 5}}}));
        Form1& f = *rig.form;
        rig.clock.advanceTo(20000);
        QVERIFY(!f.Timer2(3).isEnabled());
        QCOMPARE(f.ShownCount(), std::int16_t(3));
        Module1::WaitTicks[3] = 32765;
        rig.clock.advance(30000);
        QCOMPARE(Module1::WaitTicks[3], std::int16_t(32767));
        QVERIFY(!f.Timer2(3).isEnabled());
        QCOMPARE(rig.boxes.count(), 0);
        Form2::Loaded()->Command2_Click(); // the window loaded hidden for the menu
        rig.clock.advance(10000);
        QVERIFY(f.Timer2(3).isEnabled());
        QCOMPARE(Module1::WaitTicks[3], std::int16_t(0));
    }

    void cancelDuringThreeDisplaysKeepsTheCountRight() {
        SettingsRig rig(
            CoreRig::settingsBytes({{0, {1, 100}}, {4, {1, 100}}, {6, {1, 100}}, {8, {1, 100}}}));
        Form1& f = *rig.form;
        rig.clock.advanceTo(10000);
        QCOMPARE(f.ShownCount(), std::int16_t(3));
        rig.openConfiguration();
        rig.clock.advance(600); // the displays run on while the window is open
        QCOMPARE(Module1::ShowTicks[0], std::int16_t(2));
        Form2::Loaded()->Command2_Click();
        QCOMPARE(f.ShownCount(), std::int16_t(0));
        QCOMPARE(f.Width(), f.Image2Width());
        for (int i = 0; i < Module1::ExerciseCount; ++i) {
            QVERIFY(!f.AniGif(i).Visible());
            QCOMPARE(Module1::ShowTicks[i], std::int16_t(0));
        }
        rig.clock.advance(10000); // later displays are not blocked
        QCOMPARE(f.ShownCount(), std::int16_t(3));
    }

    void closeButtonActsAsCancel() {
        const QByteArray bytes = fullSettings();
        SettingsRig rig(bytes);
        Form2* form = rig.openConfiguration();
        form->show();
        form->Text2(0)->setText("1");
        QVERIFY(!rig.anyWaitingTimer());
        QVERIFY(form->close());
        QVERIFY(!Form2::Loaded());
        QVERIFY(!SettingsFileProtocol::IsOpen());
        QVERIFY(rig.allWaitingTimers());
        QCOMPARE(rig.app.readSettings(), bytes);
        QCOMPARE(rig.boxes.count(), 0);
    }

    void typedKeysAreFiltered() {
        SettingsRig rig(fullSettings());
        Form2* form = rig.openConfiguration();
        form->show();
        for (ConfigTextBox* box : {form->Text2(3), form->Text3(0)}) {
            box->setFocus();
            box->clear();
            QTest::keyClicks(box, "a-+.E,5/:}9 ~{");
            QCOMPARE(box->text(), QString("59 ~"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QString("59 "));
            QCOMPARE(NumericValue(box->text()), 59.0);
        }
        // Messages take every key; a long one stays whole until it is saved.
        ConfigTextBox* message = form->Text4(3);
        message->setFocus();
        message->clear();
        const QString typed = "Any key: -+.E5 {} ~ " + QString(60, 'x');
        QTest::keyClicks(message, typed);
        QCOMPARE(message->text(), typed);
        QCOMPARE(rig.boxes.count(), 0);
    }

    void valueCheck_data() {
        QTest::addColumn<bool>("timing");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("refused");
        for (bool timing : {false, true}) {
            const char* box = timing ? "Timing" : "Frequency";
            QTest::addRow("%s typed 32767", box) << timing << false << "32767"
                                                 << "32767" << false;
            QTest::addRow("%s typed 32768", box) << timing << false << "32768"
                                                 << "" << true;
            QTest::addRow("%s typed 0000032767", box) << timing << false << "0000032767"
                                                      << "0000032767" << false;
            QTest::addRow("%s typed 40000", box) << timing << false << "40000"
                                                 << "" << true;
            QTest::addRow("%s pasted 32767", box) << timing << true << "32767"
                                                  << "32767" << false;
            QTest::addRow("%s pasted 32768", box) << timing << true << "32768"
                                                  << "" << true;
            QTest::addRow("%s pasted 1E5", box) << timing << true << "1E5"
                                                << "" << true;
            QTest::addRow("%s pasted letters", box) << timing << true << "abc"
                                                    << "abc" << false;
            QTest::addRow("%s pasted 40000", box) << timing << true << "40000"
                                                  << "" << true;
            QTest::addRow("%s pasted -40000", box) << timing << true << "-40000"
                                                   << "-40000" << false;
        }
    }

    void valueCheck() {
        QFETCH(bool, timing);
        QFETCH(bool, pasted);
        QFETCH(QString, text);
        QFETCH(QString, left);
        QFETCH(bool, refused);
        SettingsRig rig(fullSettings());
        Form2* form = rig.openConfiguration();
        form->show();
        ConfigTextBox* box = timing ? form->Text3(0) : form->Text2(2);
        box->setFocus();
        box->clear();
        QString seenWhileOpen = "not shown";
        rig.boxes.onNextBox([&] { seenWhileOpen = box->text(); });
        if (pasted) {
            QGuiApplication::clipboard()->setText(text);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else {
            // The box is checked after every digit: only the last one goes over.
            QTest::keyClicks(box, text.left(text.size() - 1));
            QCOMPARE(rig.boxes.count(), 0);
            QTest::keyClicks(box, text.right(1));
        }
        QCOMPARE(box->text(), left);
        QCOMPARE(rig.boxes.count(), refused ? 1 : 0);
        if (refused) {
            QCOMPARE(rig.boxes.last().text, timing ? QString(" You should not exced 32767 !")
                                                   : QString("You should not exced 32767 !"));
            QCOMPARE(rig.boxes.last().title, QString("Lumivista"));
            QCOMPARE(rig.boxes.last().style, MsgStyle::OkOnly);
            QCOMPARE(seenWhileOpen, text); // emptied only once the box is dismissed
        }
    }

    void selectAllOnFocus() {
        SettingsRig rig(fullSettings());
        Form2* form = rig.openConfiguration();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->Text2(8)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(form->Text2(8), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form->Text3(0));
        QCOMPARE(form->Text3(0)->selectedText(), QString(" 10"));
        QTest::keyClick(form->Text3(0), Qt::Key_Tab);
        QCOMPARE(form->Text4(0)->selectedText(), padded("Message 0"));
        QTest::keyClick(form->Text4(0), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(form->Text3(0)->selectedText(), QString(" 10"));
        QTest::keyClicks(form->Text3(0), "42"); // replaces the whole content
        QCOMPARE(form->Text3(0)->text(), QString("42"));

        // A click into a box selects its text as well.
        QTest::mouseClick(form->Text4(5), Qt::LeftButton, {}, QPoint(30, 5));
        QCOMPARE(QApplication::focusWidget(), form->Text4(5));
        QCOMPARE(form->Text4(5)->selectedText(), padded("Message 5"));
    }

    // As in a dialog: Enter presses the focused button or else OK, Escape presses Cancel.
    void enterAndEscape_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Enter in a frequency") << "Text2" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter in a message") << "Text4" << int(Qt::Key_Enter) << true;
        QTest::newRow("Enter on OK") << "OK" << int(Qt::Key_Return) << true;
        QTest::newRow("Enter on Cancel") << "Cancel" << int(Qt::Key_Return) << false;
        QTest::newRow("Escape in a frequency") << "Text2" << int(Qt::Key_Escape) << false;
        QTest::newRow("Escape on OK") << "OK" << int(Qt::Key_Escape) << false;
    }

    void enterAndEscape() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, saved);
        const QByteArray bytes = fullSettings();
        SettingsRig rig(bytes);
        Form2* form = rig.openConfiguration();
        form->show();
        form->Text2(0)->setText("7");
        QWidget* target = focus == "Text2"   ? static_cast<QWidget*>(form->Text2(0))
                          : focus == "Text4" ? static_cast<QWidget*>(form->Text4(3))
                          : focus == "OK"    ? static_cast<QWidget*>(form->Command1())
                                             : static_cast<QWidget*>(form->Command2());
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key),
                        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(!Form2::Loaded());
        QVERIFY(rig.allWaitingTimers());
        const QByteArray file = rig.app.readSettings();
        QCOMPARE(file.mid(2, 2), saved ? QByteArray::fromHex("0700") : bytes.mid(2, 2));
        QCOMPARE(file == bytes, !saved);
    }

    // The tooltips of the Frequency and Timing boxes say what the number means, as it is typed.
    void numbersExplainThemselves() {
        SettingsRig rig(fullSettings(18));
        Form2* form = rig.openConfiguration();
        form->show();
        QVERIFY(form->Text2(0)->toolTip().contains("100 = every 16 minutes 40 seconds"));
        QVERIFY(form->Text3(0)->toolTip().contains("18 = 5.4 seconds"));
        form->Text2(0)->setFocus();
        QTest::keyClicks(form->Text2(0), "270");
        QCOMPARE(form->Text2(0)->toolTip(),
                 QString("Frequency: how many 10-second periods pass between "
                         "two showings; 270 = every 45 minutes; 0 = never"));
        QTest::keyClick(form->Text2(0), Qt::Key_Backspace);
        QVERIFY(form->Text2(0)->toolTip().contains("27 = every 4 minutes 30 seconds"));
        // The headers explain their columns with an example.
        QVERIFY(form->lblT(1)->toolTip().startsWith("Frequency: how many 10-second periods"));
        QVERIFY(form->lblT(2)->toolTip().startsWith("Timing: how many 0.3-second periods"));
        QCOMPARE(rig.boxes.count(), 0);
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
