#include "module1.h"

#include "platform/failure.h"
#include "platform/message_box.h"
#include "settings/settings_file.h"

#include <QCoreApplication>

namespace Module1 {

ExerciseTable ExerciseFrequency{};
ExerciseTable ExerciseTiming{};
ExerciseTable ExerciseTotalMinutes{};
ExerciseTable ExerciseLastMinutes{};
ExerciseTable WaitTicks{};
ExerciseTable ShowTicks{};

QString AnimationTable[AnimationRows][AnimationColumns];
std::int32_t AnimationColumn = 0;
std::int32_t AnimationRowOffset = 0;

bool ResizeByUser = false;

QString SettingsPath;
std::int16_t SettingsFile = 0;
ExerciseRecord CurrentRecord;

namespace {
QString g_folderOverride;
}

QString ApplicationFolder() {
    if (!g_folderOverride.isEmpty())
        return g_folderOverride;
    return QCoreApplication::applicationDirPath();
}

void SetApplicationFolder(const QString& folder) { g_folderOverride = folder; }

QString StoredAnimationName(int row, int column) {
    const bool big = row >= ExerciseCount;
    const int exercise = big ? row - ExerciseCount : row;
    return QStringLiteral("\\") + QLatin1String(AnimationBaseNames[exercise]) +
           (big ? QStringLiteral("Big") : QString()) +
           (column == 0 ? QStringLiteral("BW") : QString()) + QStringLiteral(".gif");
}

void BuildAnimationTable() {
    for (auto& row : AnimationTable)
        for (auto& entry : row)
            entry.clear();
    AnimationColumn = 1;
    AnimationRowOffset = 0;
    const QString folder = ApplicationFolder();
    for (int column = 0; column < AnimationColumns; ++column)
        for (int row = 0; row < AnimationRows; ++row) {
            QString name = StoredAnimationName(row, column);
            name[0] = QLatin1Char('/');
            AnimationTable[row][column] = folder + name;
        }
}

void StoreRecordInTables(int index) {
    ExerciseFrequency[index] = CurrentRecord.Frequency;
    ExerciseTiming[index] = CurrentRecord.Timing;
    ExerciseTotalMinutes[index] = CurrentRecord.TotalMinutes;
    ExerciseLastMinutes[index] = CurrentRecord.LastMinutes;
}

void LoadSettingsFile() {
    try {
        SettingsFileProtocol::Open();
        for (int i = 0; i < ExerciseCount; ++i) {
            SettingsFileProtocol::Read(i + 1);
            StoreRecordInTables(i);
        }
        SettingsFileProtocol::Close();
    } catch (const Failure&) {
        MsgBox(QStringLiteral("Error with file LOGO2.DAT!"), MsgStyle::OkOnly,
               QStringLiteral("Avertissement"));
    }
}

bool IsExerciseActive(int index) {
    return ExerciseFrequency[index] > 0 && ExerciseTiming[index] > 0;
}

void ResetState() {
    for (ExerciseTable* table : {&ExerciseFrequency, &ExerciseTiming, &ExerciseTotalMinutes,
                                 &ExerciseLastMinutes, &WaitTicks, &ShowTicks})
        table->fill(0);
    for (auto& row : AnimationTable)
        for (auto& entry : row)
            entry.clear();
    AnimationColumn = 0;
    AnimationRowOffset = 0;
    ResizeByUser = false;
    SettingsPath.clear();
    SettingsFile = 0;
    CurrentRecord = ExerciseRecord();
    SettingsFileProtocol::Close();
}

} // namespace Module1
