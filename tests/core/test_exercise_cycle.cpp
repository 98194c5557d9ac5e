#include "core_rig.h"

using namespace Module1;

namespace {
constexpr double Logo = 1305;
constexpr double Player = 495;
} // namespace

class TestExerciseCycle : public QObject {
    Q_OBJECT
private slots:
    void frequency6Timing10() {
        CoreRig rig;
        Form1& f = rig.start({{0, {6, 10}}});
        rig.clock.advanceTo(59999);
        QVERIFY(!f.Timer2(0).isEnabled());
        QCOMPARE(WaitTicks[0], std::int16_t(5));
        QVERIFY(!ResizeByUser); // waiting ticks that place nothing leave it down

        rig.clock.advanceTo(60000);
        QVERIFY(f.Timer2(0).isEnabled());
        QCOMPARE(f.AniGif(0).Left(), Logo);
        QCOMPARE(f.AniGif(0).Top(), 0.0);
        QVERIFY(!f.AniGif(0).Visible()); // only from the first display tick
        QCOMPARE(f.Width(), Logo + Player);
        QCOMPARE(f.ContentWidth(), std::int16_t(Logo + Player));
        QCOMPARE(f.ShownCount(), std::int16_t(1));

        rig.clock.advanceTo(60299);
        QVERIFY(!f.AniGif(0).Visible());
        rig.clock.advanceTo(60300);
        QVERIFY(f.AniGif(0).Visible());
        QCOMPARE(ShowTicks[0], std::int16_t(1));
        rig.clock.advanceTo(63299);
        QVERIFY(f.AniGif(0).Visible());
        QCOMPARE(ShowTicks[0], std::int16_t(10));
        rig.clock.advanceTo(63300);
        QVERIFY(!f.Timer2(0).isEnabled());
        QVERIFY(!f.AniGif(0).Visible());
        QCOMPARE(f.Width(), Logo);
        QCOMPARE(f.ShownCount(), std::int16_t(0));
        QCOMPARE(ShowTicks[0], std::int16_t(0));
        QVERIFY(ResizeByUser);

        rig.clock.advanceTo(119999);
        QCOMPARE(WaitTicks[0], std::int16_t(5)); // 70 s .. 110 s
        QVERIFY(!f.Timer2(0).isEnabled());
        rig.clock.advanceTo(120000);
        QVERIFY(f.Timer2(0).isEnabled());
        QCOMPARE(rig.boxes.count(), 0);
    }

    void frequency1Timing1() {
        CoreRig rig;
        Form1& f = rig.start({{8, {1, 1}}});
        rig.clock.advanceTo(10000);
        QVERIFY(f.Timer2(8).isEnabled());
        QCOMPARE(f.AniGif(8).Left(), Logo);
        rig.clock.advanceTo(10300);
        QVERIFY(f.AniGif(8).Visible());
        rig.clock.advanceTo(10599);
        QVERIFY(f.AniGif(8).Visible());
        rig.clock.advanceTo(10600);
        QVERIFY(!f.Timer2(8).isEnabled());
        QVERIFY(!f.AniGif(8).Visible());
        QCOMPARE(f.Width(), Logo);
        rig.clock.advanceTo(19999);
        QVERIFY(!f.Timer2(8).isEnabled());
        rig.clock.advanceTo(20000);
        QVERIFY(f.Timer2(8).isEnabled());
    }

    void inactiveExercisesNeverShow() {
        CoreRig rig;
        // Zero, and negative values as a file or a pasted number can hold them.
        rig.writeSettings({{0, {0, 5}}, {1, {5, 0}}, {2, {-1, 5}}, {3, {2, -3}}, {4, {-2, -2}}});
        const QByteArray before = rig.app.readSettings();
        Form1& f = rig.start();
        ResizeByUser = true;
        rig.clock.advance(2 * 3600 * 1000);
        QCOMPARE(rig.displayed(), 0);
        QCOMPARE(f.ShownCount(), std::int16_t(0));
        QCOMPARE(f.Width(), Logo);
        QVERIFY(!ResizeByUser); // every waiting tick lowers it
        for (int i = 0; i < ExerciseCount; ++i)
            QCOMPARE(WaitTicks[i], std::int16_t(0));
        QCOMPARE(ExerciseTiming[3], std::int16_t(-3)); // kept as stored
        QCOMPARE(rig.app.readSettings(), before);
        QCOMPARE(rig.boxes.count(), 0);
    }

