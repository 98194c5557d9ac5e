// Saves LOGO2.DAT for the save tests, the way the windows do.
//   settings_writer_child FOLDER          rewrites record 5 over and over, alternating two
//                                         contents, until killed
//   settings_writer_child FOLDER mixed    alternates a save of all nine records (contents A)
//                                         with a save of record 5 alone (contents B), until killed
//   settings_writer_child FOLDER whole T  saves all nine records as writer T (a letter), save
//                                         after save, until killed (several writers at once)
//   settings_writer_child FOLDER count T N  as writer T (a letter) reads its own record (c: 3,
//                                         d: 4...), counts its Frequency one up and saves it,
//                                         N times; exits with 0 (several writers at once)
//   settings_writer_child FOLDER once     saves all nine records (contents A) once; on a
//                                         failure prints it and exits with 1
//   settings_writer_child FOLDER start-up removes what interrupted saves left; prints how many
// Loops print one line per finished save, so the parent knows saves are under way.
#include "core/module1.h"
#include "platform/failure.h"
#include "settings/module1_settings.h"
#include "settings/settings_file.h"
#include "settings_writer_contents.h"

#include <QCoreApplication>
#include <cstdio>

namespace {
void printLine(long long n) {
    std::printf("%lld\n", n);
    std::fflush(stdout);
}

void saveAllNine(char tag = 0, long long count = 0) {
    std::vector<std::pair<int, ExerciseRecord>> records;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        records.emplace_back(n, tag ? WriterContents::tagged(n, tag, count)
                                    : WriterContents::recordA(n));
    SettingsFileProtocol::WriteRecords(records);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString folder = app.arguments().value(1);
    const QString mode = app.arguments().value(2);
    Module1::ApplicationFolder = folder;
    if (mode == QLatin1String("start-up")) {
        printLine(SettingsFileProtocol::RemoveLeftoverTemporaryFiles());
        return 0;
    }
    try {
        SettingsFileProtocol::Open();
        if (mode == QLatin1String("once")) {
            saveAllNine();
            return 0;
        }
        const int counted = app.arguments().value(4).toInt();
        for (long long n = 0;; ++n) {
            if (mode == QLatin1String("count")) {
                if (n == counted)
                    return 0;
                const int own = app.arguments().value(3).toLatin1().at(0) - 'a' + 1;
                SettingsFileProtocol::Read(own);
                ++Module1::CurrentRecord.Frequency;
                SettingsFileProtocol::Write(own);
            } else if (mode == QLatin1String("whole")) {
                saveAllNine(app.arguments().value(3).toLatin1().at(0), n);
            } else if (mode == QLatin1String("mixed")) {
                if (n % 2 == 0) {
                    saveAllNine();
                } else {
                    Module1::CurrentRecord = WriterContents::recordB(5);
                    SettingsFileProtocol::Write(5);
                }
            } else {
                Module1::CurrentRecord =
                    n % 2 ? WriterContents::recordA(5) : WriterContents::recordB(5);
                SettingsFileProtocol::Write(5);
            }
            printLine(n);
        }
    } catch (const Failure& failure) {
        std::printf("failed: %s\n", failure.what());
        return 1;
    }
}
