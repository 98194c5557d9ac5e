// A whole day of the exercise cycle in virtual time, with the user opening the real
// configuration window now and then and leaving it by OK (with new settings) or Cancel.

#include "settings_rig.h"

#include "core/form1_procedures.h"
#include "settings/config_text_box.h"

#include <QRandomGenerator>

using namespace Module1;

namespace {
constexpr double Logo = 1305;
constexpr double Player = 495;
constexpr qint64 Day = 24LL * 3600 * 1000;
} // namespace

class TestCycleSoak : public QObject {
    Q_OBJECT
private slots:
    void invariantOverADay_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 20240611u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }

    void invariantOverADay() {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        QByteArray initial;
        for (int i = 0; i < ExerciseCount; ++i)
            initial += handRecord(i + 1, rng.bounded(-2, 8), rng.bounded(-3, 40), "m", 0, 0);
        SettingsRig rig(initial);
        Form1& f = *rig.form;
        // The players reload their files at every waiting tick: with the real ones in place
        // the day runs as it does for a user (a missing file is looked for everywhere, slowly).
        for (const char* base : AnimationBaseNames) {
            const QString name = QLatin1String(base) + QStringLiteral(".gif");
            QVERIFY(QFile::copy(QStringLiteral(LUMI_SOURCE_DIR "/assets/animations/") + name,
                                rig.app.path() + QLatin1Char('/') + name));
        }

        int displaysStarted = 0, opens = 0, cancels = 0, saves = 0;
        std::array<bool, ExerciseCount> wasOn{};
        bool narrowed = false; // opening the configuration narrowed the window
        int lastDisplayed = 0;
        qint64 nextEvent = rng.bounded(1, 600) * 1000, lastEvent = 0;
        while (rig.clock.now() < Day) {
            // Timers or the user, whichever comes first; with every timer stopped, the user.
            const qint64 until = std::min(Day, nextEvent);
            if (!rig.clock.runNextInstant(until - rig.clock.now()))
                rig.clock.advanceTo(until);
            auto countDisplayed = [&] {
                int n = 0;
                for (int i = 0; i < ExerciseCount; ++i)
                    n += f.Timer2(i).isEnabled() ? 1 : 0;
                return n;
            };
            const int displayed = countDisplayed();
            if (displayed < lastDisplayed)
                narrowed = false; // a display ended: the layout set the width
            for (int i = 0; i < ExerciseCount; ++i) {
                const bool on = f.Timer2(i).isEnabled();
                if (on && !wasOn[i]) {
                    ++displaysStarted;
                    QVERIFY2(IsExerciseActive(i), "an inactive exercise was shown");
                }
                wasOn[i] = on;
            }
            QCOMPARE(int(f.ShownCount()), displayed);
            QVERIFY(f.ShownCount() >= 0 && f.ShownCount() <= 3);
            if (rig.clock.now() >= nextEvent) {
                lastEvent = rig.clock.now();
                // The configuration window is loaded hidden from the start: it owns the menu.
                Form2* form2 = Form2::Loaded();
                const bool configuring = form2 && form2->isVisible();
                const int choice = int(rng.bounded(3));
                if (!configuring || choice == 0) {
                    QTest::mouseDClick(f.windowHandle(), Qt::LeftButton, {}, QPoint(20, 12));
                    form2 = Form2::Loaded();
                    QVERIFY(form2 && form2->isVisible());
                    if (form2->FreshlyLoaded())
                        form2->Form_Activate();
                    ++opens;
                    narrowed = true;
                } else if (choice == 1) {
                    form2->Command2_Click();
                    ++cancels;
                    narrowed = false;
                } else {
                    for (int i = 0; i < ExerciseCount; ++i)
                        form2->Text2(i)->setText(QString::number(rng.bounded(-2, 8)));
                    form2->Text3(0)->setText(QString::number(rng.bounded(-3, 40)));
                    form2->Command1_Click();
                    ++saves;
                }
                if (!Form2::Loaded() || !Form2::Loaded()->isVisible()) {
                    SettingsRig::flushDeletes();
                    QVERIFY(rig.allWaitingTimers());
                }
                QCOMPARE(int(f.ShownCount()), countDisplayed());
                nextEvent = rig.clock.now() + rng.bounded(1, 1800) * 1000;
            }
            lastDisplayed = countDisplayed();
            // Outside the configuration's narrowing, the window is as wide as logo and row.
            if (!narrowed)
                QCOMPARE(f.Width(), Logo + Player * f.ShownCount());
        }
        QCOMPARE(rig.clock.now(), Day);
        QVERIFY2(lastEvent > Day - 3600 * 1000, "the user's events stopped before the day ended");
        QCOMPARE(rig.boxes.count(), 0);
        QVERIFY(displaysStarted > 100);
        QVERIFY(opens > 20 && cancels > 5 && saves > 5);
    }
};

QTEST_MAIN(TestCycleSoak)
#include "test_cycle_soak.moc"
