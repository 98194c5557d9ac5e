// The input rules of the Frequency and Timing boxes, without any window.

#include "settings/numeric_input.h"

#include <QtTest>
#include <cmath>
#include <limits>

class TestNumericInput : public QObject {
    Q_OBJECT
private slots:
    void numericValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks only") << " \t\n" << 0.0;
        QTest::newRow("plain") << "10" << 10.0;
        QTest::newRow("leading space as shown") << " 10" << 10.0;
        QTest::newRow("leading zeros") << "0000032767" << 32767.0;
        QTest::newRow("space between digits") << "1 2" << 12.0;
        QTest::newRow("tab and line feed inside") << "3\t4\n5" << 345.0;
        QTest::newRow("carriage return stops") << "3\r4" << 3.0;
        QTest::newRow("tilde stops") << "5~" << 5.0;
        QTest::newRow("letters only") << "abc" << 0.0;
        QTest::newRow("letters then digits") << "a12" << 0.0;
        QTest::newRow("digits then letters") << "12abc" << 12.0;
        QTest::newRow("minus") << "-40000" << -40000.0;
        QTest::newRow("minus then blank") << "- 5" << -5.0;
        QTest::newRow("plus") << "+7" << 7.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("two signs") << "--5" << 0.0;
        QTest::newRow("decimal") << "2.5" << 2.5;
        QTest::newRow("point first") << ".5" << 0.5;
        QTest::newRow("negative point first") << "-.25" << -0.25;
        QTest::newRow("point last") << "7." << 7.0;
        QTest::newRow("point alone") << "." << 0.0;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("exponent") << "1E5" << 100000.0;
        QTest::newRow("lower-case exponent") << "1e5" << 100000.0;
        QTest::newRow("negative exponent") << "25E-1" << 2.5;
        QTest::newRow("plus exponent with blanks") << "1 E + 2" << 100.0;
        QTest::newRow("exponent without digits") << "3E" << 3.0;
        QTest::newRow("exponent sign without digits") << "3E-" << 3.0;
        QTest::newRow("exponent stops at letter") << "2E2x9" << 200.0;
        QTest::newRow("second exponent stops") << "1E1E1" << 10.0;
        QTest::newRow("E without mantissa") << "E5" << 0.0;
        QTest::newRow("point before exponent") << "1.E2" << 100.0;
        QTest::newRow("comma stops") << "1,5" << 1.0;
        QTest::newRow("no radix prefix") << "&H10" << 0.0;
        QTest::newRow("non-breaking space is not a blank") << QString::fromUtf8("1\u00A02") << 1.0;
        QTest::newRow("Arabic-Indic digits are not digits") << QString::fromUtf8("\u0661") << 0.0;
        QTest::newRow("many digits") << "123456789012345678901234567890" << 1.2345678901234568e29;
    }

    void numericValue() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(NumericValue(text), value);
    }

    void numericValueBeyondDouble() {
        QVERIFY(std::isinf(NumericValue("1E400")) && NumericValue("1E400") > 0);
        QVERIFY(std::isinf(NumericValue("-1E400")) && NumericValue("-1E400") < 0);
        QVERIFY(std::isinf(NumericValue("0.001E99999999999999999999")));
        QCOMPARE(NumericValue("1E-400"), 0.0);
        QCOMPARE(NumericValue("-1000E-999"), 0.0);
        // Zero with any exponent is zero, never an infinity.
        QCOMPARE(NumericValue("0E99999"), 0.0);
    }

    void keyFilter_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("delivered");
        for (int code : {0, 3, 8, 13, 22, 27, 32, 48, 53, 57, 126, 127, 128, 200, 255, 8364})
            QTest::addRow("pass %d", code) << code << code;
        for (int code : {33, 43, 45, 46, 47, 58, 65, 69, 97, 101, 125})
            QTest::addRow("discard %d", code) << code << 0;
    }

    void keyFilter() {
        QFETCH(int, code);
        QFETCH(int, delivered);
        QCOMPARE(int(SaisieNumerique(std::int16_t(code))), delivered);
    }

    void filterTyped() {
        QCOMPARE(NumericInput::FilterTyped("12ab3"), QString("123"));
        QCOMPARE(NumericInput::FilterTyped("-+.E"), QString());
        QCOMPARE(NumericInput::FilterTyped(" ~\x7f"), QString(" ~\x7f"));
        QCOMPARE(NumericInput::FilterTyped(QString::fromUtf8("é€")), QString::fromUtf8("é€"));
    }

    void limitAndStorage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exceeds");
        QTest::addColumn<bool>("storable");
        QTest::addColumn<int>("stored");
        QTest::newRow("32767") << "32767" << false << true << 32767;
        QTest::newRow("32768") << "32768" << true << false << 0;
        QTest::newRow("leading zeros") << "0000032767" << false << true << 32767;
        QTest::newRow("1E5") << "1E5" << true << false << 0;
        QTest::newRow("40000") << "40000" << true << false << 0;
        QTest::newRow("letters") << "abc" << false << true << 0;
        QTest::newRow("empty") << "" << false << true << 0;
        QTest::newRow("shown with space") << " 10" << false << true << 10;
        QTest::newRow("fraction just above") << "32767.4" << true << true << 32767;
        QTest::newRow("half rounds to even down") << "2.5" << false << true << 2;
        QTest::newRow("half rounds to even up") << "3.5" << false << true << 4;
        QTest::newRow("lowest") << "-32768" << false << true << -32768;
        QTest::newRow("lowest half rounds in") << "-32768.5" << false << true << -32768;
        QTest::newRow("below 16 bits") << "-32769" << false << false << 0;
        QTest::newRow("pasted -40000") << "-40000" << false << false << 0;
        QTest::newRow("minus infinity") << "-1E999" << false << false << 0;
    }

    void limitAndStorage() {
        QFETCH(QString, text);
        QFETCH(bool, exceeds);
        QFETCH(bool, storable);
        QFETCH(int, stored);
        QCOMPARE(NumericInput::ExceedsLimit(text), exceeds);
        const auto value = NumericInput::StoredValue(text);
        QCOMPARE(value.has_value(), storable);
        if (storable)
            QCOMPARE(int(*value), stored);
    }

    void formatStoredReadsBack() {
        QCOMPARE(NumericInput::FormatStored(10), QString(" 10"));
        QCOMPARE(NumericInput::FormatStored(0), QString(" 0"));
        QCOMPARE(NumericInput::FormatStored(-1), QString("-1"));
        QCOMPARE(NumericInput::FormatStored(-32768), QString("-32768"));
        for (int v : {-32768, -1, 0, 1, 10, 32767})
            QCOMPARE(int(*NumericInput::StoredValue(NumericInput::FormatStored(std::int16_t(v)))),
                     v);
    }

    // What the tooltips say a box's number means: Frequency in 10-second periods, Timing in
    // 0.3-second periods.
    void meaning_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString f = "Frequency: how many 10-second periods pass between two showings";
        const QString t = "Timing: how many 0.3-second periods each animation stays on display";
        QTest::newRow("270") << "F"
                             << "270" << f + "; 270 = every 45 minutes; 0 = never";
        QTest::newRow("1") << "F"
                           << "1" << f + "; 1 = every 10 seconds; 0 = never";
        QTest::newRow("363") << "F"
                             << "363" << f + "; 363 = every 1 hour 30 seconds; 0 = never";
        QTest::newRow("32767") << "F"
                               << "32767"
                               << f + "; 32767 = every 91 hours 1 minute 10 seconds; 0 = never";
        QTest::newRow("0") << "F"
                           << "0" << f + "; 0 = never";
        QTest::newRow("empty") << "F"
                               << "" << f + "; 0 = never";
        QTest::newRow("beyond 16 bits") << "F"
                                        << "-40000" << f + "; 0 = never";
        QTest::newRow("timing 18") << "T"
                                   << "18" << t + "; 18 = 5.4 seconds; 0 = never shown";
        QTest::newRow("timing 200") << "T"
                                    << "200" << t + "; 200 = 1 minute; 0 = never shown";
        QTest::newRow("timing 201") << "T"
                                    << "201" << t + "; 201 = 1 minute 0.3 seconds; 0 = never shown";
        QTest::newRow("timing 0") << "T"
                                  << "0" << t + "; 0 = never shown";
    }

    void meaning() {
        QFETCH(QString, column);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(column == "F" ? NumberMeaning::Frequency(text) : NumberMeaning::Timing(text),
                 expected);
    }
};

QTEST_APPLESS_MAIN(TestNumericInput)
#include "test_numeric_input.moc"