    void fourDueAtOnce() {
        CoreRig rig;
        Form1& f = rig.start({{0, {2, 10}}, {1, {2, 1000}}, {2, {2, 1000}}, {3, {2, 1000}}});
        rig.clock.advanceTo(20000);
        QCOMPARE(f.ShownCount(), std::int16_t(3));
        QCOMPARE(f.AniGif(0).Left(), Logo);
        QCOMPARE(f.AniGif(1).Left(), Logo + Player);
        QCOMPARE(f.AniGif(2).Left(), Logo + 2 * Player);
        QCOMPARE(f.Width(), Logo + 3 * Player);
        QVERIFY(!f.Timer2(3).isEnabled()); // due
        QCOMPARE(WaitTicks[3], std::int16_t(2));

        rig.clock.advanceTo(23300); // exercise 0 ends, the row packs
        QCOMPARE(f.ShownCount(), std::int16_t(2));
        QCOMPARE(f.AniGif(1).Left(), Logo);
        QCOMPARE(f.AniGif(2).Left(), Logo + Player);
        QCOMPARE(f.Width(), Logo + 2 * Player);
        QVERIFY(!f.Timer2(3).isEnabled());

        rig.clock.advanceTo(30000); // its first waiting tick with room
        QVERIFY(f.Timer2(3).isEnabled());
        QCOMPARE(f.AniGif(3).Left(), Logo + 2 * Player);
        QCOMPARE(f.ShownCount(), std::int16_t(3));
        QCOMPARE(WaitTicks[3], std::int16_t(0));
        QVERIFY(!f.Timer2(0).isEnabled()); // counting again: 1 of 2
        QCOMPARE(WaitTicks[0], std::int16_t(1));
    }

    void packingWhenADisplayEnds() {
        CoreRig rig;
        Form1& f = rig.start({{2, {1, 5}}, {5, {1, 50}}});
        rig.clock.advanceTo(10000);
        QCOMPARE(f.AniGif(2).Left(), Logo);
        QCOMPARE(f.AniGif(5).Left(), Logo + Player);
        QCOMPARE(f.Width(), Logo + 2 * Player);
        rig.clock.advanceTo(11800); // display tick 6 of exercise 2
        QVERIFY(!f.Timer2(2).isEnabled());
        QCOMPARE(f.AniGif(5).Left(), Logo);
        QVERIFY(f.AniGif(5).Visible());
        QVERIFY(!f.AniGif(2).Visible());
        QCOMPARE(f.Width(), Logo + Player);
    }

    void placedAtTheRightEndThenPackedByIndex() {
        CoreRig rig;
        Form1& f = rig.start({{3, {1, 50}}, {7, {2, 100}}, {1, {3, 10}}});
        rig.clock.advanceTo(10000);
        QCOMPARE(f.AniGif(3).Left(), Logo);
        rig.clock.advanceTo(20000);
        QCOMPARE(f.AniGif(7).Left(), Logo + Player); // right of 3
        rig.clock.advanceTo(25300);                  // 3 ends
        QVERIFY(!f.Timer2(3).isEnabled());
        QCOMPARE(f.AniGif(7).Left(), Logo);
        QCOMPARE(f.Width(), Logo + Player);
        rig.clock.advanceTo(30000); // 1 comes after 7 although its index is lower ...
        QVERIFY(f.Timer2(1).isEnabled());
        QCOMPARE(f.AniGif(1).Left(), Logo + Player);
        rig.clock.advanceTo(33300); // ... until a layout puts it first
        QVERIFY(!f.Timer2(1).isEnabled());
        QVERIFY(f.Timer2(3).isEnabled() || f.Timer2(7).isEnabled());
        QCOMPARE(f.AniGif(f.Timer2(3).isEnabled() ? 3 : 7).Left(), Logo);
    }

