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
} // namespace WriterContents
