#pragma once
// Module1's record-file part: the shared handle and record buffer of LOGO2.DAT and the loader
// that copies the file into the state's tables. It sits above the state, with the file layer.

#include "settings/exercise_record.h"

#include <QString>
#include <cstdint>

namespace Module1 {

extern QString SettingsPath;
extern std::int16_t SettingsFile;
extern ExerciseRecord CurrentRecord;

// Copies Frequency, Timing, TotalMinutes and LastMinutes of CurrentRecord into element index
// of the tables.
void StoreRecordInTables(int index);

// Copies Frequency, Timing, TotalMinutes and LastMinutes of the nine records into the tables.
// A failure shows "Error with file LOGO2.DAT!" and leaves the tables as far as they got.
void LoadSettingsFile();

// Puts the file part back to its initial value, the file closed (tests).
void ResetFileState();

} // namespace Module1