    void waitingTickHidesTheDisplay() {
        CoreRig rig;
        Form1& f = rig.start({{0, {1, 100}}, {1, {5, 1}}});
        rig.clock.advanceTo(10300);
        QVERIFY(f.AniGif(0).Visible());
        rig.clock.advanceTo(20000); // exercise 1 counts a waiting tick: players reloaded
        QVERIFY(f.Timer2(0).isEnabled());
        QVERIFY(!f.AniGif(0).Visible());
        rig.clock.advanceTo(20199);
        QVERIFY(!f.AniGif(0).Visible());
        rig.clock.advanceTo(20200); // its next display tick
        QVERIFY(f.AniGif(0).Visible());
    }

    void doubleClickDuringADisplay() {
        CoreRig rig;
        Form1& f = rig.start({{0, {1, 10}}, {1, {1, 100}}});
        rig.clock.advanceTo(10900); // both on display, 0 at ShowTicks 3
        QCOMPARE(f.Width(), Logo + 2 * Player);
        QCOMPARE(ShowTicks[0], std::int16_t(3));
        QVERIFY(ResizeByUser);

        QTest::mouseDClick(rig.window(), Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(rig.doubleClicks, 1);
        for (int i = 0; i < ExerciseCount; ++i) {
            QCOMPARE(WaitTicks[i], std::int16_t(0));
            QCOMPARE(ShowTicks[i], std::int16_t(0));
            // The narrowing ran the size check, which started the waiting timers again.
            QVERIFY(f.Timer1(i).isEnabled());
        }
        QCOMPARE(f.Width(), Logo);
        QCOMPARE(f.ContentWidth(), std::int16_t(Logo));
        QCOMPARE(f.ShownCount(), std::int16_t(2));
        QVERIFY(f.Timer2(0).isEnabled());
        QVERIFY(!ResizeByUser);

        rig.clock.advanceTo(13300); // would have ended here
        QVERIFY(f.Timer2(0).isEnabled());
        rig.clock.advanceTo(13899);
        QVERIFY(f.Timer2(0).isEnabled());
        QCOMPARE(ShowTicks[0], std::int16_t(9));
        rig.clock.advanceTo(14200); // T more ticks, then the layout restores the width
        QVERIFY(!f.Timer2(0).isEnabled());
        QCOMPARE(f.AniGif(1).Left(), Logo);
        QCOMPARE(f.Width(), Logo + Player);
        QCOMPARE(f.ShownCount(), std::int16_t(1));
    }

    void displayEndsWhenTimingIsLoweredOrCleared() {
        CoreRig rig;
        Form1& f = rig.start({{0, {1, 30}}, {1, {1, 30}}});
        rig.clock.advanceTo(10000 + 300 * 5);
        QCOMPARE(ShowTicks[0], std::int16_t(5));
        ExerciseTiming[0] = 2; // saved while on display
        ExerciseTiming[1] = 0;
        rig.clock.advance(300);
        QVERIFY(!f.Timer2(0).isEnabled());
        QVERIFY(!f.Timer2(1).isEnabled());
        QCOMPARE(f.ShownCount(), std::int16_t(0));
        QCOMPARE(f.Width(), Logo);
        // A display at the 16-bit limit ends too, without failing.
        ExerciseTiming[0] = 32767;
        rig.clock.advanceTo(20000);
        QVERIFY(f.Timer2(0).isEnabled());
        ShowTicks[0] = 32767;
        rig.clock.advance(300);
        QVERIFY(!f.Timer2(0).isEnabled());
        QCOMPARE(rig.boxes.count(), 0);
    }
};

QTEST_MAIN(TestExerciseCycle)
#include "test_exercise_cycle.moc"
