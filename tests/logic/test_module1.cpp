#include "core/module1.h"
#include "settings/module1_settings.h"
#include "test_support.h"

#include <QtTest>

class TestModule1 : public QObject {
    Q_OBJECT
private slots:
    // A test that sets the folder itself leaves nothing behind, even when it fails.
    void cleanup() { Module1::ResetState(); }

    void everyVariableStartsEmpty() {
        TestAppFolder folder;
        for (const auto* table :
             {&Module1::ExerciseFrequency, &Module1::ExerciseTiming, &Module1::ExerciseTotalMinutes,
              &Module1::ExerciseLastMinutes, &Module1::WaitTicks, &Module1::ShowTicks})
            for (auto v : *table)
                QCOMPARE(int(v), 0);
        QVERIFY(!Module1::ResizeByUser);
        QCOMPARE(Module1::AnimationColumn, 0);
        QVERIFY(Module1::SettingsPath.isEmpty());
        QCOMPARE(Module1::CurrentRecord.message(), QString(60, QLatin1Char(' ')));
    }

    void animationTableHasAllThirtySixNames() {
        Module1::ApplicationFolder = QStringLiteral("/opt/lumi");
        Module1::BuildAnimationTable();
        QCOMPARE(Module1::AnimationColumn, 1);
        QCOMPARE(Module1::AnimationRowOffset, 0);
        QCOMPARE(Module1::AnimationTable[0][1], QStringLiteral("/opt/lumi/Piment.gif"));
        QCOMPARE(Module1::AnimationTable[0][0], QStringLiteral("/opt/lumi/PimentBW.gif"));
        QCOMPARE(Module1::AnimationTable[9][1], QStringLiteral("/opt/lumi/PimentBig.gif"));
        QCOMPARE(Module1::AnimationTable[17][0], QStringLiteral("/opt/lumi/XAnimBigBW.gif"));
        QCOMPARE(Module1::AnimationTable[6][1], QStringLiteral("/opt/lumi/Poumons.gif"));
        QCOMPARE(Module1::AnimationTable[12][1], QStringLiteral("/opt/lumi/OeilBig.gif"));
        QSet<QString> distinct;
        for (auto& row : Module1::AnimationTable)
            for (auto& entry : row)
                distinct.insert(entry);
        QCOMPARE(distinct.size(), 36);
        QCOMPARE(Module1::StoredAnimationName(7, 0), QStringLiteral("\\VagueBW.gif"));
    }

    void folderEndingInSeparatorGivesADoubledOne() {
        Module1::ApplicationFolder = QStringLiteral("/");
        Module1::BuildAnimationTable();
        QCOMPARE(Module1::AnimationTable[1][1], QStringLiteral("//Palm.gif"));
        QCOMPARE(Module1::AnimationTable[17][0], QStringLiteral("//XAnimBigBW.gif"));
    }

    void rebuildingDiscardsEarlierContents() {
        Module1::ApplicationFolder = QStringLiteral("/a");
        Module1::BuildAnimationTable();
        Module1::ApplicationFolder = QStringLiteral("/b");
        Module1::AnimationColumn = 0;
        Module1::BuildAnimationTable();
        QCOMPARE(Module1::AnimationTable[4][1], QStringLiteral("/b/Legs.gif"));
        QCOMPARE(Module1::AnimationColumn, 1);
    }

    void negativeOrZeroSettingsAreInactive() {
        TestAppFolder folder;
        Module1::ExerciseFrequency = {1, 0, 5, -1, 3, 32767, 1, 2, 1};
        Module1::ExerciseTiming = {1, 5, 0, 5, -3, 1, 32767, -32768, 1};
        const bool expected[Module1::ExerciseCount] = {true, false, false, false, false,
                                                       true, true,  false, true};
        for (int i = 0; i < Module1::ExerciseCount; ++i)
            QCOMPARE(Module1::IsExerciseActive(i), expected[i]);
    }
};

QTEST_GUILESS_MAIN(TestModule1)
#include "test_module1.moc"
