#include "statistics/statistics_entry.h"

#include <QtTest>

using namespace StatisticsEntry;

class TestStatisticsEntry : public QObject {
    Q_OBJECT
private slots:
    void activityIsTheFirstCharacter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        for (int k = 0; k < Module1::ExerciseCount; ++k)
            QTest::addRow("item %d", k + 1) << QString::fromLatin1(ActivityTexts[k]) << k + 1;
        QTest::newRow("typed 4 anything") << QStringLiteral("4 anything") << 4;
        QTest::newRow("bare digit") << QStringLiteral("9") << 9;
        QTest::newRow("zero") << QStringLiteral("0. Nothing") << 0;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("leading blank") << QStringLiteral(" 4. Looking") << 0;
        QTest::newRow("letter") << QStringLiteral("Blinking") << 0;
        QTest::newRow("arabic-indic four") << QStringLiteral("\u0664. x") << 0;
        QTest::newRow("fullwidth four") << QStringLiteral("\uFF14. x") << 0;
    }
    void activityIsTheFirstCharacter() {
        QFETCH(QString, text);
        QFETCH(int, number);
        QCOMPARE(ActivityNumber(text), number);
    }

    void minutesAreSixteenBitWholeNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("value");
        QTest::newRow("15") << QStringLiteral("15") << true << 15;
        QTest::newRow("-5") << QStringLiteral("-5") << true << -5;
        QTest::newRow("+4") << QStringLiteral("+4") << true << 4;
        QTest::newRow("blanks around") << QStringLiteral("  7 ") << true << 7;
        QTest::newRow("2.5 to even") << QStringLiteral("2.5") << true << 2;
        QTest::newRow("3.5 to even") << QStringLiteral("3.5") << true << 4;
        QTest::newRow("-2.5 to even") << QStringLiteral("-2.5") << true << -2;
        QTest::newRow("2.51 up") << QStringLiteral("2.51") << true << 3;
        QTest::newRow(".5") << QStringLiteral(".5") << true << 0;
        QTest::newRow("5.") << QStringLiteral("5.") << true << 5;
        QTest::newRow("max") << QStringLiteral("32767") << true << 32767;
        QTest::newRow("min") << QStringLiteral("-32768") << true << -32768;
        QTest::newRow("32767.4") << QStringLiteral("32767.4") << true << 32767;
        QTest::newRow("-32768.5 to even") << QStringLiteral("-32768.5") << true << -32768;
        QTest::newRow("32767.5 rounds out") << QStringLiteral("32767.5") << false << 0;
        QTest::newRow("32768") << QStringLiteral("32768") << false << 0;
        QTest::newRow("-32769") << QStringLiteral("-32769") << false << 0;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999999") << false << 0;
        QTest::newRow("empty") << QString() << false << 0;
        QTest::newRow("blanks") << QStringLiteral("   ") << false << 0;
        QTest::newRow("word") << QStringLiteral("ten") << false << 0;
        QTest::newRow("trailing text") << QStringLiteral("12 mins") << false << 0;
        QTest::newRow("comma") << QStringLiteral("2,5") << false << 0;
        QTest::newRow("exponent") << QStringLiteral("1e3") << false << 0;
        QTest::newRow("hex") << QStringLiteral("0x10") << false << 0;
        QTest::newRow("inf") << QStringLiteral("inf") << false << 0;
        QTest::newRow("nan") << QStringLiteral("nan") << false << 0;
        QTest::newRow("two signs") << QStringLiteral("--5") << false << 0;
        QTest::newRow("lone sign") << QStringLiteral("-") << false << 0;
        QTest::newRow("lone point") << QStringLiteral(".") << false << 0;
        QTest::newRow("arabic-indic digits") << QStringLiteral("\u0661\u0665") << false << 0;
    }
    void minutesAreSixteenBitWholeNumbers() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(int, value);
        const auto minutes = ConvertMinutes(text);
        QCOMPARE(minutes.has_value(), accepted);
        if (accepted)
            QCOMPARE(int(*minutes), value);
    }

    void totalStaysInSixteenBits() {
        QCOMPARE(int(*AddToTotal(32760, 7)), 32767);
        QCOMPARE(int(*AddToTotal(-32760, -8)), -32768);
        QCOMPARE(int(*AddToTotal(100, -5)), 95);
        QVERIFY(!AddToTotal(32767, 1));
        QVERIFY(!AddToTotal(-32768, -1));
        QVERIFY(!AddToTotal(20000, 20000));
    }
};

QTEST_GUILESS_MAIN(TestStatisticsEntry)
#include "test_statistics_entry.moc"
