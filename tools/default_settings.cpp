// Writes the LOGO2.DAT a new user starts with. With --if-missing an existing file is kept.
//
// Frequencies count 10-second periods; the common Timing counts 300 ms periods.
//   Blinking        every  3 min  (18)  dry eyes come from forgetting to blink
//   Looking         every 20 min (120)  the 20-20-20 habit: look far away every 20 minutes
//   Breathing       every 15 min  (90)
//   Palming         every 30 min (180)  rests the eyes in darkness
//   Doing the wave  every 40 min (240)
//   Edging          every 45 min (270)
//   Making 'X's     every 50 min (300)
//   Walking         every 60 min (360)  stand up at least once an hour
//   Calculating     every  2 h   (720)  a reminder to note the minutes practised
//   Timing 20 (6 seconds on screen).

#include "core/module1.h"
#include "settings/exercise_record.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

namespace {
constexpr int kTiming = 20;
constexpr int kFrequency[Module1::ExerciseCount] = {270, 180, 18, 120, 360, 720, 90, 240, 300};
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool ifMissing = args.contains(QStringLiteral("--if-missing"));
    QString path;
    for (const QString& arg : args)
        if (!arg.startsWith(QStringLiteral("--")))
            path = arg;
    if (path.isEmpty()) {
        std::fprintf(stderr, "usage: lumivista-default-settings [--if-missing] FILE\n");
        return 2;
    }
    if (ifMissing && QFile::exists(path))
        return 0;

    QByteArray bytes;
    for (int i = 0; i < Module1::ExerciseCount; ++i) {
        ExerciseRecord record;
        record.Number = static_cast<std::int16_t>(i + 1);
        record.Frequency = static_cast<std::int16_t>(kFrequency[i]);
        record.Timing = kTiming;
        record.setMessage(QString::fromLatin1(Module1::BuiltInMessages[i]));
        bytes += record.toBytes();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
