// The kill test of LOGO2.DAT saves: a writer child alternates a save of all nine records with a
// save of one record and is killed with SIGKILL at a random moment, again and again. After every
// kill the file must hold exactly the old or the new contents, with the bytes after record 9
// intact; after the last one, the next start must leave no temporary file behind.
//   settings_crash_test [KILLS]     (1,000 by default; prints its figures, fails on any fault)
#include "core/module1.h"
#include "settings_writer_contents.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>
#include <cstdio>

namespace {
QByteArray withRecords(QByteArray bytes, char contents, bool onlyRecord5) {
    for (int n = 1; n <= Module1::ExerciseCount; ++n) {
        if (onlyRecord5 && n != 5)
            continue;
        const ExerciseRecord r =
            contents == 'A' ? WriterContents::recordA(n) : WriterContents::recordB(n);
        bytes.replace((n - 1) * 70, 70, r.toBytes());
    }
    return bytes;
}

int leftoverCount(const QString& folder) {
    return QDir(folder)
        .entryList({QStringLiteral("LOGO2.DAT.*")}, QDir::Files | QDir::Hidden | QDir::System)
        .size();
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int kills = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    TestAppFolder folder;
    QByteArray original;
    for (int n = 1; n <= Module1::ExerciseCount; ++n)
        original += handRecord(n, 10 * n, 20, "before the kills", 100 + n, n);
    const QByteArray tail("tail after record nine");
    original += tail;
    folder.writeSettings(original);
    // Every state a finished save can leave: the first file, all nine records A, then record 5 B.
    const QByteArray allA = withRecords(original, 'A', false);
    const QByteArray fiveB = withRecords(allA, 'B', true);

    QRandomGenerator rng(1000);
    int torn = 0, lostTails = 0, shortFiles = 0, mostLeftovers = 0, killsWithLeftover = 0;
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < kills; ++k) {
        QProcess child;
        child.start(QStringLiteral(WRITER_CHILD), {folder.path(), QStringLiteral("mixed")});
        if (!child.waitForStarted() || !child.waitForReadyRead(10000)) {
            std::fprintf(stderr, "the writer did not start\n");
            return 2;
        }
        // Saves are under way: kill at a random moment within the next few saves.
        QThread::usleep(rng.bounded(20000));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        const QByteArray now = folder.readSettings();
        if (now != original && now != allA && now != fiveB)
            ++torn;
        if (!now.endsWith(tail))
            ++lostTails;
        if (now.size() < 630)
            ++shortFiles;
        const int left = leftoverCount(folder.path());
        mostLeftovers = std::max(mostLeftovers, left);
        killsWithLeftover += left > 0 ? 1 : 0;
    }
    const int leftBeforeStart = leftoverCount(folder.path());
    QProcess startUp;
    startUp.start(QStringLiteral(WRITER_CHILD), {folder.path(), QStringLiteral("start-up")});
    startUp.waitForFinished();
    const int leftAfterStart = leftoverCount(folder.path());

    std::printf("kills: %d in %.1f s\n", kills, clock.elapsed() / 1000.0);
    std::printf("torn files: %d\nlost tails: %d\nfiles under 630 bytes: %d\n", torn, lostTails,
                shortFiles);
    std::printf("kills that left a temporary file: %d (never more than %d at once)\n",
                killsWithLeftover, mostLeftovers);
    std::printf("temporary files before the next start: %d, after it: %d\n", leftBeforeStart,
                leftAfterStart);
    return torn == 0 && lostTails == 0 && shortFiles == 0 && mostLeftovers <= 1 &&
                   leftAfterStart == 0
               ? 0
               : 1;
}
