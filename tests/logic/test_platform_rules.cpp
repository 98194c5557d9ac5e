#include "platform/failure.h"
#include "platform/int16.h"
#include "platform/message_box.h"
#include "platform/termination_signals.h"
#include "test_support.h"

#include <QtTest>
#include <cmath>
#include <csignal>

class TestPlatformRules : public QObject {
    Q_OBJECT
private slots:
    void roundsHalvesToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("3.5") << 3.5 << 4;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("-3.5") << -3.5 << -4;
        QTest::newRow("0.5") << 0.5 << 0;
        QTest::newRow("1.5") << 1.5 << 2;
        QTest::newRow("2.4999") << 2.4999 << 2;
        QTest::newRow("2.5001") << 2.5001 << 3;
        QTest::newRow("32767.4") << 32767.4 << 32767;
        QTest::newRow("-32768.5 rounds to even -32768") << -32768.5 << -32768;
        QTest::newRow("1305/15") << 1305.0 / 15 << 87;
    }
    void roundsHalvesToEven() {
        QFETCH(double, value);
        QFETCH(int, expected);
        QCOMPARE(int(Int16::FromDouble(value)), expected);
    }

    void overflowsOutsideSixteenBits_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("32767.5 rounds to 32768") << 32767.5;
        QTest::newRow("32768") << 32768.0;
        QTest::newRow("-32769") << -32769.0;
        QTest::newRow("-32768.6") << -32768.6;
        QTest::newRow("NaN") << std::nan("");
        QTest::newRow("infinity") << HUGE_VAL;
    }
    void overflowsOutsideSixteenBits() {
        QFETCH(double, value);
        try {
            Int16::FromDouble(value);
            QFAIL("no overflow reported");
        } catch (const Failure& failure) {
            QCOMPARE(failure.code(), FailureCode::Overflow);
            QCOMPARE(failure.number(), 6);
            QCOMPARE(failure.description(), QStringLiteral("Overflow"));
        }
    }

    void integerAdditionAndSaturation() {
        QCOMPARE(int(Int16::Add(32766, 1)), 32767);
        QCOMPARE(int(Int16::Add(-32767, -1)), -32768);
        QVERIFY_THROWS_EXCEPTION(Failure, Int16::Add(32767, 1));
        QVERIFY_THROWS_EXCEPTION(Failure, Int16::Add(-32768, -1));
        QCOMPARE(int(Int16::IncrementSaturating(32766)), 32767);
        QCOMPARE(int(Int16::IncrementSaturating(32767)), 32767);
        QCOMPARE(Int16::ToInt32(0.7 * 1920), 1344);
        QCOMPARE(Int16::ToInt32(0.88 * 1080), 950);
    }

    void errorReportHasTheCommonFormat() {
        MessageBoxRecorder boxes;
        ShowErrorReport(QStringLiteral("MNU_EnArriere_Click"), Failure(FailureCode::Overflow, 5));
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.last().style, MsgStyle::Exclamation);
        QCOMPARE(boxes.last().title, QStringLiteral("Error 6 in MNU_EnArriere_Click method!"));
        QCOMPARE(boxes.last().text, QStringLiteral("Desc: Overflow, LastDLLError: 5"));

        ShowErrorReport(QStringLiteral("Form_Resize"), Failure(FailureCode::Overflow),
                        QStringLiteral("Error description: "));
        QCOMPARE(boxes.last().title, QStringLiteral("Error 6 in Form_Resize method!"));
        QCOMPARE(boxes.last().text, QStringLiteral("Error description: Overflow, LastDLLError: 0"));
    }

    void messageBoxTitleAnswersAndQueue() {
        MessageBoxRecorder boxes;
        QCOMPARE(MsgBox(QStringLiteral("plain")), MsgAnswer::Ok);
        QCOMPARE(boxes.last().title, QStringLiteral("Lumivista"));
        QCOMPARE(boxes.last().style, MsgStyle::OkOnly);
        // Enter takes the default button: Yes, or No when the second button is the default.
        QCOMPARE(MsgBox(QStringLiteral("q"), MsgStyle::YesNo), MsgAnswer::Yes);
        QCOMPARE(MsgBox(QStringLiteral("q"),
                        MsgStyle::YesNo | MsgStyle::Critical | MsgStyle::DefaultButton2),
                 MsgAnswer::No);
        boxes.queueAnswer(MsgAnswer::Yes);
        QCOMPARE(MsgBox(QStringLiteral("q"),
                        MsgStyle::YesNo | MsgStyle::Critical | MsgStyle::DefaultButton2,
                        QStringLiteral("T")),
                 MsgAnswer::Yes);
        QCOMPARE(boxes.last().title, QStringLiteral("T"));
        QCOMPARE(boxes.count(), 4);
    }

    void recorderRestoresThePreviousPresenter() {
        int outerCalls = 0;
        auto previous = SetMessageBoxPresenter([&](const MessageBoxRequest&) {
            ++outerCalls;
            return MsgAnswer::No;
        });
        {
            MessageBoxRecorder inner;
            MsgBox(QStringLiteral("inner"));
        }
        QCOMPARE(MsgBox(QStringLiteral("outer"), MsgStyle::YesNo), MsgAnswer::No);
        QCOMPARE(outerCalls, 1);
        SetMessageBoxPresenter(previous);
    }

    // The end comes from the event loop, never from within the handler: none runs before the
    // loop does. Once let go, each signal does what it did before.
    void terminationSignalsWaitForTheEventLoop() {
        static volatile sig_atomic_t earlier = 0;
        struct sigaction previous = {};
        previous.sa_handler = [](int) { earlier = earlier + 1; };
        for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
            struct sigaction original = {};
            QCOMPARE(::sigaction(signal, &previous, &original), 0);
            {
                int ends = 0;
                TerminationSignals termination;
                ::raise(signal); // noted: what runs goes on
                termination.onSignal([&] { ++ends; });
                QCOMPARE(ends, 0);
                QTRY_COMPARE(ends, 1);
                ::raise(signal);
                QCOMPARE(ends, 1);
                QTRY_COMPARE(ends, 2);
            }
            QCOMPARE(int(earlier), 0);
            ::raise(signal);
            QCOMPARE(int(earlier), 1);
            earlier = 0;
            ::sigaction(signal, &original, nullptr);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatformRules)
#include "test_platform_rules.moc"
