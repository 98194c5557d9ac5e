// Rewrites record 5 of LOGO2.DAT over and over, alternating two contents, until killed.
// Prints one line per finished write so the parent knows writes are under way.
#include "core/module1.h"
#include "settings/settings_file.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    Module1::SetApplicationFolder(app.arguments().value(1));
    SettingsFileProtocol::Open();
    for (int n = 0;; ++n) {
        ExerciseRecord record;
        record.Number = 5;
        record.Frequency = static_cast<std::int16_t>(n % 2 ? 1111 : 2222);
        record.Timing = static_cast<std::int16_t>(n % 2 ? 1111 : 2222);
        record.setMessage(QString(60, QLatin1Char(n % 2 ? 'a' : 'b')));
        record.TotalMinutes = record.LastMinutes = record.Frequency;
        Module1::CurrentRecord = record;
        SettingsFileProtocol::Write(5);
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}
