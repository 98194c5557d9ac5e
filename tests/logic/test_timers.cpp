#include "platform/timers.h"

#include <QtTest>

class TestTimers : public QObject {
    Q_OBJECT
private slots:
    void firesEveryIntervalFromWhenEnabled() {
        SimulatedClock clock;
        auto t = clock.createTimer();
        QList<qint64> ticks;
        t->setCallback([&] { ticks << clock.now(); });
        t->setInterval(300);
        clock.advance(100);
        t->setEnabled(true);
        clock.advance(1000);
        QCOMPARE(ticks, (QList<qint64>{400, 700, 1000}));
        QCOMPARE(clock.now(), qint64(1100));
    }

    void enablingAgainKeepsThePhaseButReenablingRestartsIt() {
        SimulatedClock clock;
        auto t = clock.createTimer();
        QList<qint64> ticks;
        t->setCallback([&] { ticks << clock.now(); });
        t->setInterval(1000);
        t->setEnabled(true);
        clock.advance(600);
        t->setEnabled(true); // already running: no change
        clock.advance(500);
        QCOMPARE(ticks, (QList<qint64>{1000}));
        t->setEnabled(false);
        clock.advance(200); // now 1300
        t->setEnabled(true);
        clock.advance(1000);
        QCOMPARE(ticks, (QList<qint64>{1000, 2300}));
        t->setInterval(500); // new period from now (2300)
        clock.advance(500);
        QCOMPARE(ticks.last(), qint64(2800));
    }

    void sameInstantFiresInCreationOrder() {
        SimulatedClock clock;
        QStringList order;
        auto b = clock.createTimer();
        auto a = clock.createTimer();
        b->setCallback([&] { order << "first-created"; });
        a->setCallback([&] { order << "second-created"; });
        a->setInterval(100);
        b->setInterval(100);
        a->setEnabled(true);
        b->setEnabled(true);
        clock.advance(100);
        QCOMPARE(order, (QStringList{"first-created", "second-created"}));
    }

    void callbacksMayStopOthersAndThemselves() {
        SimulatedClock clock;
        auto first = clock.createTimer();
        auto second = clock.createTimer();
        int secondTicks = 0, firstTicks = 0;
        first->setInterval(100);
        second->setInterval(100);
        first->setCallback([&] {
            ++firstTicks;
            second->setEnabled(false);
            first->setEnabled(false);
        });
        second->setCallback([&] { ++secondTicks; });
        first->setEnabled(true);
        second->setEnabled(true);
        clock.advance(1000);
        QCOMPARE(firstTicks, 1);
        QCOMPARE(secondTicks, 0);
    }

    void tenMinutesOfEighteenTimersRunInstantly() {
        SimulatedClock clock;
        std::vector<std::unique_ptr<Timer>> timers;
        int ticks = 0;
        for (int i = 0; i < 18; ++i) {
            timers.push_back(clock.createTimer());
            timers.back()->setInterval(i < 9 ? 10000 : 300);
            timers.back()->setCallback([&] { ++ticks; });
            timers.back()->setEnabled(true);
        }
        QElapsedTimer real;
        real.start();
        clock.advance(10 * 60 * 1000);
        QCOMPARE(ticks, 9 * 60 + 9 * 2000);
        QVERIFY(real.elapsed() < 2000);
        timers.clear();
        QCOMPARE(clock.liveTimers(), 0);
    }

    void timerOutlivingItsClockIsHarmless() {
        std::unique_ptr<Timer> orphan;
        {
            SimulatedClock clock;
            orphan = clock.createTimer();
            orphan->setInterval(10);
        }
        orphan->setEnabled(true);
        QVERIFY(orphan->isEnabled());
    }

    void realTimerFollowsTheSameEnableRule() {
        QtTimerFactory factory;
        auto t = factory.createTimer();
        int ticks = 0;
        t->setCallback([&] { ++ticks; });
        t->setInterval(20);
        t->setEnabled(true);
        QVERIFY(t->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 2000);
        t->setEnabled(false);
        QVERIFY(!t->isEnabled());
    }
};

QTEST_GUILESS_MAIN(TestTimers)
#include "test_timers.moc"
