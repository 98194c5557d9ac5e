#include "module1_settings.h"

#include "core/module1.h"
#include "platform/failure.h"
#include "platform/message_box.h"
#include "settings/settings_file.h"

namespace Module1 {

QString SettingsPath;
std::int16_t SettingsFile = 0;
ExerciseRecord CurrentRecord;

void StoreRecordInTables(int index) {
    ExerciseFrequency[index] = CurrentRecord.Frequency;
    ExerciseTiming[index] = CurrentRecord.Timing;
    ExerciseTotalMinutes[index] = CurrentRecord.TotalMinutes;
    ExerciseLastMinutes[index] = CurrentRecord.LastMinutes;
    ExerciseMessage[index] = CurrentRecord.message().trimmed();
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

void ResetFileState() {
    SettingsPath.clear();
    SettingsFile = 0;
    CurrentRecord = ExerciseRecord();
    SettingsFileProtocol::Close();
}

} // namespace Module1
