#pragma once
// The two contents the writer child saves, shared with the tests that check what it left.
#include "settings/exercise_record.h"

namespace WriterContents {
inline ExerciseRecord record(int number, char fill, std::int16_t value) {
    ExerciseRecord r;
    r.Number = std::int16_t(number);
    r.Frequency = r.Timing = r.TotalMinutes = r.LastMinutes = std::int16_t(value + number);
    r.setMessage(QString(60, QLatin1Char(fill)));
    return r;
}
inline ExerciseRecord recordA(int number) { return record(number, 'a', 1110); }
inline ExerciseRecord recordB(int number) { return record(number, 'b', 2220); }
// Save `count` of the concurrent writer tagged `tag` (a letter) gives all nine records these.
inline ExerciseRecord tagged(int number, char tag, long long count) {
    return record(number, tag, std::int16_t(count % 3000 * 10));
}
// Whether `bytes` begins with the nine records of one save of one tagged writer.
inline bool isOneTaggedSave(const QByteArray& bytes) {
    const ExerciseRecord first = ExerciseRecord::fromBytes(bytes.left(70));
    const char tag = first.message().isEmpty() ? 0 : first.message().at(0).toLatin1();
    for (int n = 1; n <= 9; ++n)
        if (bytes.mid((n - 1) * 70, 70) !=
            record(n, tag, std::int16_t(first.Frequency - 1)).toBytes())
            return false;
    return true;
}
} // namespace WriterContents
