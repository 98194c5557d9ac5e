#include "module1.h"

namespace Module1 {

ExerciseTable ExerciseFrequency{};
ExerciseTable ExerciseTiming{};
ExerciseTable ExerciseTotalMinutes{};
ExerciseTable ExerciseLastMinutes{};
std::array<QString, ExerciseCount> ExerciseMessage;
ExerciseTable WaitTicks{};
ExerciseTable ShowTicks{};

QString AnimationTable[AnimationRows][AnimationColumns];
std::int32_t AnimationColumn = 0;
std::int32_t AnimationRowOffset = 0;

bool ResizeByUser = false;

QString ApplicationFolder;

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
    const QString folder = ApplicationFolder;
    for (int column = 0; column < AnimationColumns; ++column)
        for (int row = 0; row < AnimationRows; ++row) {
            QString name = StoredAnimationName(row, column);
            name[0] = QLatin1Char('/');
            AnimationTable[row][column] = folder + name;
        }
}

bool IsExerciseActive(int index) {
    return ExerciseFrequency[index] > 0 && ExerciseTiming[index] > 0;
}

void ResetState() {
    for (ExerciseTable* table : {&ExerciseFrequency, &ExerciseTiming, &ExerciseTotalMinutes,
                                 &ExerciseLastMinutes, &WaitTicks, &ShowTicks})
        table->fill(0);
    ExerciseMessage.fill(QString());
    for (auto& row : AnimationTable)
        for (auto& entry : row)
            entry.clear();
    AnimationColumn = 0;
    AnimationRowOffset = 0;
    ResizeByUser = false;
    ApplicationFolder.clear();
}

} // namespace Module1
